#include "RunTrend.h"

#include <algorithm>
#include <cmath>
#include <limits>

RunTrend::RunTrend()
    : m_fLow(std::numeric_limits<double>::infinity())
    , m_fHigh(-std::numeric_limits<double>::infinity())
{
}

void RunTrend::AddReading(double reading)
{
    m_lastReading = QPointF(++m_nReadings, reading);
    m_readings.Append(m_lastReading);
    Extend(reading);
}

void RunTrend::AddMean(double mean, double low, double high)
{
    if (m_nReadings == 0)
        return;
    if (m_bNewStretch) { // the finished stretch keeps its last points; a step is rare
        m_finished.append({ m_means.Points(), m_bandLow.Points(), m_bandHigh.Points() });
        m_means.Clear();
        m_bandLow.Clear();
        m_bandHigh.Clear();
        m_bNewStretch = false;
    }
    m_means.Append(QPointF(m_nReadings, mean));
    Extend(mean);
    if (std::isfinite(low) && std::isfinite(high)) {
        m_bandLow.Append(QPointF(m_nReadings, low));
        m_bandHigh.Append(QPointF(m_nReadings, high));
        Extend(low);
        Extend(high);
    }
}

void RunTrend::MarkStep()
{
    if (m_nReadings == 0)
        return;
    m_steps.append(m_lastReading);
    m_bNewStretch = true;
}

void RunTrend::SetLimits(double trueValue, double upper, double lower)
{
    m_limits[0] = trueValue;
    m_limits[1] = upper;
    m_limits[2] = lower;
}

void RunTrend::Clear()
{
    m_readings.Clear();
    m_finished.clear();
    m_means.Clear();
    m_bandLow.Clear();
    m_bandHigh.Clear();
    m_steps.clear();
    m_nReadings = 0;
    ++m_nClears;
    m_bNewStretch = false;
    m_fLow = std::numeric_limits<double>::infinity();
    m_fHigh = -std::numeric_limits<double>::infinity();
}

void RunTrend::Extend(double value)
{
    if (!std::isfinite(value))
        return;
    m_fLow = std::min(m_fLow, value);
    m_fHigh = std::max(m_fHigh, value);
}
