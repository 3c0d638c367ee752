// The reading run: dose requests every 2000 ms, one table row per 500 ms tick
// that saw a new reading. The figures of the newest N readings are
// CalibrationFigures'; the window shows them.
#include "SetwiseDosegate.h"

#include "BudgetDialog.h"
#include "CalibrationFigures.h"
#include "CalibrationProcedure.h"
#include "CalibrationRegister.h"
#include "Pacer.h"
#include "ProcedurePage.h"
#include "ReadingTrend.h"
#include "TypedFigure.h"
#include "WriteDataFrame.h"

#include <QMessageBox>
#include <QTimer>

#include <cmath>
#include <limits>

namespace {

constexpr int kScrollAfterRows = 9;

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

// A field whose text is not a figure of its range is framed red and gives
// none.
double Typed(QLineEdit* edit, TypedFigure::Range range, double whenEmpty = CalibrationFigures::kEmpty)
{
    const TypedFigure figure = TypedFigure::Read(edit->text(), range, whenEmpty);
    if (edit->property("bad").toBool() != figure.bad) {
        edit->setProperty("bad", figure.bad);
        edit->setStyleSheet(figure.bad ? QStringLiteral("QLineEdit { border: 2px solid #c62828; }") : QString());
    }
    return figure.value;
}

QString VerdictStyle(CalibrationFigures::Verdict verdict)
{
    switch (verdict) {
    case CalibrationFigures::Pass: return QStringLiteral("color: #1b7d32; font-weight: bold;");
    case CalibrationFigures::Fail: return QStringLiteral("color: #c62828; font-weight: bold;");
    case CalibrationFigures::Inconclusive: return QStringLiteral("color: #b36b00; font-weight: bold;");
    case CalibrationFigures::NoVerdict: break;
    }
    return QString();
}

} // namespace

// The session hands each accepted reading to the journal, the trend, the
// figures and the procedure, in that order.
void SetwiseDosegate::ConnectReadings()
{
    // The guided calibration, on a page of its own: each of its runs
    // restarts the table as an ID change does.
    auto* procedure = new ProcedurePage(m_pSession, ui.calibration_check_box, this);
    ui.tabWidget->addTab(procedure, tr("procedure"));
    procedure->SetRegister(m_pRegister, CalibrationRegister::ColumnSerial);
    procedure->SetReadingsTable(ui.tableWidget_for_potentiometer);
    procedure->SetCalcFields({ ui.doubleSpinBox_tvalue_1, ui.doubleSpinBox_tvalue_2, ui.doubleSpinBox_tvalue_3 },
                             { ui.doubleSpinBox_mvalue_1, ui.doubleSpinBox_mvalue_2, ui.doubleSpinBox_mvalue_3 },
                             ui.m_pSpinBox_calib_id);
    connect(procedure, SIGNAL(FinishRequested()), this, SLOT(OnFinishCalibrationClicked()));
    connect(procedure, SIGNAL(CalcRequested()), this, SLOT(OnCalcCalibrationClicked()));
    connect(procedure, SIGNAL(SetRequested()), this, SLOT(OnSetCalibrationClicked()));
    procedure->SetCurrentCoefficientFields(
        { ui.doubleSpinBox_lastCoe_1, ui.doubleSpinBox_lastCoe_2, ui.doubleSpinBox_lastCoe_3 });
    procedure->Procedure()->SetRunSettings(
        CalibrationProcedure::LoadRunSettings(ConsoleSession::SettingsPath(), m_pSendTimer->interval()));
    connect(m_pSession, SIGNAL(ProcedureReopened(QJsonObject)), procedure, SLOT(ShowReopened(QJsonObject)));
    connect(procedure, SIGNAL(NodeChosen(int)), ui.id_for_potentiometer, SLOT(setValue(int)));
    connect(procedure->Procedure(), SIGNAL(RunStarted(int)), this, SLOT(slot_modifyIDData()));
    connect(m_pFigures, SIGNAL(MeanChanged(double, double, double)), m_pFigurePacer, SLOT(Request()));
    connect(ui.use_as_background_button, SIGNAL(clicked()), m_pFigures, SLOT(UseAsBackground()));
    connect(m_pFigures, SIGNAL(BackgroundMeasured(QString)), ui.background_value, SLOT(setText(QString)));
    connect(m_pFigures, SIGNAL(BackgroundUncertaintyMeasured(QString)), ui.background_uncertainty,
            SLOT(setText(QString)));
    for (QLineEdit* input : { ui.background_value, ui.background_uncertainty, ui.reference_uncertainty })
        connect(input, SIGNAL(textChanged(QString)), this, SLOT(slot_modifyText()));
}

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

