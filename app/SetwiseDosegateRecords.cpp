// The record of a calibration: the points, the commands and what came back
// are kept by the session; the window hands over the operator's points,
// follows the node the book reads back, and shows the book's warnings, the
// store's state, the register of calibrations and the certificates.
#include "SetwiseDosegate.h"
#include "ui_RecordsPage.h"

#include "BudgetDialog.h"
#include "CalibrationRegister.h"
#include "CertificateWriter.h"
#include "KeysDialog.h"
#include "NodeCalibrations.h"
#include "RecordServer.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QPushButton>
#include <QDir>
#include <QHeaderView>
#include <QInputDialog>
#include <QMessageBox>
#include <QSortFilterProxyModel>
#include <QUrl>

namespace {

const char* const kIntervalKey = "intervalMonths";
const int kIntervalMonths = 12; // until the lab sets its own
const char* const kReferenceUncertaintyKey = "referenceUncertainty";

} // namespace

// The records tab's fields, with the names they keep between runs.
QList<QPair<QLineEdit*, QString>> SetwiseDosegate::RecordFields() const
{
    return {
        { m_pRecordsPage->records_operator, QStringLiteral("operator") },
        { m_pRecordsPage->records_reference_source, QStringLiteral("referenceSource") },
        { m_pRecordsPage->records_reference_certificate, QStringLiteral("referenceCertificate") },
        { m_pRecordsPage->records_reference_uncertainty, QLatin1String(kReferenceUncertaintyKey) },
        { m_pRecordsPage->records_temperature, QStringLiteral("temperature") },
        { m_pRecordsPage->records_pressure, QStringLiteral("pressure") },
        { m_pRecordsPage->records_humidity, QStringLiteral("humidity") },
        { m_pRecordsPage->records_laboratory_name, QStringLiteral("laboratoryName") },
        { m_pRecordsPage->records_laboratory_address, QStringLiteral("laboratoryAddress") },
        { m_pRecordsPage->records_customer, QStringLiteral("customer") },
        { m_pRecordsPage->records_place, QStringLiteral("place") },
        { m_pRecordsPage->records_measurand, QStringLiteral("measurand") },
        { m_pRecordsPage->records_procedure, QStringLiteral("procedure") },
        { m_pRecordsPage->records_traceability, QStringLiteral("traceability") },
    };
}

// Before the records tab is first shown, its fields are the ones kept: the
// readings page's reference uncertainty is one of them.
void SetwiseDosegate::AttachRecords()
{
    const QString reference = ConsoleSession::RecordField(QLatin1String(kReferenceUncertaintyKey), QString()).toString();
    if (!reference.isEmpty())
        ui.reference_uncertainty->setText(reference);
    connect(m_pSession, SIGNAL(RecordsChanged()), this, SLOT(ShowRecordsState()));
    AttachRegister();
}

// Overdue nodes first until the operator sorts otherwise.
void SetwiseDosegate::AttachRegister()
{
    m_pKeys = new KeysDialog(m_pSession, this);
    m_pRegister->SetIntervalMonths(ConsoleSession::RecordField(QLatin1String(kIntervalKey), kIntervalMonths).toInt());
    m_pRegisterSorted = new QSortFilterProxyModel(this);
    m_pRegisterSorted->setSortRole(CalibrationRegister::SortRole);
    m_pRegisterSorted->setSourceModel(m_pRegister);
}

// The book hears the acknowledgement after the window has shown its box:
// the read-back it asks for follows the operator's confirmation.
void SetwiseDosegate::ConnectRecords()
{
    connect(m_pSession, SIGNAL(ReadBackStarting(int)), this, SLOT(FollowReadBack(int)));
    connect(m_pSession, SIGNAL(Warning(QString, QString)), this, SLOT(ShowRecordWarning(QString, QString)));
    connect(ui.id_for_potentiometer, SIGNAL(valueChanged(int)), this, SLOT(ShowRecordsState()));
    connect(ui.as_found_button, SIGNAL(clicked()), this, SLOT(OnAsFoundClicked()));
    connect(ui.as_left_button, SIGNAL(clicked()), this, SLOT(OnAsLeftClicked()));
    connect(ui.reference_uncertainty, SIGNAL(textChanged(QString)), this, SLOT(SaveRecordFields()));
    connect(m_pCertificates, SIGNAL(Issued(qint64, QString)), this, SLOT(ShowCertificateIssued(qint64, QString)));
    connect(m_pCertificates, SIGNAL(Refused(qint64, QString)), this, SLOT(ShowCertificateRefused(qint64, QString)));
}

