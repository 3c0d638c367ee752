#include "CalibrationBook.h"

#include "CommandEvents.h"
#include "FrameProtocol.h"
#include "RecordStore.h"
#include "RecordWriter.h"
#include "SigningKey.h"
#include "TypedFigure.h"

#include <QCoreApplication>
#include <QSet>

#include <cmath>

namespace {

constexpr double kRange1Limit = 200.0;  // μSv/h
constexpr double kRange2Limit = 1000.0; // μSv/h, 1 mSv/h

// The names of the parameter triples, in the order of the form's type list.
const char* const kDetectorTypeNames[] = { "DT-B", "DT-C", "DT-D", "DT-A" };
static_assert(sizeof kDetectorTypeNames / sizeof *kDetectorTypeNames == FrameProtocol::kDetectorTypeCount,
              "a name for every detector type");

// Figures are kept as decimal text one digit finer than they are shown, so
// that a record holds what the technician saw and not a float's noise.
constexpr int kRateDecimals = 4;
constexpr int kPercentDecimals = 2;

QJsonValue Figure(double value, int shownDecimals)
{
    return std::isfinite(value) ? QJsonValue(TypedFigure::Kept(value, shownDecimals)) : QJsonValue(QJsonValue::Null);
}

// What was typed, as short as it reads.
QJsonValue Typed(double value)
{
    return std::isfinite(value) ? QJsonValue(QString::number(value, 'g', 10)) : QJsonValue(QJsonValue::Null);
}

QJsonValue DegreesOfFreedom(double value)
{
    if (std::isnan(value))
        return QJsonValue(QJsonValue::Null);
    return std::isinf(value) ? QStringLiteral("inf") : QString::number(value, 'f', 0);
}

using Record = CalibrationRecord;

QString Coefficients(const QJsonArray& values)
{
    QStringList texts;
    for (const QJsonValue& value : values)
        texts << QString::number(value.toDouble(), 'f', 4);
    return texts.join(QStringLiteral(", "));
}

} // namespace

CalibrationBook::CalibrationBook(RecordStore* pStore, RecordWriter* pWriter, QObject* parent)
    : QObject(parent)
    , m_pStore(pStore)
    , m_pWriter(pWriter)
{
}

int CalibrationBook::RangeOf(double trueValue)
{
    return trueValue < kRange1Limit ? 1 : trueValue <= kRange2Limit ? 2 : 3;
}

CalibrationBook::Point CalibrationBook::PointOf(const CalibrationFigures::Inputs& inputs,
                                                const CalibrationFigures::Result& figures, const QString& journal,
                                                int lastLine)
{
    Point point;
    point.trueValue = inputs.trueValue;
    point.background = inputs.background;
    point.referenceUncertainty = inputs.referenceUncertainty;
    point.n = figures.n;
    point.mean = figures.mean;
    point.standardDeviation = figures.standardDeviation;
    point.error = figures.error;
    point.expandedUncertainty = figures.expandedUncertainty;
    point.coverageFactor = figures.coverageFactor;
    point.tolerance = inputs.tolerance;
    point.rule = CalibrationFigures::RuleKey(inputs.rule);
    point.verdict = CalibrationFigures::VerdictKey(figures.verdict);
    point.backgroundUncertainty = inputs.backgroundUncertainty;
    point.backgroundDegreesOfFreedom = inputs.backgroundDegreesOfFreedom;
    point.standardUncertainty = figures.standardUncertainty;
    point.degreesOfFreedom = figures.degreesOfFreedom;
    point.factorUncertainty = figures.factorUncertainty;
    point.decisionThreshold = figures.decisionThreshold;
    point.detectionLimit = figures.detectionLimit;
    point.probabilityWithin = figures.probabilityWithin;
    for (const CalibrationFigures::Contribution& term : figures.budget) {
        const bool rate = term.unit != QLatin1String("%");
        point.budget.append({ term.name, term.distribution,
                              Figure(term.u, rate ? kRateDecimals + 1 : kPercentDecimals + 1), term.unit,
                              Figure(term.contribution, kPercentDecimals + 1),
                              DegreesOfFreedom(term.degreesOfFreedom) });
    }
    point.remarks = CalibrationFigures::Remarks(inputs, figures, false);
    point.journal = journal;
    if (!journal.isEmpty()) {
        point.lastLine = lastLine;
        point.firstLine = qMax(2, lastLine - figures.n + 1); // line 1 is the header
    }
    return point;
}

