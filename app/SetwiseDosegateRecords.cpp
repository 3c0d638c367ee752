// The record of a calibration: the points, the commands and what came back
// are kept by the records library; the window hands them over, asks the node
// what the book wants read back, and shows the book's warnings, the store's
// state, the register of calibrations and the certificates.
#include "SetwiseDosegate.h"

#include "BudgetDialog.h"
#include "CalibrationBook.h"
#include "CalibrationFigures.h"
#include "CalibrationRegister.h"
#include "CertificateWriter.h"
#include "CommandEvents.h"
#include "KeysDialog.h"
#include "NodeCalibrations.h"
#include "RecordServer.h"
#include "RecordStore.h"
#include "RecordVerifier.h"
#include "RecordWriter.h"
#include "RunJournal.h"
#include "TcpSocket.h"
#include "WriteDataFrame.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QPushButton>
#include <QDir>
#include <QHeaderView>
#include <QMessageBox>
#include <QMetaEnum>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QUrl>

#include <cmath>

namespace {

const char* const kFieldsGroup = "records";
const char* const kIntervalKey = "intervalMonths";

} // namespace

// The records tab's fields, with the names they keep between runs.
QList<QPair<QLineEdit*, QString>> SetwiseDosegate::RecordFields() const
{
    return {
        { ui.records_operator, QStringLiteral("operator") },
        { ui.records_reference_source, QStringLiteral("referenceSource") },
        { ui.records_reference_certificate, QStringLiteral("referenceCertificate") },
        { ui.records_reference_uncertainty, QStringLiteral("referenceUncertainty") },
        { ui.records_temperature, QStringLiteral("temperature") },
        { ui.records_pressure, QStringLiteral("pressure") },
        { ui.records_humidity, QStringLiteral("humidity") },
        { ui.records_laboratory_name, QStringLiteral("laboratoryName") },
        { ui.records_laboratory_address, QStringLiteral("laboratoryAddress") },
        { ui.records_customer, QStringLiteral("customer") },
        { ui.records_place, QStringLiteral("place") },
        { ui.records_measurand, QStringLiteral("measurand") },
        { ui.records_procedure, QStringLiteral("procedure") },
        { ui.records_traceability, QStringLiteral("traceability") },
    };
}

void SetwiseDosegate::AttachRecords()
{
    // The window's children, deleted in the order made; the writer writes
    // what is queued before it goes.
    m_pRecords = new RecordStore(this);
    m_pRecordWriter = new RecordWriter(this);
    m_pRecordVerifier = new RecordVerifier(RecordStore::Location(), this);
    m_pEvents = new CommandEvents(m_pRecordWriter, this);
    m_pBook = new CalibrationBook(m_pRecords, m_pRecordWriter, this);
    QSettings settings(RecordStore::SettingsPath(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kFieldsGroup));
    for (const auto& field : RecordFields())
        field.first->setText(settings.value(field.second, field.first->text()).toString());
    ui.records_interval->setValue(settings.value(QLatin1String(kIntervalKey), ui.records_interval->value()).toInt());
    // The reference's uncertainty is the one the readings page computes with.
    if (!ui.records_reference_uncertainty->text().isEmpty())
        ui.reference_uncertainty->setText(ui.records_reference_uncertainty->text());
    // The register and the tab follow once the writer has the store open;
    // connected first, since the writer's thread may be quicker than this one.
    connect(m_pRecordWriter, SIGNAL(StateChanged()), this, SLOT(ShowRecordsState()));
    connect(m_pRecordWriter, SIGNAL(Opened()), m_pRecordVerifier, SLOT(Start()));
    m_pRecordWriter->Open(RecordStore::Location(), m_pRecords);
    AttachRegister();
    ShowRecordsState();
    // Before the window's own reactions, whose boxes wait for the operator:
    // a reply is kept as it arrives, stamped with its arrival, in wire order.
    m_pEvents->SetArrivalClock([this] { return ArrivalMs(); });
    connect(m_pWriteDataFrame, SIGNAL(CommandSent(int, int, QByteArray)), m_pEvents,
            SLOT(CommandSent(int, int, QByteArray)));
    connect(m_pSocket, SIGNAL(AnalyticalFinished(int, int, int)), m_pEvents, SLOT(Acknowledged(int, int, int)));
    connect(this, SIGNAL(CoefficientsRead(int, double, double, double)), m_pEvents,
            SLOT(CoefficientsRead(int, double, double, double)));
}

