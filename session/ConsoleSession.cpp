#include "ConsoleSession.h"

#include "AlarmLevels.h"
#include "CalibrationApproval.h"
#include "CalibrationFigures.h"
#include "CalibrationProcedure.h"
#include "CalibrationRecord.h"
#include "CalibrationRegister.h"
#include "CertificateWriter.h"
#include "CommandEvents.h"
#include "FrameProtocol.h"
#include "Keyring.h"
#include "Log.h"
#include "NodeBoard.h"
#include "NodeCalibrations.h"
#include "Pacer.h"
#include "RecordServer.h"
#include "RecordStore.h"
#include "RecordVerifier.h"
#include "RecordWriter.h"
#include "RunJournal.h"
#include "SigningKey.h"
#include "TcpSocket.h"
#include "WatchRequests.h"
#include "WriteDataFrame.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonArray>
#include <QMetaEnum>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpSocket>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kFigureMs = 40;
const char* const kFieldsGroup = "records";
const char* const kServerField = "server";
const char* const kNodeSamples[] = { "888", "8888.8888", "", "88888", "8888.8888", "8888.8888",
                                     "8888.8888", "", "8888.8888", "" };

} // namespace

ConsoleSession::ConsoleSession(QObject* parent)
    : QObject(parent)
    , m_sRecordsLocation(RecordsLocation())
    , m_sNextLocation(m_sRecordsLocation)
    , m_pJournal(new RunJournal(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                                    + QStringLiteral("/runs"),
                                this))
    , m_pFigurePacer(new Pacer(kFigureMs, this))
    , m_pFigures(new CalibrationFigures(this))
    , m_pRecords(new RecordStore(this))
    , m_pRecordWriter(new RecordWriter(this))
    , m_pRecordVerifier(new RecordVerifier(m_sRecordsLocation, this))
    , m_pEvents(new CommandEvents(m_pRecordWriter, this))
    , m_pBook(new CalibrationBook(m_pRecords, m_pRecordWriter, this))
    , m_pCertificates(nullptr)
    , m_pRegister(nullptr)
    , m_pNodeCalibrations(nullptr)
    , m_pProcedure(nullptr)
    , m_pAlarmLevels(std::make_unique<AlarmLevels>(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
                                                   + QStringLiteral("/alarm-levels.ini")))
    , m_pNodeBoard(nullptr)
    , m_pWatchRequests(nullptr)
{
    // Connected before the store opens, since the writer's thread may be
    // quicker than this one.
    connect(m_pRecordWriter, SIGNAL(StateChanged()), this, SIGNAL(RecordsChanged()));
    connect(m_pRecordWriter, SIGNAL(Opened()), m_pRecordVerifier, SLOT(Start()));
    connect(m_pFigures, SIGNAL(MeanChanged(double, double, double)), this, SLOT(TakeMean(double, double, double)));
    m_pProcedure = new CalibrationProcedure(this);
    connect(m_pRecordWriter, SIGNAL(Opened()), this, SLOT(ReopenProcedure()));
    m_pRecordWriter->Open(m_sRecordsLocation, m_pRecords);
    m_pCertificates = new CertificateWriter(m_pRecords, this);
    m_pRegister = new CalibrationRegister(m_pRecords, this);
    m_pNodeCalibrations = new NodeCalibrations(m_pRecords, this);
    m_pNodeBoard = new NodeBoard(m_pAlarmLevels.get(), this);
    m_pWatchRequests = new WatchRequests(this);
    m_pNodeBoard->KnowNodesOf(m_pRegister, CalibrationRegister::ColumnNode);
    m_pEvents->SetArrivalClock([this] { return ArrivalMs(); });
    ConnectRecords();
}

ConsoleSession::~ConsoleSession() = default;