// The records tab's own form, made when the tab is first shown, with the
// fields as they were kept and the register in its tables (sizing their
// columns to contents reads every row).
void SetwiseDosegate::BuildRecordsPage(QWidget* contents)
{
    m_pRecordsPage = std::make_unique<Ui::RecordsPage>();
    m_pRecordsPage->setupUi(contents);
    for (const auto& field : RecordFields())
        field.first->setText(ConsoleSession::RecordField(field.second, field.first->text()).toString());
    m_pRecordsPage->records_interval->setValue(
        ConsoleSession::RecordField(QLatin1String(kIntervalKey), kIntervalMonths).toInt());
    m_pRecordsPage->certificate_state->setText(
        tr("Certificates are written to %1").arg(QDir::toNativeSeparators(m_pCertificates->Folder())));
    m_pRecordsPage->node_register->setModel(m_pRegisterSorted);
    m_pRecordsPage->node_register->sortByColumn(CalibrationRegister::ColumnState, Qt::AscendingOrder);
    m_pRecordsPage->node_calibrations->setModel(m_pNodeCalibrations);
    for (QTableView* table : { m_pRecordsPage->node_register, m_pRecordsPage->node_calibrations })
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ShowRecordsState();

    connect(m_pRecordsPage->finish_calibration_button, SIGNAL(clicked()), this, SLOT(OnFinishCalibrationClicked()));
    connect(m_pRecordsPage->budget_button, SIGNAL(clicked()), m_pBudget, SLOT(open()));
    connect(m_pRecordsPage->keys_button, SIGNAL(clicked()), m_pKeys, SLOT(open()));
    for (const auto& field : RecordFields())
        connect(field.first, SIGNAL(textChanged(QString)), this, SLOT(SaveRecordFields()));
    connect(m_pRecordsPage->records_reference_uncertainty, SIGNAL(textChanged(QString)), ui.reference_uncertainty,
            SLOT(setText(QString)));
    connect(ui.reference_uncertainty, SIGNAL(textChanged(QString)), m_pRecordsPage->records_reference_uncertainty,
            SLOT(setText(QString)));
    connect(m_pRecordsPage->records_interval, SIGNAL(valueChanged(int)), m_pRegister, SLOT(SetIntervalMonths(int)));
    connect(m_pRecordsPage->records_interval, SIGNAL(valueChanged(int)), this, SLOT(SaveRecordFields()));
    connect(m_pRecordsPage->node_register->selectionModel(), SIGNAL(currentRowChanged(QModelIndex, QModelIndex)),
            this, SLOT(ShowNodeCalibrations(QModelIndex)));
    connect(m_pRecordsPage->node_calibrations->selectionModel(), SIGNAL(currentRowChanged(QModelIndex, QModelIndex)),
            this, SLOT(ShowCalibrationChoice()));
    connect(m_pRecordsPage->node_calibrations, SIGNAL(activated(QModelIndex)), this, SLOT(OnShowCertificateClicked()));
    connect(m_pRecordsPage->show_certificate_button, SIGNAL(clicked()), this, SLOT(OnShowCertificateClicked()));
    connect(m_pRecordsPage->issue_again_button, SIGNAL(clicked()), this, SLOT(OnIssueAgainClicked()));
    connect(m_pRecordsPage->records_local_button, SIGNAL(clicked()), this, SLOT(OnRecordsLocalClicked()));
    connect(m_pRecordsPage->records_server_button, SIGNAL(clicked()), this, SLOT(OnRecordsServerClicked()));
}

// A field as the tab shows it, or as it was kept while the tab was never
// shown.
QString SetwiseDosegate::RecordFieldText(const char* key) const
{
    if (!m_pRecordsPage)
        return ConsoleSession::RecordField(QLatin1String(key), QString()).toString();
    for (const auto& field : RecordFields())
        if (field.second == QLatin1String(key))
            return field.first->text();
    return QString();
}

void SetwiseDosegate::SaveRecordFields()
{
    QVariantMap fields;
    if (!m_pRecordsPage) {
        fields.insert(QLatin1String(kReferenceUncertaintyKey), ui.reference_uncertainty->text());
        ConsoleSession::SaveRecordFields(fields);
        return;
    }
    for (const auto& field : RecordFields())
        fields.insert(field.second, field.first->text());
    fields.insert(QLatin1String(kIntervalKey), m_pRecordsPage->records_interval->value());
    ConsoleSession::SaveRecordFields(fields);
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
    const int node = ui.id_for_potentiometer->value();
    const ConsoleSession::CalcEntry entry = m_pSession->TakePoint(node, ui.Serial_number->text(), stage);
    if (entry.range == 0)
        return;
    ui.m_pSpinBox_calib_id->setValue(node);
    QDoubleSpinBox* const trueValues[] = { ui.doubleSpinBox_tvalue_1, ui.doubleSpinBox_tvalue_2,
                                           ui.doubleSpinBox_tvalue_3 };
    QDoubleSpinBox* const measured[] = { ui.doubleSpinBox_mvalue_1, ui.doubleSpinBox_mvalue_2,
                                         ui.doubleSpinBox_mvalue_3 };
    trueValues[entry.range - 1]->setValue(entry.trueValue);
    measured[entry.range - 1]->setValue(entry.measured);
}