// Overdue nodes first until the operator sorts otherwise.
void SetwiseDosegate::AttachRegister()
{
    m_pCertificates = new CertificateWriter(m_pRecords, this);
    m_pKeys = new KeysDialog(m_pRecords, m_pRecordWriter, m_pCertificates, this);
    m_pRegister = new CalibrationRegister(m_pRecords, this);
    m_pRegister->SetIntervalMonths(ui.records_interval->value());
    m_pRegisterSorted = new QSortFilterProxyModel(this);
    m_pRegisterSorted->setSortRole(CalibrationRegister::SortRole);
    m_pRegisterSorted->setSourceModel(m_pRegister);
    m_pNodeCalibrations = new NodeCalibrations(m_pRecords, this);
    ui.node_register->setModel(m_pRegisterSorted);
    ui.node_register->sortByColumn(CalibrationRegister::ColumnState, Qt::AscendingOrder);
    ui.node_calibrations->setModel(m_pNodeCalibrations);
    for (QTableView* table : { ui.node_register, ui.node_calibrations })
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui.certificate_state->setText(
        tr("Certificates are written to %1").arg(QDir::toNativeSeparators(m_pCertificates->Folder())));
}

// The book hears the acknowledgement after the window has shown its box:
// the read-back it asks for follows the operator's confirmation.
void SetwiseDosegate::ConnectRecords()
{
    connect(m_pWriteDataFrame, SIGNAL(CommandSent(int, int, QByteArray)), m_pBook,
            SLOT(CommandSent(int, int, QByteArray)));
    connect(m_pSocket, SIGNAL(AnalyticalFinished(int, int, int)), m_pBook, SLOT(Acknowledged(int, int, int)));
    connect(this, SIGNAL(CoefficientsRead(int, double, double, double)), m_pBook,
            SLOT(CoefficientsRead(int, double, double, double)));
    connect(m_pBook, SIGNAL(ReadBackRequested(int)), this, SLOT(ReadCoefficientsBack(int)));
    connect(m_pBook, SIGNAL(Warning(QString, QString)), this, SLOT(ShowRecordWarning(QString, QString)));
    connect(m_pBook, SIGNAL(Changed(int)), this, SLOT(ShowRecordsState()));
    connect(m_pRecords, SIGNAL(StateChanged()), this, SLOT(ShowRecordsState()));
    // A certificate then checks only the rows after the ones found intact.
    connect(m_pRecordWriter, SIGNAL(Written(qint64, qint64, qint64)), this, SLOT(ShowRecordsState()));
    connect(m_pRecordWriter, SIGNAL(Written(qint64, qint64, qint64)), m_pBook,
            SLOT(RowsWritten(qint64, qint64, qint64)));
    connect(m_pRecordWriter, SIGNAL(NotWritten(qint64, qint64, QString)), m_pBook,
            SLOT(RowsNotWritten(qint64, qint64, QString)));
    connect(m_pNodeBoard, SIGNAL(StatesChanged(QVector<int>, QVector<int>)), this,
            SLOT(RecordNodeState(QVector<int>, QVector<int>)));
    connect(ui.id_for_potentiometer, SIGNAL(valueChanged(int)), this, SLOT(ShowRecordsState()));
    connect(ui.as_found_button, SIGNAL(clicked()), this, SLOT(OnAsFoundClicked()));
    connect(ui.as_left_button, SIGNAL(clicked()), this, SLOT(OnAsLeftClicked()));
    connect(ui.finish_calibration_button, SIGNAL(clicked()), this, SLOT(OnFinishCalibrationClicked()));
    connect(ui.budget_button, SIGNAL(clicked()), m_pBudget, SLOT(open()));
    connect(ui.keys_button, SIGNAL(clicked()), m_pKeys, SLOT(open()));
    for (const auto& field : RecordFields())
        connect(field.first, SIGNAL(textChanged(QString)), this, SLOT(SaveRecordFields()));
    connect(ui.records_reference_uncertainty, SIGNAL(textChanged(QString)), ui.reference_uncertainty,
            SLOT(setText(QString)));
    connect(ui.reference_uncertainty, SIGNAL(textChanged(QString)), ui.records_reference_uncertainty,
            SLOT(setText(QString)));

    connect(m_pBook, SIGNAL(Finished(int, qint64)), m_pCertificates, SLOT(Issue(int, qint64)));
    connect(m_pCertificates, SIGNAL(Issued(qint64, QString)), this, SLOT(ShowCertificateIssued(qint64, QString)));
    connect(m_pCertificates, SIGNAL(Refused(qint64, QString)), this, SLOT(ShowCertificateRefused(qint64, QString)));
    connect(m_pRecords, SIGNAL(StateChanged()), m_pRegister, SLOT(Update()));
    connect(m_pRecords, SIGNAL(StateChanged()), m_pNodeCalibrations, SLOT(Update()));
    connect(m_pRecordWriter, SIGNAL(Written(qint64, qint64, qint64)), m_pRegister, SLOT(Update()));
    connect(m_pRecordWriter, SIGNAL(Written(qint64, qint64, qint64)), m_pNodeCalibrations, SLOT(Update()));
    connect(ui.records_interval, SIGNAL(valueChanged(int)), m_pRegister, SLOT(SetIntervalMonths(int)));
    connect(ui.records_interval, SIGNAL(valueChanged(int)), this, SLOT(SaveRecordFields()));
    connect(ui.node_register->selectionModel(), SIGNAL(currentRowChanged(QModelIndex, QModelIndex)), this,
            SLOT(ShowNodeCalibrations(QModelIndex)));
    connect(ui.node_calibrations->selectionModel(), SIGNAL(currentRowChanged(QModelIndex, QModelIndex)), this,
            SLOT(ShowCalibrationChoice()));
    connect(ui.node_calibrations, SIGNAL(activated(QModelIndex)), this, SLOT(OnShowCertificateClicked()));
    connect(ui.show_certificate_button, SIGNAL(clicked()), this, SLOT(OnShowCertificateClicked()));
    connect(ui.issue_again_button, SIGNAL(clicked()), this, SLOT(OnIssueAgainClicked()));
}