void ConsoleSession::ConnectRecords()
{
    connect(m_pBook, SIGNAL(ReadBackRequested(int)), this, SLOT(ReadCoefficientsBack(int)));
    connect(m_pBook, SIGNAL(Warning(QString, QString)), this, SIGNAL(Warning(QString, QString)));
    connect(m_pBook, SIGNAL(Changed(int)), this, SIGNAL(RecordsChanged()));
    connect(m_pRecords, SIGNAL(StateChanged()), this, SIGNAL(RecordsChanged()));
    // A certificate then checks only the rows after the ones found intact.
    connect(m_pRecordWriter, SIGNAL(Written(qint64, qint64, qint64)), this, SIGNAL(RecordsChanged()));
    connect(m_pRecordWriter, SIGNAL(Written(qint64, qint64, qint64)), m_pBook,
            SLOT(RowsWritten(qint64, qint64, qint64)));
    connect(m_pRecordWriter, SIGNAL(NotWritten(qint64, qint64, QString)), m_pBook,
            SLOT(RowsNotWritten(qint64, qint64, QString)));
    connect(m_pNodeBoard, SIGNAL(StatesChanged(QVector<int>, QVector<int>)), this,
            SLOT(RecordNodeState(QVector<int>, QVector<int>)));
    connect(m_pBook, SIGNAL(Finished(int, qint64)), m_pCertificates, SLOT(Issue(int, qint64)));
    connect(m_pBook, SIGNAL(Finished(int, qint64)), m_pProcedure, SLOT(RecordWritten(int)));
    connect(m_pProcedure, SIGNAL(ReadBackRequested(int)), this, SLOT(ReadCoefficientsBack(int)));
    connect(m_pProcedure, SIGNAL(StepChanged(int)), this, SLOT(KeepProcedure()));
    connect(m_pProcedure, SIGNAL(PointTaken(int, int)), this, SLOT(KeepProcedure()));
    connect(m_pProcedure, SIGNAL(StepFinished(int)), this, SLOT(KeepProcedure()));
    connect(m_pProcedure, SIGNAL(StateChanged()), this, SLOT(KeepProcedure()));
    connect(m_pRecords, SIGNAL(StateChanged()), m_pRegister, SLOT(Update()));
    connect(m_pRecords, SIGNAL(StateChanged()), m_pNodeCalibrations, SLOT(Update()));
    connect(m_pRecordWriter, SIGNAL(Written(qint64, qint64, qint64)), m_pRegister, SLOT(Update()));
    connect(m_pRecordWriter, SIGNAL(Written(qint64, qint64, qint64)), m_pNodeCalibrations, SLOT(Update()));
    connect(m_pWatchRequests, SIGNAL(RequestDue()), this, SIGNAL(RequestDue()));
    // After the register's update: the certificate's state follows the row.
    connect(m_pRecordWriter, SIGNAL(Written(qint64, qint64, qint64)), this,
            SLOT(DecisionsWritten(qint64, qint64, qint64)));
    connect(m_pRecordWriter, SIGNAL(NotWritten(qint64, qint64, QString)), this,
            SLOT(DecisionsNotWritten(qint64, qint64, QString)));
    connect(m_pWatchRequests, SIGNAL(RequestingChanged(bool)), m_pNodeBoard, SLOT(SetRequesting(bool)));
}

// A reply is kept as it arrives, stamped with its arrival, in wire order,
// before anything waits for the operator.
void ConsoleSession::AttachLink(TcpSocket* socket, WriteDataFrame* encoder)
{
    m_pSocket = socket;
    m_pEncoder = encoder;
    connect(encoder, SIGNAL(CommandSent(int, int, QByteArray)), m_pEvents, SLOT(CommandSent(int, int, QByteArray)));
    connect(encoder, SIGNAL(CommandSent(int, int, QByteArray)), m_pBook, SLOT(CommandSent(int, int, QByteArray)));
    connect(encoder, SIGNAL(CommandSent(int, int, QByteArray)), m_pProcedure,
            SLOT(CommandSent(int, int, QByteArray)));
    connect(socket, SIGNAL(AnalyticalFinished(int, int, int)), this, SLOT(TakeReply(int, int, int)));
    connect(socket, SIGNAL(CountDoseSignl(int, int)), m_pNodeBoard, SLOT(TakeDoseCount(int, int)));
    connect(socket->GetSocket(), SIGNAL(connected()), this, SLOT(OnLinkUp()));
}