void SetwiseDosegate::OnFinishCalibrationClicked()
{
    CalibrationBook::Conditions conditions;
    conditions.operatorName = RecordFieldText("operator");
    conditions.referenceSource = RecordFieldText("referenceSource");
    conditions.referenceCertificate = RecordFieldText("referenceCertificate");
    conditions.referenceUncertainty = RecordFieldText(kReferenceUncertaintyKey);
    conditions.temperature = RecordFieldText("temperature");
    conditions.pressure = RecordFieldText("pressure");
    conditions.humidity = RecordFieldText("humidity");
    conditions.laboratoryName = RecordFieldText("laboratoryName");
    conditions.laboratoryAddress = RecordFieldText("laboratoryAddress");
    conditions.customer = RecordFieldText("customer");
    conditions.place = RecordFieldText("place");
    conditions.measurand = RecordFieldText("measurand");
    conditions.procedure = RecordFieldText("procedure");
    conditions.traceability = RecordFieldText("traceability");
    if (!KeysDialog::AskPerformer(this, &conditions.performer))
        return;
    m_pSession->Finish(ui.id_for_potentiometer->value(), conditions);
}

// The decoder takes a coefficient reply only for the calibration page's id.
void SetwiseDosegate::FollowReadBack(int node)
{
    ui.m_pSpinBox_calib_id->setValue(node);
}

void SetwiseDosegate::ShowRecordWarning(const QString& title, const QString& text)
{
    QMessageBox::warning(this, title, text);
}

void SetwiseDosegate::ShowRecordsState()
{
    if (!m_pRecordsPage)
        return; // shown when the tab is first shown
    const int node = ui.id_for_potentiometer->value();
    m_pRecordsPage->open_calibration->setText(m_pSession->CalibrationSummary(node));
    m_pRecordsPage->finish_calibration_button->setEnabled(m_pSession->CalibrationOpen(node));
    // A loss stays in sight, in red, until someone accepts it.
    m_pRecordsPage->records_state->setStyleSheet(m_pSession->RecordsLost() ? QStringLiteral("color: #d02020;") : QString());
    m_pRecordsPage->records_state->setText(m_pSession->RecordsState());
    m_pRecordsPage->records_location->setText(m_pSession->RecordsPlaceText());
}

void SetwiseDosegate::OnRecordsLocalClicked()
{
    const QString why = m_pSession->ChooseServer(QString());
    if (!why.isEmpty())
        QMessageBox::warning(this, tr("Records"), why);
    ShowRecordsState();
}

// Asked again with what was typed until it is an address the console may
// keep, or the operator gives up.
void SetwiseDosegate::OnRecordsServerClicked()
{
    QString address = ConsoleSession::ChosenServer();
    for (;;) {
        bool ok = false;
        address = QInputDialog::getText(this, tr("Lab server"),
                                        tr("The lab's records server, postgresql://USER@HOST:PORT/DATABASE.\n"
                                           "The password comes from ~/.pgpass or PGPASSWORD, never from here.\n"
                                           "The records go there from the next start of the console."),
                                        QLineEdit::Normal, address, &ok);
        if (!ok)
            return;
        if (address.trimmed().isEmpty()) {
            QMessageBox::warning(this, tr("Lab server"),
                                 tr("No address given: the choice stays as it was. \"Use the local file\" "
                                    "keeps the records on this PC."));
            continue;
        }
        const QString why = m_pSession->ChooseServer(address);
        if (why.isEmpty())
            break;
        QMessageBox::warning(this, tr("Lab server"), why);
        address = RecordServer::Shown(address.trimmed()); // a refused password is not offered again
    }
    ShowRecordsState();
}

void SetwiseDosegate::ShowNodeCalibrations(const QModelIndex& current)
{
    const int node = m_pRegister->NodeAt(m_pRegisterSorted->mapToSource(current).row());
    m_pNodeCalibrations->SetNode(node);
    m_pRecordsPage->node_calibrations_caption->setText(node > 0 ? tr("Calibrations of node %1").arg(node) : QString());
    ShowCalibrationChoice();
}

void SetwiseDosegate::ShowCalibrationChoice()
{
    m_pRecordsPage->show_certificate_button->setEnabled(m_pRecordsPage->node_calibrations->currentIndex().isValid());
    m_pRecordsPage->issue_again_button->setEnabled(m_pRecordsPage->node_calibrations->currentIndex().isValid());
}

// The certificate that was issued, as it was issued; one is made only
// when there is none yet.
void SetwiseDosegate::OnShowCertificateClicked()
{
    const qint64 record = m_pNodeCalibrations->RecordAt(m_pRecordsPage->node_calibrations->currentIndex().row());
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
    const qint64 record = m_pNodeCalibrations->RecordAt(m_pRecordsPage->node_calibrations->currentIndex().row());
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
    if (m_pRecordsPage) {
        m_pRecordsPage->certificate_state->setText(
            tr("Certificate of record %1: %2").arg(record).arg(QDir::toNativeSeparators(path)));
    }
}

void SetwiseDosegate::ShowCertificateRefused(qint64 record, const QString& reason)
{
    if (m_pRecordsPage)
        m_pRecordsPage->certificate_state->setText(tr("No certificate for record %1: %2").arg(record).arg(reason));
    QMessageBox::warning(this, tr("Certificate refused"),
                         tr("No certificate is issued for record %1: %2.").arg(record).arg(reason));
}
