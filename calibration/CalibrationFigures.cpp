#include "CalibrationFigures.h"

#include <cmath>
#include <iterator>
#include <limits>

namespace {

constexpr int kDefaultAverageNum = 20;

// Student's t for p = 95.45 % (two-sided), GUM Table G.2. Between its rows
// the degrees of freedom are truncated to the row at or below them (GUM
// G.6.4), which errs towards the larger k.
struct TRow {
    double degreesOfFreedom;
    double t;
};
constexpr TRow kStudentT[] = {
    { 1, 13.97 }, { 2, 4.53 },  { 3, 3.31 },  { 4, 2.87 },  { 5, 2.65 },  { 6, 2.52 },   { 7, 2.43 },
    { 8, 2.37 },  { 9, 2.32 },  { 10, 2.28 }, { 11, 2.25 }, { 12, 2.23 }, { 13, 2.21 },  { 14, 2.20 },
    { 15, 2.18 }, { 16, 2.17 }, { 17, 2.16 }, { 18, 2.15 }, { 19, 2.14 }, { 20, 2.13 },  { 25, 2.11 },
    { 30, 2.09 }, { 35, 2.07 }, { 40, 2.06 }, { 45, 2.06 }, { 50, 2.05 }, { 100, 2.025 },
};
constexpr double kLargeSampleT = 2.0;

bool IsNumber(double value)
{
    return std::isfinite(value);
}

} // namespace

CalibrationFigures::CalibrationFigures(QObject* parent)
    : QObject(parent)
    , m_nAverageNum(kDefaultAverageNum)
    , m_fAverage(0)
    , m_fVariation(0)
    , m_nWindow(0)
    , m_fStandardDeviation(kEmpty)
{
}

double CalibrationFigures::Number(const QString& text, double whenEmpty)
{
    if (text.trimmed().isEmpty())
        return whenEmpty;
    bool ok = false;
    const double value = text.toDouble(&ok);
    // Readings are single-precision: a value beyond a float's range would
    // come back as an infinity.
    if (!ok || !std::isfinite(value) || std::abs(value) > double(std::numeric_limits<float>::max()))
        return kEmpty;
    return value;
}

double CalibrationFigures::CoverageFactor(double degreesOfFreedom)
{
    if (std::isnan(degreesOfFreedom) || degreesOfFreedom < 1)
        return kEmpty;
    const double whole = std::floor(degreesOfFreedom);
    double t = kLargeSampleT;
    if (whole <= kStudentT[std::size(kStudentT) - 1].degreesOfFreedom) {
        for (const TRow& row : kStudentT) {
            if (row.degreesOfFreedom <= whole)
                t = row.t;
        }
    } else if (std::isfinite(degreesOfFreedom)) {
        t = kStudentT[std::size(kStudentT) - 1].t;
    }
    return t;
}

QString CalibrationFigures::RuleKey(DecisionRule rule)
{
    return rule == GuardedAcceptance ? QStringLiteral("guarded acceptance") : QStringLiteral("simple acceptance");
}

QString CalibrationFigures::VerdictKey(Verdict verdict)
{
    switch (verdict) {
    case Pass: return QStringLiteral("PASS");
    case Fail: return QStringLiteral("FAIL");
    case Inconclusive: return QStringLiteral("INCONCLUSIVE");
    case NoVerdict: break;
    }
    return QString();
}

QString CalibrationFigures::RuleWords(DecisionRule rule, Verdict verdict, double tolerance)
{
    const QString limit = QString::number(tolerance, 'g', 6);
    switch (verdict) {
    case Pass:
        return rule == GuardedAcceptance ? tr("|e| + U ≤ %1 %").arg(limit) : tr("|e| ≤ %1 %").arg(limit);
    case Fail:
        return rule == GuardedAcceptance ? tr("|e| − U > %1 %").arg(limit) : tr("|e| > %1 %").arg(limit);
    case Inconclusive:
        return tr("|e| − U ≤ %1 % < |e| + U").arg(limit);
    case NoVerdict:
        break;
    }
    return QString();
}

QString CalibrationFigures::VerdictTextOfKey(const QString& key)
{
    for (Verdict verdict : { Pass, Fail, Inconclusive }) {
        if (VerdictKey(verdict) == key)
            return VerdictText(verdict);
    }
    return key;
}

QString CalibrationFigures::CoverageText(double coverageFactor)
{
    if (!std::isfinite(coverageFactor))
        return QString();
    const double hundredths = std::round(coverageFactor * 100.0);
    const int decimals = std::abs(coverageFactor * 100.0 - hundredths) < 1e-9 ? 2 : 3;
    return QStringLiteral("k = ") + QString::number(coverageFactor, 'f', decimals);
}