void ConsoleSession::TakeReply(int id, int y, int x)
{
    m_pEvents->Acknowledged(id, y, x);
    emit ReplyArrived(id, y, x);
    m_pNodeBoard->TakeReply(id, y, x);
    m_pBook->Acknowledged(id, y, x);
    m_pProcedure->Acknowledged(id, y, x);
}

qint64 ConsoleSession::ArrivalMs() const
{
    const qint64 arrival = m_pSocket ? m_pSocket->RelayedArrivalMs() : -1;
    return arrival >= 0 ? arrival : QDateTime::currentMSecsSinceEpoch();
}

QAbstractItemModel* ConsoleSession::NodeModel() const
{
    return m_pNodeBoard;
}

int ConsoleSession::NodeTrendColumn()
{
    return NodeBoard::ColumnTrend;
}

int ConsoleSession::NodeTrendRole()
{
    return NodeBoard::TrendRole;
}

// The age and the state depend on the language.
QStringList ConsoleSession::NodeColumnSamples(int column)
{
    switch (column) {
    case NodeBoard::ColumnAge:
        return { NodeBoard::tr("%1 s ago").arg(88), NodeBoard::tr("%1 min ago").arg(888),
                 NodeBoard::tr("%1 h ago").arg(888) };
    case NodeBoard::ColumnState:
        return { NodeBoard::tr("live"), NodeBoard::tr("stale"), QStringLiteral("\u2715 ") + NodeBoard::tr("lost"),
                 QStringLiteral("\u25B2 ") + NodeBoard::tr("above alarm"), NodeBoard::tr("not heard since start") };
    default:
        return { QLatin1String(kNodeSamples[column]) };
    }
}

QString ConsoleSession::SettingsPath()
{
    return RecordStore::SettingsPath();
}

void ConsoleSession::AcceptCount(int id, int count)
{
    AcceptReading(m_run.Accept(id, count, float(FrameProtocol::DoseOfCount(count)), ArrivalMs()));
}

bool ConsoleSession::HoldMinimumAverageNumber()
{
    if (m_pFigures->AverageNumber() >= kMinAverageNumber)
        return false;
    m_pFigures->SetAverageNumber(kMinAverageNumber);
    return true;
}

void ConsoleSession::RestartAveraging()
{
    m_pFigurePacer->Flush();
    m_pFigures->RestartAveraging();
    m_report.ClearFigures();
}

void ConsoleSession::RestartRun()
{
    m_run.Restart();
    m_report.Restart();
    m_trend.Clear();
    m_pJournal->Restart();
}

bool ConsoleSession::TakeRow(QStringList* pTexts)
{
    float reading = 0;
    int number = 0;
    if (!m_run.TakeRow(&reading, &number))
        return false;
    *pTexts = m_report.AddRow(m_clock.Now(), reading, number);
    return true;
}

void ConsoleSession::MarkStep(const QString& mark)
{
    m_report.MarkStep(mark);
    m_trend.MarkStep();
}

void ConsoleSession::TakeMean(double mean, double low, double high)
{
    m_trend.AddMean(mean, low, high);
}

CalibrationFigures::Result ConsoleSession::EvaluateFigures(const CalibrationFigures::Inputs& inputs)
{
    const CalibrationFigures::Result result = m_pFigures->Evaluate(inputs);
    m_report.TakeFigures(result);
    return result;
}

ReportExport::Statistics ConsoleSession::ReportStatistics(const QString& typedTrueValue,
                                                          const QString& typedBackground)
{
    return m_report.Statistics(typedTrueValue, typedBackground, m_pFigures->LastInputs(), m_pFigures->LastResult(),
                               m_clock.Now());
}

void ConsoleSession::AcceptReading(const Reading& reading)
{
    m_pJournal->Append(reading);
    m_trend.AddReading(double(reading.value));
    emit ReadingAccepted(reading);
    m_pFigures->AddReading(reading);
    m_pProcedure->AddReading(reading);
}

void ConsoleSession::TakeCoefficients(int id, double c1, double c2, double c3)
{
    m_pEvents->CoefficientsRead(id, c1, c2, c3);
    m_pBook->CoefficientsRead(id, c1, c2, c3);
    m_pProcedure->CoefficientsRead(id, c1, c2, c3);
}