void SetwiseDosegate::SaveRecordFields()
{
    QSettings settings(RecordStore::SettingsPath(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kFieldsGroup));
    for (const auto& field : RecordFields())
        settings.setValue(field.second, field.first->text());
    settings.setValue(QLatin1String(kIntervalKey), ui.records_interval->value());
}

void SetwiseDosegate::OnAsFoundClicked()
{
    AddCalibrationPoint(CalibrationBook::AsFound);
}

void SetwiseDosegate::OnAsLeftClicked()
{
    AddCalibrationPoint(CalibrationBook::AsLeft);
}

// The figures as of this moment; as found, they also become the range's
// true and measured values on the calibration page, for Calc.
void SetwiseDosegate::AddCalibrationPoint(CalibrationBook::Stage stage)
{
    UpdateStatistics();
    const CalibrationBook::Point point =
        CalibrationBook::PointOf(m_pFigures->LastInputs(), m_pFigures->LastResult(),
                                 QDir::toNativeSeparators(m_pJournal->Path()), m_pJournal->LastLine());
    const int node = ui.id_for_potentiometer->value();
    m_pBook->AddPoint(node, ui.Serial_number->text(), stage, point);
    if (stage != CalibrationBook::AsFound || !std::isfinite(point.trueValue))
        return;
    ui.m_pSpinBox_calib_id->setValue(node);
    QDoubleSpinBox* const trueValues[] = { ui.doubleSpinBox_tvalue_1, ui.doubleSpinBox_tvalue_2,
                                           ui.doubleSpinBox_tvalue_3 };
    QDoubleSpinBox* const measured[] = { ui.doubleSpinBox_mvalue_1, ui.doubleSpinBox_mvalue_2,
                                         ui.doubleSpinBox_mvalue_3 };
    const int range = CalibrationBook::RangeOf(point.trueValue) - 1;
    trueValues[range]->setValue(point.trueValue);
    measured[range]->setValue(point.mean - point.background);
}

