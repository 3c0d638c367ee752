// The calibration report: the window asks where to save and tells the
// operator how it went; the workbook itself is written by the report layer.
#include "SetwiseDosegate.h"

#include "CalibrationFigures.h"
#include "TypedFigure.h"
#include "ReportExport.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>

#include <cmath>

namespace {

// The documents folder where there is one, else home: the dialog would take
// a folder that does not exist for a file name and offer to save under it.
QString ReportFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

// The report layer takes texts, not widgets.
ReportExport::Table TextsOf(const QTableWidget& table)
{
    ReportExport::Table texts;
    texts.nColumns = table.columnCount();
    for (int nRow = 0; nRow < table.rowCount(); ++nRow) {
        QStringList row;
        for (int nColumn = 0; nColumn < texts.nColumns; ++nColumn)
            row << (table.item(nRow, nColumn) ? table.item(nRow, nColumn)->text() : QString());
        texts.rows << row;
    }
    return texts;
}

} // namespace

void SetwiseDosegate::OnClickExportReport()
{
    ExportReport(ui.tableWidget_for_potentiometer, QStringLiteral("Serial number:") + ui.Serial_number->text());
}

void SetwiseDosegate::ExportReport(QTableWidget* table, const QString& title)
{
    const QString path
        = QFileDialog::getSaveFileName(table, tr("Save"), ReportFolder(), tr("Excel file(*.xls *.xlsx)"));
    if (path.isEmpty())
        return;

    // The figures as shown; inputs that are no number are left out rather
    // than written as "nan".
    const auto shown = [](const QLineEdit* input, TypedFigure::Range range, double whenEmpty) {
        return std::isfinite(TypedFigure::Read(input->text(), range, whenEmpty).value) ? input->text().trimmed()
                                                                                        : QString();
    };
    ReportExport::Statistics statistics;
    statistics.trueValue = shown(ui.fixed_value_set, TypedFigure::DoseRate, CalibrationFigures::kEmpty);
    statistics.relativeError = ui.relative_error_2->text();
    statistics.variation = ui.variable_conefficient->text();
    statistics.reportTime = QDateTime::currentDateTime();
    statistics.background = shown(ui.background_value, TypedFigure::NonNegative, 0);
    statistics.standardDeviation = ui.standard_deviation->text();
    statistics.expandedUncertainty = ui.expanded_uncertainty->text();
    statistics.coverageFactor = ui.coverage_factor->text();
    // The report's words are data, in no particular language.
    statistics.decisionRule = CalibrationFigures::RuleKey(m_pFigures->LastInputs().rule);
    statistics.verdict = CalibrationFigures::VerdictKey(m_pFigures->LastResult().verdict);
    const ReportExport::Result result = ReportExport::Write(TextsOf(*table), title, statistics, path);
    if (result.outcome != ReportExport::Written) {
        QMessageBox::warning(nullptr, tr("Error"), result.message,
                             result.outcome == ReportExport::BindFailed ? QMessageBox::Apply : QMessageBox::Ok,
                             QMessageBox::NoButton);
        return;
    }

    const QMessageBox::StandardButton answer = QMessageBox::question(
        nullptr, tr("Complete"), tr("The file has been exported. Do you want to open it now？"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer == QMessageBox::Yes)
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