// The whole state as it stands after a step or a point, so that a crash
// loses at most the run under way.
void ConsoleSession::KeepProcedure()
{
    if (m_pProcedure->CurrentStep() == CalibrationProcedure::Item)
        return;
    QJsonObject state;
    m_pProcedure->Write(state);
    if (state == m_procedureKept)
        return;
    m_procedureKept = state;
    m_pRecordWriter->Append(QLatin1String(CalibrationProcedure::kRecordKind), m_pProcedure->ItemIdentity().node,
                            state);
}

// The book holds its calibrations in memory: it is given the kept
// coefficients again before the points. The node is not asked what it holds
// now: after a Set that is no longer what was found.
void ConsoleSession::ReopenProcedure()
{
    if (!m_pRecords->IsOpen() || m_pProcedure->CurrentStep() != CalibrationProcedure::Item)
        return;
    const QVector<RecordStore::Row> rows = m_pRecords->Rows(QLatin1String(CalibrationProcedure::kRecordKind));
    if (rows.isEmpty())
        return;
    const QJsonObject state = QJsonDocument::fromJson(rows.constLast().content).object();
    if (state.value(QStringLiteral("finished")).toBool() || state.value(QStringLiteral("step")).toString() == QLatin1String("done")
        || !m_pProcedure->Read(state))
        return;
    m_procedureKept = state;
    const CalibrationProcedure::Identity& item = m_pProcedure->ItemIdentity();
    if (!m_pProcedure->AsFoundCoefficients().isEmpty() || !m_pProcedure->WrittenCoefficients().isEmpty()) {
        QJsonObject kept { { CalibrationRecord::kAsFoundCoefficients, m_pProcedure->AsFoundCoefficients() } };
        if (!m_pProcedure->WrittenCoefficients().isEmpty()) {
            QJsonObject adjustment { { CalibrationRecord::kWritten, m_pProcedure->WrittenCoefficients() } };
            if (!m_pProcedure->ReadBackCoefficients().isEmpty()) {
                adjustment.insert(CalibrationRecord::kReadBack, m_pProcedure->ReadBackCoefficients());
                adjustment.insert(CalibrationRecord::kReadBackMatches, state.value(QStringLiteral("adjusted")).toBool());
            }
            kept.insert(CalibrationRecord::kAdjustments, QJsonArray { adjustment });
        }
        m_pBook->Resume(item.node, item.serial, kept);
    }
    emit ProcedureReopened(state);
}

ConsoleSession::CalcEntry ConsoleSession::TakeProcedurePoint(int step, int point)
{
    CalcEntry entry;
    const bool found = step == CalibrationProcedure::AsFound;
    const auto& taken = found ? m_pProcedure->AsFoundPoints() : m_pProcedure->AsLeftPoints();
    if (point < 0 || point >= taken.size())
        return entry;
    const CalibrationBook::Point kept = m_pProcedure->BookPoint(taken[point], point);
    const CalibrationProcedure::Identity& item = m_pProcedure->ItemIdentity();
    m_pBook->AddPoint(item.node, item.serial, found ? CalibrationBook::AsFound : CalibrationBook::AsLeft, kept);
    entry.node = item.node;
    if (!found || !std::isfinite(kept.trueValue))
        return entry;
    entry.range = RangeOf(kept.trueValue);
    entry.trueValue = kept.trueValue;
    entry.measured = kept.mean - kept.background;
    return entry;
}

int ConsoleSession::RangeOf(double trueValue)
{
    return CalibrationBook::RangeOf(trueValue);
}

// The decoder takes a coefficient reply only for the calibration page's id.
void ConsoleSession::ReadCoefficientsBack(int node)
{
    emit ReadBackStarting(node);
    if (m_pEncoder)
        m_pEncoder->GetCalibrationCoefficients(node);
}