QString CalibrationFigures::VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Pass: return tr("PASS");
    case Fail: return tr("FAIL");
    case Inconclusive: return tr("INCONCLUSIVE");
    case NoVerdict: break;
    }
    return QString();
}

void CalibrationFigures::AddReading(const Reading& reading)
{
    m_listAverage.append(reading.value);
    // An N below 1 is raised by the next table tick; until then the window
    // only fills, so nothing is divided by zero.
    if (m_nAverageNum < 1 || m_listAverage.size() < m_nAverageNum)
        return;
    while (m_listAverage.size() > m_nAverageNum)
        m_listAverage.removeFirst();
    UpdateWindowFigures();
    const Result result = Compute(m_inputs);
    const double net = double(m_fAverage) - m_inputs.background;
    const double band = result.expandedUncertainty / 100.0 * net;
    emit MeanChanged(m_fAverage, double(m_fAverage) - band, double(m_fAverage) + band);
}

void CalibrationFigures::RestartAveraging()
{
    m_listAverage.clear();
}

// Mean and population coefficient of variation in single precision; the
// standard deviation of the mean's uncertainty with divisor n − 1, in double.
void CalibrationFigures::UpdateWindowFigures()
{
    float sum = 0;
    for (float reading : qAsConst(m_listAverage))
        sum += reading;
    m_fAverage = sum / float(m_nAverageNum);

    float squares = 0;
    for (float reading : qAsConst(m_listAverage)) {
        const float deviation = m_fAverage - reading;
        squares += deviation * deviation;
    }
    const float deviation = std::sqrt(squares / float(m_nAverageNum));
    // All readings zero: no spread, rather than 0/0.
    m_fVariation = m_fAverage != 0.0f ? deviation / m_fAverage * 100.0f : 0.0f;

    m_nWindow = m_listAverage.size();
    double mean = 0;
    for (float reading : qAsConst(m_listAverage))
        mean += reading;
    mean /= m_nWindow;
    double sumOfSquares = 0;
    for (float reading : qAsConst(m_listAverage))
        sumOfSquares += (reading - mean) * (reading - mean);
    m_fStandardDeviation = m_nWindow >= 2 ? std::sqrt(sumOfSquares / (m_nWindow - 1)) : kEmpty;
}

CalibrationFigures::Result CalibrationFigures::Evaluate(const Inputs& inputs)
{
    m_inputs = inputs;
    m_result = Compute(inputs);
    return m_result;
}

CalibrationFigures::Result CalibrationFigures::Compute(const Inputs& inputs) const
{
    Result result;
    if (m_nWindow == 0)
        return result;
    result.n = m_nWindow;
    result.mean = m_fAverage;
    result.variation = m_fVariation;
    result.standardDeviation = m_fStandardDeviation;

    const double t = inputs.trueValue;
    const double background = inputs.background;
    if (!IsNumber(t) || t <= 0 || !IsNumber(background) || background < 0)
        return result;
    const double net = result.mean - background;
    if (net <= 0)
        return result;
    result.error = (net - t) / t * 100.0;

    const double reference = inputs.referenceUncertainty;
    if (result.n < 2 || !IsNumber(result.standardDeviation) || !IsNumber(reference) || reference < 0)
        return result;
    const double typeA = result.standardDeviation / std::sqrt(double(result.n)) / net;
    const double typeB = reference / 100.0 / 2.0;
    const double combined = std::hypot(typeA, typeB);
    // Welch-Satterthwaite with the reference's degrees of freedom taken as
    // infinite; written as a ratio, so that tiny uncertainties do not
    // underflow.
    result.degreesOfFreedom = typeA > 0 ? (result.n - 1) * std::pow(combined / typeA, 4)
                                        : std::numeric_limits<double>::infinity();
    result.coverageFactor = CoverageFactor(result.degreesOfFreedom);
    result.expandedUncertainty = result.coverageFactor * combined * 100.0;
    if (!IsNumber(result.expandedUncertainty)) {
        result.expandedUncertainty = kEmpty;
        return result;
    }

    const double tolerance = inputs.tolerance;
    if (!IsNumber(tolerance) || tolerance < 0)
        return result;
    const double error = std::abs(result.error);
    const double U = result.expandedUncertainty;
    if (inputs.rule == GuardedAcceptance)
        result.verdict = error + U <= tolerance ? Pass : error - U > tolerance ? Fail : Inconclusive;
    else
        result.verdict = error <= tolerance ? Pass : Fail;
    return result;
}
