// The calibration report: the window asks where to save and tells the
// operator how it went; the workbook itself is written by the report layer.
#include "SetwiseDosegate.h"

#include "ReportExport.h"

#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

namespace {

// The documents folder where there is one, else home: the dialog would take
// a folder that does not exist for a file name and offer to save under it.
QString ReportFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
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

    // The session's texts, not the widgets': they are what the page shows.
    const ReportExport::Table texts = m_pSession->Report().Table();
    const ReportExport::Statistics statistics
        = m_pSession->ReportStatistics(ui.fixed_value_set->text(), ui.background_value->text());
    // Written on a thread of its own, the window answering meanwhile; the
    // button waits for the outcome so that one report is written at a time.
    ReportExport::Result result;
    QThread* writer = QThread::create([&] { result = ReportExport::Write(texts, title, statistics, path); });
    QEventLoop loop;
    connect(writer, SIGNAL(finished()), &loop, SLOT(quit()));
    QPointer<SetwiseDosegate> window(this);
    ui.export_report->setEnabled(false);
    writer->start();
    loop.exec();
    writer->wait();
    delete writer;
    if (!window)
        return;
    ui.export_report->setEnabled(true);
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