ConsoleSession::CalcEntry ConsoleSession::TakePoint(int node, const QString& serial, CalibrationBook::Stage stage)
{
    const CalibrationBook::Point point =
        CalibrationBook::PointOf(m_pFigures->LastInputs(), m_pFigures->LastResult(),
                                 QDir::toNativeSeparators(m_pJournal->Path()), m_pJournal->LastLine());
    m_pBook->AddPoint(node, serial, stage, point);
    CalcEntry entry;
    entry.node = node;
    if (stage != CalibrationBook::AsFound || !std::isfinite(point.trueValue))
        return entry;
    entry.range = CalibrationBook::RangeOf(point.trueValue);
    entry.trueValue = point.trueValue;
    entry.measured = point.mean - point.background;
    return entry;
}

// The procedure's item, when it is the one being finished, names what the
// records tab cannot: the item's maker and model, and its own customer and
// place over the tab's.
bool ConsoleSession::Finish(int node, const CalibrationBook::Conditions& typed)
{
    CalibrationBook::Conditions conditions = typed;
    const CalibrationProcedure::Identity& item = m_pProcedure->ItemIdentity();
    const QString serial = m_pBook->Calibration(node).value(CalibrationRecord::kSerial).toString();
    if (item.node == node && !item.serial.isEmpty() && item.serial == serial) {
        conditions.manufacturer = item.manufacturer;
        conditions.model = item.model;
        QStringList customer;
        for (const QString& part : { item.customerName, item.customerAddress })
            if (!part.trimmed().isEmpty())
                customer << part.trimmed();
        if (!customer.isEmpty())
            conditions.customer = customer.join(QStringLiteral(", "));
        if (!item.place.trimmed().isEmpty())
            conditions.place = item.place.trimmed();
    }
    return m_pBook->Finish(node, conditions);
}

double ConsoleSession::Coefficient(int node, int range, double trueValue, double measured, double current,
                                   double lowest, double highest)
{
    const float coefficient = float(trueValue / measured * current);
    if (coefficient >= lowest && coefficient <= highest)
        return coefficient;
    if (std::isnan(coefficient)) // no figure to clamp: the field shows what it makes of it
        return coefficient;
    const double held = coefficient < lowest ? lowest : highest;
    m_pBook->CoefficientClamped(node, range, coefficient, held);
    return held;
}

void ConsoleSession::ThresholdSent(int id, double threshold)
{
    m_pNodeBoard->ThresholdSent(id, threshold);
}

QString ConsoleSession::FieldsPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("records-fields.ini"));
}

QVariant ConsoleSession::RecordField(const QString& name, const QVariant& otherwise)
{
    const QString key = QLatin1String(kFieldsGroup) + QLatin1Char('/') + name;
    const QVariant kept = QSettings(FieldsPath(), QSettings::IniFormat).value(key);
    return kept.isValid() ? kept : QSettings(SettingsPath(), QSettings::IniFormat).value(key, otherwise);
}

void ConsoleSession::SaveRecordFields(const QVariantMap& fields)
{
    QSettings settings(FieldsPath(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kFieldsGroup));
    for (auto field = fields.cbegin(); field != fields.cend(); ++field)
        settings.setValue(field.key(), field.value());
}

QString ConsoleSession::RecordsLocation()
{
    if (RecordStore::LocationGiven())
        return RecordStore::Location();
    const QString chosen = ChosenServer();
    if (chosen.isEmpty())
        return RecordStore::DefaultPath();
    // Only an address edited by hand gets here; its rows are not lost, they
    // go to the console's own file, which the records tab names.
    if (RecordServer::FaultOf(chosen) != RecordServer::NoFault) {
        LogPrint(LOG_WARNING, "records: the lab server kept in %s is not used: %s\n",
                 qPrintable(QDir::toNativeSeparators(FieldsPath())), qPrintable(RecordServer::Shown(chosen)));
        return RecordStore::DefaultPath();
    }
    return chosen;
}

QString ConsoleSession::ChosenServer()
{
    return RecordField(QLatin1String(kServerField), QString()).toString();
}