QString CalibrationBook::StageName(Stage stage)
{
    return stage == AsFound ? Record::kAsFound : Record::kAsLeft;
}

QString CalibrationBook::Summary(int node) const
{
    if (!m_mapOpen.contains(node))
        return tr("Node %1: no calibration open").arg(node);
    QStringList points;
    for (const Record::Point& p : m_mapOpen[node].points)
        points << (p.AsLeft() ? tr("as left in range %1").arg(p.range) : tr("as found in range %1").arg(p.range));
    return tr("Node %1, points so far: %2").arg(node).arg(points.join(QStringLiteral(", ")));
}

QJsonObject CalibrationBook::Calibration(int node) const
{
    if (!m_mapOpen.contains(node))
        return QJsonObject();
    return m_mapOpen[node].toJson();
}

void CalibrationBook::Resume(int node, const QString& serial, const QJsonObject& kept)
{
    if (m_mapOpen.contains(node))
        return;
    const QJsonArray asFoundCoefficients = kept.value(Record::kAsFoundCoefficients).toArray();
    Open open;
    open.node = node;
    open.opened = RecordStore::Now();
    open.console = QCoreApplication::applicationVersion();
    if (!asFoundCoefficients.isEmpty())
        open.asFoundCoefficients = asFoundCoefficients;
    if (!serial.trimmed().isEmpty())
        open.serial = serial.trimmed();
    for (const QJsonValue& value : kept.value(Record::kAdjustments).toArray()) {
        Record::Adjustment adjustment;
        if (Record::Adjustment::fromJson(value, &adjustment))
            open.adjustments.append(adjustment);
    }
    m_mapOpen.insert(node, open);
    m_mapExpected[node].awaiting = Awaiting::Nothing;
    emit Changed(node);
}

void CalibrationBook::AddPoint(int node, const QString& serial, Stage stage, const Point& point)
{
    if (!m_mapOpen.contains(node)) {
        Open open;
        open.node = node;
        open.opened = RecordStore::Now();
        open.console = QCoreApplication::applicationVersion();
        m_mapOpen.insert(node, open);
        m_mapExpected[node].awaiting = Awaiting::AsFound;
        emit ReadBackRequested(node);
    }
    Open& open = m_mapOpen[node];
    if (!serial.trimmed().isEmpty())
        open.serial = serial.trimmed();
    Record::Point kept;
    kept.stage = StageName(stage);
    kept.range = RangeOf(point.trueValue);
    kept.time = RecordStore::Now();
    kept.trueValue = Typed(point.trueValue);
    kept.background = Typed(point.background);
    kept.backgroundUncertainty = Typed(point.backgroundUncertainty);
    kept.backgroundDegreesOfFreedom = DegreesOfFreedom(point.backgroundDegreesOfFreedom);
    kept.referenceUncertainty = Typed(point.referenceUncertainty);
    kept.n = point.n;
    kept.mean = Figure(point.mean, kRateDecimals);
    kept.standardDeviation = Figure(point.standardDeviation, kRateDecimals);
    kept.error = Figure(point.error, kPercentDecimals);
    kept.standardUncertainty = Figure(point.standardUncertainty, kPercentDecimals);
    kept.degreesOfFreedom = DegreesOfFreedom(point.degreesOfFreedom);
    kept.expandedUncertainty = Figure(point.expandedUncertainty, kPercentDecimals);
    kept.coverageFactor = Figure(point.coverageFactor, kPercentDecimals);
    kept.factorExpandedUncertainty = Figure(point.factorUncertainty, kPercentDecimals);
    kept.decisionThreshold = Figure(point.decisionThreshold, kRateDecimals);
    kept.detectionLimit = Figure(point.detectionLimit, kRateDecimals);
    kept.probabilityWithin = Figure(point.probabilityWithin * 100.0, 1);
    kept.budget = point.budget;
    kept.remarks = point.remarks;
    kept.tolerance = Typed(point.tolerance);
    kept.rule = point.rule;
    kept.verdict = point.verdict;
    kept.journal = point.journal;
    kept.firstLine = point.firstLine;
    kept.lastLine = point.lastLine;
    open.points.append(kept);
    emit Changed(node);
}