void SetwiseDosegate::OnFinishCalibrationClicked()
{
    CalibrationBook::Conditions conditions;
    conditions.operatorName = ui.records_operator->text();
    conditions.referenceSource = ui.records_reference_source->text();
    conditions.referenceCertificate = ui.records_reference_certificate->text();
    conditions.referenceUncertainty = ui.records_reference_uncertainty->text();
    conditions.temperature = ui.records_temperature->text();
    conditions.pressure = ui.records_pressure->text();
    conditions.humidity = ui.records_humidity->text();
    conditions.laboratoryName = ui.records_laboratory_name->text();
    conditions.laboratoryAddress = ui.records_laboratory_address->text();
    conditions.customer = ui.records_customer->text();
    conditions.place = ui.records_place->text();
    conditions.measurand = ui.records_measurand->text();
    conditions.procedure = ui.records_procedure->text();
    conditions.traceability = ui.records_traceability->text();
    if (!KeysDialog::AskPerformer(this, &conditions.performer))
        return;
    m_pBook->Finish(ui.id_for_potentiometer->value(), conditions);
}

// The decoder takes a coefficient reply only for the calibration page's id.
void SetwiseDosegate::ReadCoefficientsBack(int node)
{
    ui.m_pSpinBox_calib_id->setValue(node);
    m_pWriteDataFrame->GetCalibrationCoefficients(node);
}

// Kept by the state's name in the code, which no translation changes; a
// refresh's changes are written together.
void SetwiseDosegate::RecordNodeState(const QVector<int>& ids, const QVector<int>& states)
{
    QStringList names;
    for (int state : states)
        names << QString::fromLatin1(QMetaEnum::fromType<NodeBoard::State>().valueToKey(state));
    m_pEvents->NodeStatesChanged(ids, names);
}

void SetwiseDosegate::ShowRecordWarning(const QString& title, const QString& text)
{
    QMessageBox::warning(this, title, text);
}

void SetwiseDosegate::ShowRecordsState()
{
    const int node = ui.id_for_potentiometer->value();
    ui.open_calibration->setText(m_pBook->Summary(node));
    ui.finish_calibration_button->setEnabled(m_pBook->IsOpen(node));
    const QString where = QDir::toNativeSeparators(m_pRecordWriter->Path());
    const QString error = m_pRecordWriter->Error();
    const QString loss = m_pRecords->IsOpen() ? m_pRecords->Loss() : QString();
    // A loss stays in sight, in red, until someone accepts it.
    ui.records_state->setStyleSheet(loss.isEmpty() ? QString() : QStringLiteral("color: #d02020;"));
    if (m_pRecordWriter->IsWaiting() && RecordServer::IsServer(m_pRecordWriter->Path()))
        ui.records_state->setText(tr("%1 records waiting for the lab server").arg(m_pRecordWriter->Queued()));
    else if (m_pRecordWriter->IsWaiting())
        ui.records_state->setText(tr("Records in %1: waiting for the store, held by another console").arg(where));
    else if (!m_pRecordWriter->IsOpen() && error.isEmpty())
        ui.records_state->setText(tr("Records in %1: opening the store").arg(where));
    else if (!m_pRecordWriter->IsOpen())
        ui.records_state->setText(tr("Records are not kept: %1").arg(error));
    else if (!loss.isEmpty())
        ui.records_state->setText(tr("Records in %1 have lost rows: %2. New rows are held in %3 (%4 so far) until "
                                     "the loss is accepted: dosegate-console --accept-loss NAME")
                                      .arg(where, loss,
                                           QDir::toNativeSeparators(RecordStore::HeldPath(m_pRecordWriter->Path())))
                                      .arg(m_pRecords->HeldCount()));
    else if (!error.isEmpty())
        ui.records_state->setText(tr("Records in %1; the last one could not be written: %2").arg(where, error));
    else
        ui.records_state->setText(tr("Records in %1, rows kept: %2").arg(where).arg(m_pRecordWriter->Rows()));
}