// Only while the run is ticked, and only the node it follows.
void SetwiseDosegate::GetRealTimeDoseCount(int id, int count)
{
    if (ui.calibration_check_box->checkState() != Qt::Checked || id != ui.id_for_potentiometer->value())
        return;
    m_pSession->AcceptCount(id, count);
}

// A full window's mean, and the points it may now give.
void SetwiseDosegate::ShowFigures()
{
    ui.average_group_3->setText(RunReport::Figure(m_pFigures->Average(), RunReport::kReadingDecimals));
    ui.as_found_button->setEnabled(true);
    ui.as_left_button->setEnabled(true);
}

void SetwiseDosegate::TableTimeout()
{
    if (m_pSession->HoldMinimumAverageNumber())
        RaiseAverageNumber();
    QStringList row;
    if (m_pSession->TakeRow(&row))
        AddTableRow(row);
    UpdateStatistics();
}

// The box does not block the tick that opens it: a nested event loop would
// hold this timer back, and requests, readings and rows go on behind the box.
void SetwiseDosegate::RaiseAverageNumber()
{
    ui.average_group->setText(QString::number(ConsoleSession::kMinAverageNumber));
    auto* box = new QMessageBox(QMessageBox::Information, tr("warn"),
                                tr("The average number of groups needs to be greater than 20！！！"),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

// One row per tick, showing the newest reading if several arrived.
void SetwiseDosegate::AddTableRow(const QStringList& texts)
{
    QTableWidget* table = ui.tableWidget_for_potentiometer;
    const int row = table->rowCount();
    if (row > kScrollAfterRows)
        table->scrollToBottom();
    table->insertRow(row);
    for (int column = 1; column < texts.size(); ++column)
        table->setItem(row, column, new QTableWidgetItem(texts[column]));
    table->scrollToBottom(); // the newest row stays in sight however tall the rows are
}

void SetwiseDosegate::UpdateStatistics()
{
    m_pFigurePacer->Flush(); // the mean on screen is the one the figures are of
    const CalibrationFigures::Inputs inputs = FigureInputs();
    const CalibrationFigures::Result figures = m_pSession->EvaluateFigures(inputs);
    QStringList remarks;
    const QString undetectable = CalibrationFigures::DetectionWarning(inputs, m_pFigures->AverageNumber());
    if (!undetectable.isEmpty())
        remarks << undetectable;
    if (figures.n == 0) { // no mean yet: only what the run can expect
        ui.figures_remarks->setText(remarks.join(QLatin1Char('\n')));
        return;
    }

    const RunReport::Figures& shown = m_pSession->Report().Shown();
    ShowFigure(ui.relative_error_2, shown.error);
    ShowFigure(ui.variable_conefficient, shown.variation);
    ShowFigure(ui.standard_deviation, shown.standardDeviation);
    ShowFigure(ui.expanded_uncertainty, shown.expandedUncertainty);
    ui.coverage_factor->setText(shown.coverage);
    ui.calibration_verdict->setText(CalibrationFigures::VerdictText(figures.verdict));
    const QString style = VerdictStyle(figures.verdict);
    if (ui.calibration_verdict->styleSheet() != style)
        ui.calibration_verdict->setStyleSheet(style);
    ui.verdict_rule->setText(CalibrationFigures::RuleWords(inputs.rule, figures.verdict, inputs.tolerance));
    remarks << CalibrationFigures::Remarks(inputs, figures);
    ui.figures_remarks->setText(remarks.join(QLatin1Char('\n')));
}

// Every typed figure of the page, read once; the background's degrees of
// freedom are those of its run while it stands as that run gave it.
CalibrationFigures::Inputs SetwiseDosegate::FigureInputs()
{
    CalibrationFigures::Inputs inputs;
    inputs.trueValue = Typed(ui.fixed_value_set, TypedFigure::DoseRate);
    inputs.tolerance = Typed(ui.relative_error, TypedFigure::Positive);
    inputs.background = Typed(ui.background_value, TypedFigure::NonNegative, 0);
    inputs.backgroundUncertainty = Typed(ui.background_uncertainty, TypedFigure::NonNegative, 0);
    inputs.backgroundDegreesOfFreedom
        = m_pFigures->BackgroundDegreesOfFreedom(ui.background_value->text(), ui.background_uncertainty->text());
    inputs.referenceUncertainty = Typed(ui.reference_uncertainty, TypedFigure::NonNegative, 0);
    inputs.rule = ui.decision_rule->currentIndex() == 1 ? CalibrationFigures::GuardedAcceptance
                                                        : CalibrationFigures::SimpleAcceptance;
    inputs.budget = m_pBudget->Components();
    return inputs;
}

// Limits of a true value or a tolerance that is not one are left empty, as
// are limits that are not finite.
void SetwiseDosegate::UpdateLimits()
{
    const double tolerance = Typed(ui.relative_error, TypedFigure::Positive);
    const double trueValue = Typed(ui.fixed_value_set, TypedFigure::DoseRate);
    float upper = 0;
    float lower = 0;
    const bool finite = ConsoleSession::ToleranceLimits(trueValue, tolerance, &upper, &lower);
    ui.average_group_4->setText(finite ? QString::number(upper, 'g', 6) : QString());
    ui.average_group_5->setText(finite ? QString::number(lower, 'g', 6) : QString());
    m_pSession->Trend().SetLimits(float(trueValue), upper, lower);
    if (m_pTrend) // else drawn as it is first shown
        m_pTrend->Changed();
}

void SetwiseDosegate::slot_modifyIDData()
{
    RestartFigures();
    ui.as_found_button->setEnabled(false);
    ui.as_left_button->setEnabled(false);
    m_pSession->RestartRun();
    ui.tableWidget_for_potentiometer->clearContents();
    ui.tableWidget_for_potentiometer->setRowCount(0);
    if (m_pTrend)
        m_pTrend->Clear();
}

// Whatever restarts the table, no figure of the previous run may stand
// beside it, nor a mean still waiting for the pacer, until a new window is
// full.
void SetwiseDosegate::RestartFigures()
{
    m_pSession->RestartAveraging();
    for (QLineEdit* field : {ui.relative_error_2, ui.variable_conefficient, ui.standard_deviation,
                             ui.expanded_uncertainty})
        field->clear();
    ui.average_group_3->clear();
    ui.coverage_factor->clear();
    ui.calibration_verdict->clear();
    ui.calibration_verdict->setStyleSheet(VerdictStyle(CalibrationFigures::NoVerdict));
    ui.verdict_rule->clear();
    ui.figures_remarks->setText(CalibrationFigures::DetectionWarning(FigureInputs(), m_pFigures->AverageNumber()));
}

void SetwiseDosegate::slot_modifyAverageData()
{
    m_pFigures->SetAverageNumber(TruncatedToInt(FloatOf(ui.average_group)));
}

void SetwiseDosegate::slot_modifyText()
{
    UpdateLimits();
    // Marks a field that holds no figure as soon as it is typed, and says
    // before the run whether it can detect the true value at all.
    const CalibrationFigures::Inputs inputs = FigureInputs();
    if (m_pFigures->LastResult().n == 0)
        ui.figures_remarks->setText(CalibrationFigures::DetectionWarning(inputs, m_pFigures->AverageNumber()));
}