void CalibrationBook::CoefficientClamped(int node, int range, double computed, double clamped)
{
    Warn(node, QT_TR_NOOP("Coefficient out of range"),
         QT_TR_NOOP("Range %1: the computed coefficient %2 lies outside 0.0001 to 5. The field holds %3, and Set "
                    "would write that to node %4."),
         { QString::number(range), QString::number(computed, 'g', 6), QString::number(clamped, 'f', 4),
           QString::number(node) });
}

void CalibrationBook::CommandSent(int code, int target, const QByteArray& frame)
{
    if (code != FrameProtocol::CmdSetCalibrationCoefficients)
        return;
    const int node = target;
    Expected& expected = m_mapExpected[node];
    expected.written = CommandEvents::Describe(code, frame).value(QStringLiteral("coefficients")).toArray();
    if (m_mapOpen.contains(node)) {
        Record::Adjustment adjustment;
        adjustment.time = RecordStore::Now();
        adjustment.written = expected.written;
        m_mapOpen[node].adjustments.append(adjustment);
        emit Changed(node);
    }
}

// The node's word that it took the coefficients is checked against what it
// holds, once.
void CalibrationBook::Acknowledged(int id, int /*y*/, int x)
{
    if (x != FrameProtocol::ReplyCoefficients || !m_mapExpected.contains(id) || m_mapExpected[id].written.isEmpty())
        return;
    m_mapExpected[id].awaiting = Awaiting::AfterSet;
    if (m_mapOpen.contains(id) && !m_mapOpen[id].adjustments.isEmpty())
        m_mapOpen[id].adjustments.last().acknowledged = true;
    emit ReadBackRequested(id);
}

void CalibrationBook::CoefficientsRead(int id, double c1, double c2, double c3)
{
    if (!m_mapExpected.contains(id))
        return;
    const QJsonArray read { c1, c2, c3 };
    switch (m_mapExpected[id].awaiting) {
    case Awaiting::AsFound:
        if (m_mapOpen.contains(id))
            m_mapOpen[id].asFoundCoefficients = read;
        break;
    case Awaiting::AfterSet:
        CheckReadBack(id, read);
        break;
    case Awaiting::Nothing:
        return;
    }
    m_mapExpected[id].awaiting = Awaiting::Nothing;
    emit Changed(id);
}

// Compared at the four decimals the node keeps.
void CalibrationBook::CheckReadBack(int node, const QJsonArray& read)
{
    const QJsonArray written = m_mapExpected[node].written;
    bool same = read.size() == written.size();
    const auto units = [](const QJsonValue& value) {
        return std::llround(value.toDouble() * FrameProtocol::kCoefficientScale);
    };
    for (int i = 0; same && i < read.size(); ++i)
        same = units(read[i]) == units(written[i]);
    if (m_mapOpen.contains(node) && !m_mapOpen[node].adjustments.isEmpty()) {
        Record::Adjustment& last = m_mapOpen[node].adjustments.last();
        last.readBack = read;
        last.readBackMatches = same;
    }
    if (!same) {
        Warn(node, QT_TR_NOOP("Coefficients not taken"), QT_TR_NOOP("Node %1 holds %2 after %3 were written."),
             { QString::number(node), Coefficients(read), Coefficients(written) });
    }
}

// The record keeps the words as written here, whatever language the
// operator reads them in: a certificate issued again must say what the
// first one said.
void CalibrationBook::Warn(int node, const char* title, const char* text, const QStringList& values)
{
    const auto filled = [&values](QString words) {
        for (const QString& value : values)
            words = words.arg(value);
        return words;
    };
    const Record::Warning warning { RecordStore::Now(), QString::fromUtf8(title), filled(QString::fromUtf8(text)) };
    if (m_mapOpen.contains(node)) {
        m_mapOpen[node].warnings.append(warning);
        emit Changed(node);
    }
    m_pWriter->Append(QStringLiteral("warning"), node, warning.toJson());
    emit Warning(tr(title), filled(tr(text)));
}

