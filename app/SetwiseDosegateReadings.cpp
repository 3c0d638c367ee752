// The reading run: dose requests every 2000 ms, one table row per 500 ms tick
// that saw a new reading, and the statistics of the newest N readings.
#include "SetwiseDosegate.h"

#include "FrameProtocol.h"
#include "Pacer.h"
#include "ReadingTrend.h"
#include "RunJournal.h"
#include "WriteDataFrame.h"

#include <QDateTime>
#include <QMessageBox>
#include <QTimer>

#include <cmath>
#include <limits>

namespace {

constexpr int kMinAverageNum = 20;
constexpr int kScrollAfterRows = 9;
const char* const kRowTimeFormat = "yyyy.MM.dd.hh:mm:ss";

// Text that is not a number reads as 0.
float FloatOf(const QLineEdit* edit)
{
    return edit->text().toFloat();
}

// Truncated toward zero; out-of-range values are held at the int limits
// rather than overflowing.
int TruncatedToInt(float value)
{
    if (std::isnan(value))
        return 0;
    if (value >= float(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= float(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(value);
}

QString TwoDecimals(double value)
{
    return QString::number(value, 'f', 2);
}

} // namespace

void SetwiseDosegate::OnChangeCheckBoxOnceClicked()
{
    if (ui.calibration_check_box->isChecked()) {
        m_pTableTimer->start();
        m_pSendTimer->start();
    } else {
        UpdateStatistics();
        m_pTableTimer->stop();
        m_pSendTimer->stop();
    }
}

void SetwiseDosegate::SendTimeout()
{
    m_pWriteDataFrame->SendFixedDoseFrame();
}

void SetwiseDosegate::GetRealTimeDoseCount(int id, int count)
{
    if (ui.calibration_check_box->checkState() != Qt::Checked || id != ui.id_for_potentiometer->value())
        return;
    m_bNewData = true;
    AcceptReading(ArrivalMs(), id, count, float(FrameProtocol::DoseOfCount(count)));
}

// The journal line is written before anything else happens to the reading,
// stamped with its arrival. It names the row the next tick adds for it;
// readings that arrive within one tick share that row, which shows the
// newest of them.
void SetwiseDosegate::AcceptReading(qint64 nArrivalMs, int id, int count, float reading)
{
    m_pJournal->Append(nArrivalMs, id, count, reading, m_nRowNum + 1);
    m_pTrend->AddReading(reading);
    m_listAverage.append(reading);
    m_fNewestDose = reading;
    ++m_nDoseCount;
    // An N below 1 is raised by the next tick; until then the window only
    // fills, so nothing is divided by zero.
    if (m_nAverageNum < 1 || m_listAverage.size() < m_nAverageNum)
        return;
    while (m_listAverage.size() > m_nAverageNum)
        m_listAverage.removeFirst();
    UpdateWindowFigures();
    m_pTrend->AddMean(m_fAverage);
}

// Mean and population coefficient of variation of the full window, summed
// in single precision.
void SetwiseDosegate::UpdateWindowFigures()
{
    float sum = 0;
    for (float reading : qAsConst(m_listAverage))
        sum += reading;
    m_fAverage = sum / float(m_nAverageNum);
    m_pFigurePacer->Request();

    float squares = 0;
    for (float reading : qAsConst(m_listAverage)) {
        const float deviation = m_fAverage - reading;
        squares += deviation * deviation;
    }
    const float deviation = std::sqrt(squares / float(m_nAverageNum));
    // All readings zero: no spread, rather than 0/0.
    m_fVariation = m_fAverage != 0.0f ? deviation / m_fAverage * 100.0f : 0.0f;
}

void SetwiseDosegate::TableTimeout()
{
    const qint64 readings = m_nDoseCount;
    const float newest = m_fNewestDose;
    if (m_nAverageNum < kMinAverageNum)
        RaiseAverageNumber();
    // The warning box runs a nested event loop; the row still shows the
    // newest reading as of the start of this tick.
    if (m_bNewData && readings >= 1 && readings <= m_nDoseCount) {
        m_bNewData = false;
        AddTableRow(newest);
    }
    UpdateStatistics();
}

void SetwiseDosegate::RaiseAverageNumber()
{
    m_nAverageNum = kMinAverageNum;
    ui.average_group->setText(QString::number(kMinAverageNum));
    QMessageBox::information(this, QStringLiteral("warn"),
                             QStringLiteral("The average number of groups needs to be greater than 20")
                                 + QString(3, QChar(0xFF01)));
}

// One row per tick, showing the newest reading if several arrived.
void SetwiseDosegate::AddTableRow(float reading)
{
    QTableWidget* table = ui.tableWidget_for_potentiometer;
    const int row = table->rowCount();
    if (row > kScrollAfterRows)
        table->scrollToBottom();
    table->insertRow(row);
    table->setItem(row, 2, new QTableWidgetItem(TwoDecimals(reading)));
    table->setItem(row, 1, new QTableWidgetItem(m_clock.Now().toString(QLatin1String(kRowTimeFormat))));
    table->setItem(row, 3, new QTableWidgetItem(QString::number(++m_nRowNum)));
    table->scrollToBottom(); // the newest row stays in sight however tall the rows are
}

void SetwiseDosegate::ShowFigures()
{
    ui.average_group_3->setText(TwoDecimals(m_fAverage));
}

// The error is taken against the mean as shown, rounded to two decimals.
void SetwiseDosegate::UpdateStatistics()
{
    m_pFigurePacer->Flush();
    const float mean = ui.average_group_3->text().toFloat();
    const float trueValue = FloatOf(ui.fixed_value_set);
    if (trueValue != 0.0f && mean != 0.0f) {
        const float error = (mean - trueValue) / trueValue * 100.0f;
        ShowFigure(ui.relative_error_2, TwoDecimals(error));
    }
    const float shown = FloatOf(ui.variable_conefficient);
    if (shown != 0.0f || m_fVariation != 0.0f)
        ShowFigure(ui.variable_conefficient, TwoDecimals(m_fVariation));
}

void SetwiseDosegate::UpdateLimits()
{
    const float tolerance = FloatOf(ui.relative_error);
    const float trueValue = FloatOf(ui.fixed_value_set);
    const float upper = float(double(trueValue) + double(trueValue) * (double(tolerance) / 100.0));
    const float lower = float(double(trueValue) - double(trueValue) * (double(tolerance) / 100.0));
    ui.average_group_4->setText(QString::number(upper, 'g', 6));
    ui.average_group_5->setText(QString::number(lower, 'g', 6));
    m_pTrend->SetLimits(trueValue, upper, lower);
}

void SetwiseDosegate::slot_modifyIDData()
{
    m_listAverage.clear();
    m_nDoseCount = 0;
    m_nRowNum = 0;
    ui.tableWidget_for_potentiometer->clearContents();
    ui.tableWidget_for_potentiometer->setRowCount(0);
    m_pTrend->Clear();
    m_pJournal->Restart();
}

void SetwiseDosegate::slot_modifyAverageData()
{
    m_nAverageNum = TruncatedToInt(FloatOf(ui.average_group));
}

void SetwiseDosegate::slot_modifyText()
{
    UpdateLimits();
}