// The password stays in ~/.pgpass or PGPASSWORD: an address holding one is
// never written to the settings.
QString ConsoleSession::ChooseServer(const QString& location)
{
    const QString address = location.trimmed();
    if (!address.isEmpty()) {
        switch (RecordServer::FaultOf(address)) {
        case RecordServer::NotAnAddress:
            return tr("'%1' is not a lab server's address: postgresql://USER@HOST:PORT/DATABASE")
                .arg(RecordServer::Shown(address));
        case RecordServer::HoldsPassword:
            return tr("%1 holds a password, which the console never keeps: it belongs in ~/.pgpass or PGPASSWORD.")
                .arg(RecordServer::Shown(address));
        case RecordServer::NoFault:
            break;
        }
    }
    QSettings settings(FieldsPath(), QSettings::IniFormat);
    settings.setValue(QLatin1String(kFieldsGroup) + QLatin1Char('/') + QLatin1String(kServerField), address);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return tr("The choice could not be kept in %1.").arg(QDir::toNativeSeparators(FieldsPath()));
    m_sNextLocation = address.isEmpty() ? RecordStore::DefaultPath() : address;
    return QString();
}

QString ConsoleSession::RecordsPlaceText() const
{
    const auto place = [](const QString& location) {
        return RecordServer::IsServer(location) ? tr("the lab server %1").arg(RecordServer::Shown(location))
                                                : tr("the local file %1").arg(QDir::toNativeSeparators(location));
    };
    const QString now = place(m_sRecordsLocation);
    if (RecordStore::LocationGiven())
        return tr("Records of this run: %1, as --records names it; it wins over the choice made here.").arg(now);
    if (m_sNextLocation == m_sRecordsLocation)
        return tr("Records of this run: %1.").arg(now);
    return tr("Records of this run: %1. From the next start: %2.").arg(now, place(m_sNextLocation));
}

qint64 ConsoleSession::NewestRecord() const
{
    return m_pRecords->IsOpen() ? m_pRecords->Newest() : 0;
}

QString ConsoleSession::KeyringPath() const
{
    return Keyring::BesideStore(m_pRecordWriter->Path());
}

QString ConsoleSession::Decide(qint64 record, std::shared_ptr<const SigningKey> key, bool approve,
                               const QString& reason)
{
    if (!key)
        return tr("no key was given");
    if (!m_pRecords->IsOpen())
        return RecordsState();
    // A second decision queued behind the first would pass the check below,
    // which sees only the rows written.
    if (std::find(m_mapDeciding.cbegin(), m_mapDeciding.cend(), record) != m_mapDeciding.cend())
        return tr("a decision on record %1 is still being written").arg(record);
    Keyring keyring;
    QString why = keyring.Load(KeyringPath());
    const RecordStore::Row calibration = m_pRecords->RowAt(record);
    if (why.isEmpty() && calibration.seq != record)
        why = tr("there is no record %1").arg(record);
    if (why.isEmpty())
        why = CalibrationApproval::Refusal(*m_pRecords, calibration, *key, keyring, approve, reason);
    if (!why.isEmpty())
        return why;
    RecordWriter::Entry entry;
    entry.kind = QLatin1String(CalibrationApproval::kKind);
    entry.node = calibration.node;
    entry.content = CalibrationApproval::Content(calibration, *key, approve, reason);
    entry.signer = std::move(key);
    m_mapDeciding.insert(m_pRecordWriter->Append(QVector<RecordWriter::Entry> { entry }), record);
    emit DecisionSaid(record, approve ? tr("Approving record %1...").arg(record) : tr("Rejecting record %1...").arg(record));
    return QString();
}

// Taken before anything is said: whoever hears may decide again.
QVector<qint64> ConsoleSession::TakeDecisions(qint64 firstTicket, qint64 lastTicket)
{
    QVector<qint64> records;
    for (auto at = m_mapDeciding.lowerBound(firstTicket); at != m_mapDeciding.end() && at.key() <= lastTicket;) {
        records << at.value();
        at = m_mapDeciding.erase(at);
    }
    return records;
}