bool CalibrationBook::Finish(int node, const Conditions& conditions)
{
    if (!m_mapOpen.contains(node))
        return false;
    Record record = m_mapOpen[node];
    record.finished = RecordStore::Now();
    record.operatorName = conditions.operatorName;
    record.referenceSource = conditions.referenceSource;
    record.referenceCertificate = conditions.referenceCertificate;
    record.referenceUncertainty
        = Typed(TypedFigure::Read(conditions.referenceUncertainty, TypedFigure::NonNegative).value);
    record.laboratoryName = conditions.laboratoryName;
    record.laboratoryAddress = conditions.laboratoryAddress;
    record.detectorType = DetectorType(node);
    record.temperature = conditions.temperature;
    record.pressure = conditions.pressure;
    record.humidity = conditions.humidity;
    record.customer = conditions.customer;
    record.place = conditions.place;
    record.measurand = conditions.measurand;
    record.procedure = conditions.procedure;
    record.traceability = conditions.traceability;
    if (!conditions.manufacturer.trimmed().isEmpty())
        record.manufacturer = conditions.manufacturer.trimmed();
    if (!conditions.model.trimmed().isEmpty())
        record.model = conditions.model.trimmed();
    if (conditions.performer && conditions.performer->CanSign()) {
        record.performedBy = { conditions.performer->Name(), conditions.performer->Function(),
                               QString::fromLatin1(conditions.performer->PublicKey().toHex()) };
    }
    RecordWriter::Entry entry;
    entry.kind = QStringLiteral("calibration");
    entry.node = node;
    entry.content = record.toJson();
    entry.signer = conditions.performer;
    const qint64 ticket = m_pWriter->Append(QVector<RecordWriter::Entry> { entry });
    m_mapFinishing.insert(ticket, { node, m_mapOpen.take(node) });
    emit Changed(node);
    return true;
}

void CalibrationBook::RowsWritten(qint64 firstTicket, qint64 lastTicket, qint64 lastSeq)
{
    for (auto at = m_mapFinishing.lowerBound(firstTicket); at != m_mapFinishing.end() && at.key() <= lastTicket;) {
        const int node = at->node;
        const qint64 seq = lastSeq - (lastTicket - at.key());
        at = m_mapFinishing.erase(at);
        emit Finished(node, seq);
    }
}

// Open again for another Finish, unless a new calibration of the node was
// opened meanwhile.
void CalibrationBook::RowsNotWritten(qint64 firstTicket, qint64 lastTicket, const QString& why)
{
    for (auto at = m_mapFinishing.lowerBound(firstTicket); at != m_mapFinishing.end() && at.key() <= lastTicket;) {
        const int node = at->node;
        if (!m_mapOpen.contains(node))
            m_mapOpen.insert(node, at->open);
        at = m_mapFinishing.erase(at);
        emit Changed(node);
        emit Warning(tr("Calibration not recorded"),
                     tr("The calibration of node %1 could not be recorded: %2. It stays open: press Finish again "
                        "once the record store can be written.")
                         .arg(node)
                         .arg(why));
    }
}

QString CalibrationBook::DetectorType(int node) const
{
    // The node's own rows of each kind, by the store's index.
    QSet<qint64> acknowledged;
    m_pStore->Scan([&acknowledged](const RecordStore::Row& row) {
        acknowledged.insert(row.Content().value(QStringLiteral("acknowledges")).toVariant().toLongLong());
        return true;
    }, QStringLiteral("acknowledgement"), node);
    QJsonObject command;
    m_pStore->Scan([&](const RecordStore::Row& row) {
        if (acknowledged.contains(row.seq) && row.content.contains("detector type")) {
            const QJsonObject content = row.Content();
            if (content.value(QStringLiteral("command")).toString() == QLatin1String("detector type"))
                command = content;
        }
        return true;
    }, QStringLiteral("command"), node);
    if (command.isEmpty())
        return QString();
    const QJsonArray parameters = command.value(QStringLiteral("parameters")).toArray();
    for (int type = 0; type < FrameProtocol::kDetectorTypeCount; ++type) {
        const FrameProtocol::DetectorParameters& known = FrameProtocol::kDetectorTypes[type];
        if (parameters == QJsonArray { int(known.p1), int(known.p2), int(known.p3) })
            return QLatin1String(kDetectorTypeNames[type]);
    }
    QStringList values;
    for (const QJsonValue& value : parameters)
        values << QString::number(value.toInt());
    return QStringLiteral("parameters %1").arg(values.join(QLatin1Char('/')));
}