void SetwiseDosegate::ShowNodeCalibrations(const QModelIndex& current)
{
    const int node = m_pRegister->NodeAt(m_pRegisterSorted->mapToSource(current).row());
    m_pNodeCalibrations->SetNode(node);
    ui.node_calibrations_caption->setText(node > 0 ? tr("Calibrations of node %1").arg(node) : QString());
    ShowCalibrationChoice();
}

void SetwiseDosegate::ShowCalibrationChoice()
{
    ui.show_certificate_button->setEnabled(ui.node_calibrations->currentIndex().isValid());
    ui.issue_again_button->setEnabled(ui.node_calibrations->currentIndex().isValid());
}

// The certificate that was issued, as it was issued; one is made only
// when there is none yet.
void SetwiseDosegate::OnShowCertificateClicked()
{
    const qint64 record = m_pNodeCalibrations->RecordAt(ui.node_calibrations->currentIndex().row());
    if (record == 0)
        return;
    const CertificateWriter::Outcome outcome = m_pCertificates->Write(record);
    if (!outcome.Written()) {
        ShowCertificateRefused(record, outcome.error);
        return;
    }
    OpenCertificate(record, outcome.path);
}

void SetwiseDosegate::OnIssueAgainClicked()
{
    const qint64 record = m_pNodeCalibrations->RecordAt(ui.node_calibrations->currentIndex().row());
    if (record == 0)
        return;
    const CertificateWriter::Outcome outcome = m_pCertificates->IssueAgain(record, QDate::currentDate());
    if (!outcome.Written()) {
        ShowCertificateRefused(record, outcome.error);
        return;
    }
    OpenCertificate(record, outcome.path);
}

// Without a program for PDF files the operator still learns where it is.
void SetwiseDosegate::OpenCertificate(qint64 record, const QString& path)
{
    ShowCertificateIssued(record, path);
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return;
    QMessageBox box(QMessageBox::Information, tr("Certificate"),
                    tr("No program opens the certificate here. It is %1").arg(QDir::toNativeSeparators(path)),
                    QMessageBox::Close, this);
    QPushButton* copy = box.addButton(tr("Copy path"), QMessageBox::ActionRole);
    box.exec();
    if (box.clickedButton() == copy)
        QGuiApplication::clipboard()->setText(QDir::toNativeSeparators(path));
}

void SetwiseDosegate::ShowCertificateIssued(qint64 record, const QString& path)
{
    ui.certificate_state->setText(
        tr("Certificate of record %1: %2").arg(record).arg(QDir::toNativeSeparators(path)));
}

void SetwiseDosegate::ShowCertificateRefused(qint64 record, const QString& reason)
{
    ui.certificate_state->setText(tr("No certificate for record %1: %2").arg(record).arg(reason));
    QMessageBox::warning(this, tr("Certificate refused"),
                         tr("No certificate is issued for record %1: %2.").arg(record).arg(reason));
}