// Once the decision is in the store, the certificate is made from it.
void ConsoleSession::DecisionsWritten(qint64 firstTicket, qint64 lastTicket, qint64 /*lastSeq*/)
{
    for (qint64 record : TakeDecisions(firstTicket, lastTicket)) {
        const CertificateWriter::Outcome outcome = m_pCertificates->Write(record);
        if (!outcome.Written())
            emit DecisionSaid(record, tr("Decided, but no certificate was written: %1").arg(outcome.error));
        else if (outcome.draft)
            emit DecisionSaid(record, tr("Record %1 is rejected; its certificate stays a draft.").arg(record));
        else
            emit DecisionSaid(record, tr("Record %1 is approved; certificate issued: %2")
                                          .arg(record)
                                          .arg(QDir::toNativeSeparators(outcome.path)));
    }
}

void ConsoleSession::DecisionsNotWritten(qint64 firstTicket, qint64 lastTicket, const QString& why)
{
    for (qint64 record : TakeDecisions(firstTicket, lastTicket))
        emit DecisionSaid(record, tr("The decision on record %1 was not written: %2. Decide again once the records "
                                     "can be written.")
                                      .arg(record)
                                      .arg(why));
}

bool ConsoleSession::ToleranceLimits(double trueValue, double tolerance, float* pUpper, float* pLower)
{
    *pUpper = float(trueValue + trueValue * (tolerance / 100.0));
    *pLower = float(trueValue - trueValue * (tolerance / 100.0));
    return std::isfinite(*pUpper) && std::isfinite(*pLower);
}

QString ConsoleSession::CalibrationSummary(int node) const
{
    return m_pBook->Summary(node);
}

bool ConsoleSession::CalibrationOpen(int node) const
{
    return m_pBook->IsOpen(node);
}

bool ConsoleSession::RecordsLost() const
{
    return m_pRecords->IsOpen() && !m_pRecords->Loss().isEmpty();
}

// A loss stays in sight until someone accepts it.
QString ConsoleSession::RecordsState() const
{
    const QString where = QDir::toNativeSeparators(m_pRecordWriter->Path());
    const QString error = m_pRecordWriter->Error();
    const QString loss = m_pRecords->IsOpen() ? m_pRecords->Loss() : QString();
    if (m_pRecordWriter->IsWaiting() && RecordServer::IsServer(m_pRecordWriter->Path()))
        return tr("%1 records waiting for the lab server").arg(m_pRecordWriter->Outboxed() + m_pRecordWriter->Queued());
    if (m_pRecordWriter->IsWaiting())
        return tr("Records in %1: waiting for the store, held by another console").arg(where);
    if (!m_pRecordWriter->IsOpen() && error.isEmpty())
        return tr("Records in %1: opening the store").arg(where);
    if (!m_pRecordWriter->IsOpen())
        return tr("Records are not kept: %1").arg(error);
    if (!loss.isEmpty())
        return tr("Records in %1 have lost rows: %2. New rows are held in %3 (%4 so far) until "
                  "the loss is accepted: dosegate-console --accept-loss NAME")
            .arg(where, loss, QDir::toNativeSeparators(RecordStore::HeldPath(m_pRecordWriter->Path())))
            .arg(m_pRecords->HeldCount());
    if (!error.isEmpty())
        return tr("Records in %1; the last one could not be written: %2").arg(where, error);
    return tr("Records in %1, rows kept: %2").arg(where).arg(m_pRecordWriter->Rows());
}

// Kept by the state's name in the code, which no translation changes; a
// refresh's changes are written together.
void ConsoleSession::RecordNodeState(const QVector<int>& ids, const QVector<int>& states)
{
    QStringList names;
    for (int state : states)
        names << QString::fromLatin1(QMetaEnum::fromType<NodeBoard::State>().valueToKey(state));
    m_pEvents->NodeStatesChanged(ids, names);
}

void ConsoleSession::OnLinkUp()
{
    const QTcpSocket* socket = m_pSocket->GetSocket();
    m_pNodeBoard->SetController(QStringLiteral("%1:%2").arg(socket->peerName()).arg(socket->peerPort()));
}

void ConsoleSession::SetWatching(bool watching)
{
    m_pWatchRequests->SetWatching(watching);
}

void ConsoleSession::SetRunActive(bool active)
{
    m_pWatchRequests->SetRunActive(active);
}

void ConsoleSession::NoteRunRequest()
{
    m_pWatchRequests->NoteRunRequest();
}
