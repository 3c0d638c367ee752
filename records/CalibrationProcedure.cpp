#include "CalibrationProcedure.h"

#include "CalibrationBook.h"
#include "CalibrationRecord.h"
#include "CommandEvents.h"
#include "FrameProtocol.h"

#include <QJsonArray>
#include <QSettings>

#include <cmath>

namespace {

const char* const kStepKeys[] = { "item", "reference", "background", "as-found", "adjust", "as-left", "finish",
                                  "done" };
const char* const kStatusKeys[] = { "settling", "collecting", "decided", "target", "limit" };
const char* const kVerdictKeys[] = { "", "pass", "fail", "inconclusive" };

template <int N>
int IndexOf(const char* const (&keys)[N], const QString& key)
{
    for (int i = 0; i < N; ++i) {
        if (key == QLatin1String(keys[i]))
            return i;
    }
    return -1;
}

QJsonValue Number(double value)
{
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

double NumberOf(const QJsonValue& value)
{
    return value.isDouble() ? value.toDouble() : PointRun::kEmpty;
}

QJsonObject TakenJson(const CalibrationProcedure::Taken& point)
{
    const PointRun::Figures& f = point.figures;
    return { { "n", f.n },
             { "mean", Number(f.mean) },
             { "error", Number(f.error) },
             { "u", Number(f.standardUncertainty) },
             { "k", Number(f.coverageFactor) },
             { "U", Number(f.expandedUncertainty) },
             { "dof", Number(f.degreesOfFreedom) },
             { "verdict", QLatin1String(kVerdictKeys[f.verdict]) },
             { "status", QLatin1String(kStatusKeys[point.status]) } };
}

CalibrationProcedure::Taken TakenOf(const QJsonObject& json)
{
    CalibrationProcedure::Taken point;
    PointRun::Figures& f = point.figures;
    f.n = json.value("n").toInt();
    f.mean = NumberOf(json.value("mean"));
    f.error = NumberOf(json.value("error"));
    f.standardUncertainty = NumberOf(json.value("u"));
    f.coverageFactor = NumberOf(json.value("k"));
    f.expandedUncertainty = NumberOf(json.value("U"));
    f.degreesOfFreedom = NumberOf(json.value("dof"));
    f.verdict = PointRun::Verdict(qMax(0, IndexOf(kVerdictKeys, json.value("verdict").toString())));
    point.status = PointRun::Status(qMax(0, IndexOf(kStatusKeys, json.value("status").toString())));
    point.taken = true;
    return point;
}

QString CoefficientsText(const QJsonArray& values)
{
    QStringList texts;
    for (const QJsonValue& value : values)
        texts << QString::number(value.toDouble(), 'f', 4);
    return texts.join(QLatin1String(", "));
}

// At the four decimals the node keeps.
bool SameCoefficients(const QJsonArray& a, const QJsonArray& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (std::llround(a[i].toDouble() * FrameProtocol::kCoefficientScale)
            != std::llround(b[i].toDouble() * FrameProtocol::kCoefficientScale))
            return false;
    }
    return true;
}

} // namespace

void CalibrationProcedure::Identity::Write(QJsonObject& json) const
{
    json.insert(CalibrationRecord::kNode, node);
    json.insert(CalibrationRecord::kSerial, serial);
    json.insert(CalibrationRecord::kManufacturer, manufacturer);
    json.insert(CalibrationRecord::kModel, model);
    json.insert(CalibrationRecord::kCustomer, customerName);
    json.insert("customer_address", customerAddress);
    json.insert(CalibrationRecord::kPlace, place);
    json.insert("serial_confirmed", serialConfirmed);
}

void CalibrationProcedure::Identity::Read(const QJsonObject& json)
{
    node = json.value(CalibrationRecord::kNode).toInt();
    serial = json.value(CalibrationRecord::kSerial).toString();
    manufacturer = json.value(CalibrationRecord::kManufacturer).toString();
    model = json.value(CalibrationRecord::kModel).toString();
    customerName = json.value(CalibrationRecord::kCustomer).toString();
    customerAddress = json.value("customer_address").toString();
    place = json.value(CalibrationRecord::kPlace).toString();
    serialConfirmed = json.value("serial_confirmed").toBool();
    serialTaken = serialConfirmed;
}

CalibrationProcedure::CalibrationProcedure(QObject* parent)
    : QObject(parent)
{
}

CalibrationProcedure::~CalibrationProcedure() = default;

QString CalibrationProcedure::StepName(Step step)
{
    switch (step) {
    case Item: return tr("Item");
    case Reference: return tr("Reference field");
    case Background: return tr("Background");
    case AsFound: return tr("As found");
    case Adjust: return tr("Adjust");
    case AsLeft: return tr("As left");
    case Finish: return tr("Finish");
    case Done: return tr("Done");
    }
    return QString();
}

QString CalibrationProcedure::StepKey(Step step)
{
    return QLatin1String(kStepKeys[step]);
}

bool CalibrationProcedure::RangesValid() const
{
    if (m_points.isEmpty() || m_points.size() > kMaxPoints)
        return false;
    QList<int> ranges;
    for (const ReferencePoint& point : m_points) {
        if (!(point.trueValue > 0) || CalibrationBook::RangeOf(point.trueValue) != point.range
            || ranges.contains(point.range))
            return false;
        ranges << point.range;
    }
    return true;
}

QList<CalibrationProcedure::Taken>* CalibrationProcedure::Stage()
{
    return m_step == AsFound ? &m_asFound : m_step == AsLeft ? &m_asLeft : nullptr;
}

const QList<CalibrationProcedure::Taken>* CalibrationProcedure::Stage() const
{
    return m_step == AsFound ? &m_asFound : m_step == AsLeft ? &m_asLeft : nullptr;
}

bool CalibrationProcedure::AllAsFoundPass() const
{
    if (m_asFound.size() != m_points.size() || m_asFound.isEmpty())
        return false;
    for (const Taken& point : m_asFound) {
        if (point.figures.verdict != PointRun::Pass)
            return false;
    }
    return true;
}

QString CalibrationProcedure::Missing() const
{
    switch (m_step) {
    case Item:
        if (m_identity.node < 1)
            return tr("Choose the node.");
        if (m_identity.serial.trimmed().isEmpty())
            return tr("The serial number is required.");
        if (m_identity.serialTaken && !m_identity.serialConfirmed)
            return tr("The register already holds serial %1: confirm that it is the same item.")
                .arg(m_identity.serial);
        return QString();
    case Reference:
        return RangesValid() ? QString()
                             : tr("Give 1 to 3 points, each with a true value inside its own range.");
    case Background:
        return m_bBackgroundSet ? QString() : tr("Measure or type the background.");
    case AsFound:
    case AsLeft: {
        const QList<Taken>* stage = Stage();
        if (stage->size() == m_points.size())
            return QString();
        return m_pRun && !m_pRun->Finished() ? tr("Point %1 is being measured.").arg(m_nPoint + 1)
                                             : tr("Point %1 is not measured yet.").arg(stage->size() + 1);
    }
    case Adjust:
        if (m_bAdjusted || m_bAdjustSkipped)
            return QString();
        if (!m_readBack.isEmpty())
            return tr("Node %1 holds %2 after %3 were written: Set again.")
                .arg(m_identity.node)
                .arg(CoefficientsText(m_readBack), CoefficientsText(m_written));
        if (!m_written.isEmpty())
            return tr("Waiting for the node's confirmation and read-back.");
        return tr("Calc and Set are still to come.");
    case Finish:
        return m_bFinished ? QString() : tr("The record is not written yet.");
    case Done:
        return QString();
    }
    return QString();
}

bool CalibrationProcedure::StepDone() const
{
    return m_step != Done && Missing().isEmpty();
}

QString CalibrationProcedure::NextText() const
{
    const QList<Taken>* stage = Stage();
    if (stage && stage->size() < m_points.size() && !(m_pRun && !m_pRun->Finished())) {
        const ReferencePoint& point = m_points.at(stage->size());
        return tr("Next: set the field to %1 μSv/h (range %2) and measure point %3.")
            .arg(point.trueValue)
            .arg(point.range)
            .arg(stage->size() + 1);
    }
    if (stage && m_nPoint + 1 < m_points.size()) {
        const ReferencePoint& point = m_points.at(m_nPoint + 1);
        return tr("Next, once point %1 is taken: set the field to %2 μSv/h (range %3) and measure point %4.")
            .arg(m_nPoint + 1)
            .arg(point.trueValue)
            .arg(point.range)
            .arg(m_nPoint + 2);
    }
    switch (m_step) {
    case Item:
        return m_bFieldKept && FieldAvailable()
            ? tr("Next: as found, point 1, in the same reference field and background as the last node.")
            : tr("Next: the reference field of each point.");
    case Reference: return tr("Next: the background, with the source shielded.");
    case Background: return tr("Next: as found, point 1.");
    case AsFound:
        return AllAsFoundPass() ? tr("Next: every point passes; adjust, or skip to finish.")
                                : tr("Next: adjust the node's coefficients.");
    case Adjust: return m_bAdjustSkipped ? tr("Next: finish.") : tr("Next: as left, point 1.");
    case AsLeft: return tr("Next: finish; the record and the certificate.");
    case Finish: return tr("Next: the next node.");
    case Done: return QString();
    }
    return QString();
}

void CalibrationProcedure::SetIdentity(const Identity& identity)
{
    m_identity = identity;
}

void CalibrationProcedure::SetPoints(const QList<ReferencePoint>& points)
{
    m_points = points;
}

void CalibrationProcedure::SetBackground(double background, double expandedUncertainty)
{
    m_fBackground = background;
    m_fBackgroundU = expandedUncertainty;
    m_bBackgroundSet = std::isfinite(background) && background >= 0 && std::isfinite(expandedUncertainty)
        && expandedUncertainty >= 0;
}

void CalibrationProcedure::StartRun()
{
    QList<Taken>* stage = Stage();
    if (!stage || stage->size() >= m_points.size())
        return;
    m_nPoint = stage->size();
    const ReferencePoint& point = m_points.at(m_nPoint);
    PointRun::Inputs inputs;
    inputs.trueValue = point.trueValue;
    inputs.tolerance = m_fTolerance;
    inputs.background = m_fBackground;
    inputs.backgroundUncertainty = m_fBackgroundU;
    inputs.referenceUncertainty = point.referenceUncertainty;
    m_pRun.reset(new PointRun(inputs, m_runSettings));
    emit RunStarted(m_nPoint);
}

void CalibrationProcedure::AddReading(const Reading& reading)
{
    if (!m_pRun || m_pRun->Finished() || reading.id != m_identity.node || !Stage())
        return;
    m_pRun->AddCount(reading.count);
    emit RunProgress(m_pRun->Progress(), m_pRun->SettlingLeft() + m_pRun->EstimatedReadingsLeft());
    if (!m_pRun->Finished())
        return;
    Taken point;
    point.figures = m_pRun->Current();
    point.status = m_pRun->CurrentStatus();
    point.taken = true;
    Stage()->append(point);
    emit PointTaken(m_step, m_nPoint);
    if (Stage()->size() == m_points.size())
        emit StepFinished(m_step);
}

CalibrationBook::Point CalibrationProcedure::BookPoint(const Taken& taken, int point) const
{
    const PointRun::Figures& f = taken.figures;
    CalibrationBook::Point kept;
    const ReferencePoint reference = m_points.value(point);
    kept.trueValue = reference.trueValue;
    kept.referenceUncertainty = reference.referenceUncertainty;
    kept.background = m_fBackground;
    kept.backgroundUncertainty = m_fBackgroundU;
    kept.n = f.n;
    kept.mean = f.mean;
    kept.standardDeviation = f.standardDeviation;
    kept.error = f.error;
    kept.standardUncertainty = f.standardUncertainty;
    kept.expandedUncertainty = f.expandedUncertainty;
    kept.coverageFactor = f.coverageFactor;
    kept.degreesOfFreedom = f.degreesOfFreedom;
    kept.tolerance = m_fTolerance;
    kept.rule = CalibrationFigures::RuleKey(CalibrationFigures::GuardedAcceptance);
    kept.verdict = CalibrationFigures::VerdictKey(CalibrationFigures::Verdict(f.verdict));
    return kept;
}

void CalibrationProcedure::RecordWritten(int node)
{
    if (node == m_identity.node)
        Finished();
}

PointRun::Settings CalibrationProcedure::LoadRunSettings(const QString& settingsPath, int requestPeriodMs)
{
    QSettings settings(settingsPath, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("procedure"));
    const auto value = [&settings](const char* key, double byDefault) {
        const QString name = QLatin1String(key);
        if (!settings.contains(name))
            settings.setValue(name, byDefault);
        bool ok = false;
        const double number = settings.value(name).toDouble(&ok);
        return ok && std::isfinite(number) && number > 0 ? number : byDefault;
    };
    PointRun::Settings run;
    run.settlingReadings = int(value("settlingRequestPeriods", run.settlingReadings));
    // A third of the tolerance by default: the tolerance is the point's.
    run.targetShare = 1.0 / value("toleranceOverUTarget", 3);
    const double minutes = value("timeLimitMinutes", 10);
    run.limitReadings = qMax(1, int(std::ceil(minutes * 60000.0 / qMax(1, requestPeriodMs))));
    return run;
}

void CalibrationProcedure::CommandSent(int code, int target, const QByteArray& frame)
{
    if (code != FrameProtocol::CmdSetCalibrationCoefficients || target != m_identity.node || m_step < AsFound
        || m_step > AsLeft)
        return;
    m_written = CommandEvents::Describe(code, frame).value(QStringLiteral("coefficients")).toArray();
    m_readBack = QJsonArray();
    m_bAwaitingReadBack = false;
    emit StateChanged();
}

void CalibrationProcedure::Acknowledged(int id, int /*y*/, int x)
{
    if (x == FrameProtocol::ReplyCoefficients && id == m_identity.node && !m_written.isEmpty() && m_readBack.isEmpty())
        m_bAwaitingReadBack = true;
}

// Before any Set the node's coefficients are the ones found; after Set's
// acknowledgement they are its read-back.
void CalibrationProcedure::CoefficientsRead(int id, double c1, double c2, double c3)
{
    if (id != m_identity.node)
        return;
    const QJsonArray read { c1, c2, c3 };
    if (m_bAwaitingReadBack) {
        m_bAwaitingReadBack = false;
        m_readBack = read;
        if (m_step == Adjust && SameCoefficients(read, m_written)) {
            m_bAdjusted = true;
            emit StepFinished(m_step);
        } else {
            emit StateChanged();
        }
        return;
    }
    if (m_asFoundCoefficients.isEmpty() && m_written.isEmpty() && (m_step == AsFound || m_step == Adjust)) {
        m_asFoundCoefficients = read;
        emit StateChanged();
    }
}

bool CalibrationProcedure::SkipAdjust()
{
    if (m_step != Adjust || !AllAsFoundPass())
        return false;
    // Nothing was changed: the node is left as it was found.
    m_bAdjustSkipped = true;
    m_asLeft = m_asFound;
    emit StepFinished(Adjust);
    m_step = Finish;
    emit StepChanged(m_step);
    return true;
}

void CalibrationProcedure::Finished()
{
    if (m_step != Finish)
        return;
    m_bFinished = true;
    emit StepFinished(m_step);
}

bool CalibrationProcedure::Next()
{
    // Between points of a stage Next starts the next point's run.
    QList<Taken>* stage = Stage();
    if (stage && stage->size() < m_points.size()) {
        if (m_pRun && !m_pRun->Finished())
            return false;
        StartRun();
        return true;
    }
    if (!StepDone())
        return false;
    if (m_step == Finish) {
        StartNextNode();
        return true;
    }
    if (m_step == Item || m_step == Reference || m_step == Background)
        emit StepFinished(m_step);
    m_pRun.reset();
    if (m_step == Adjust && m_bAdjustSkipped)
        m_step = Finish;
    else if (m_step == Item && m_bFieldKept && FieldAvailable())
        m_step = AsFound;
    else
        m_step = Step(m_step + 1);
    emit StepChanged(m_step);
    if (m_step == AsFound && m_asFoundCoefficients.isEmpty())
        emit ReadBackRequested(m_identity.node);
    if (m_step == AsFound || m_step == AsLeft)
        StartRun();
    return true;
}

// The next node of the same customer in the same field: only its own
// identity and its points are new.
void CalibrationProcedure::StartNextNode()
{
    emit StepFinished(Done);
    m_identity.node = qMin(m_identity.node + 1, 255);
    m_identity.serial.clear();
    m_identity.serialTaken = false;
    m_identity.serialConfirmed = false;
    m_asFound.clear();
    m_asLeft.clear();
    m_bAdjusted = false;
    m_bAdjustSkipped = false;
    m_bFinished = false;
    m_bFieldKept = true;
    m_bSeries = true;
    m_asFoundCoefficients = QJsonArray();
    m_written = QJsonArray();
    m_readBack = QJsonArray();
    m_bAwaitingReadBack = false;
    m_pRun.reset();
    m_step = Item;
    emit StepChanged(m_step);
}

void CalibrationProcedure::Write(QJsonObject& json) const
{
    json.insert("step", StepKey(m_step));
    QJsonObject item;
    m_identity.Write(item);
    json.insert("item", item);
    QJsonArray points;
    for (const ReferencePoint& point : m_points)
        points.append(QJsonObject { { "true_value", point.trueValue },
                                    { "reference_uncertainty", point.referenceUncertainty },
                                    { "range", point.range } });
    json.insert("points", points);
    json.insert("tolerance", m_fTolerance);
    if (m_bBackgroundSet)
        json.insert("background", QJsonObject { { "value", m_fBackground }, { "U", m_fBackgroundU } });
    QJsonArray found;
    for (const Taken& point : m_asFound)
        found.append(TakenJson(point));
    json.insert("as_found", found);
    QJsonArray left;
    for (const Taken& point : m_asLeft)
        left.append(TakenJson(point));
    json.insert("as_left", left);
    json.insert("adjusted", m_bAdjusted);
    json.insert("adjust_skipped", m_bAdjustSkipped);
    json.insert("finished", m_bFinished);
    json.insert("as_found_coefficients", m_asFoundCoefficients);
    json.insert("written_coefficients", m_written);
    json.insert("read_back_coefficients", m_readBack);
}

bool CalibrationProcedure::Read(const QJsonObject& json)
{
    const int step = IndexOf(kStepKeys, json.value("step").toString());
    if (step < 0 || !json.value("item").isObject())
        return false;
    m_identity.Read(json.value("item").toObject());
    m_points.clear();
    for (const QJsonValue& value : json.value("points").toArray()) {
        const QJsonObject point = value.toObject();
        m_points << ReferencePoint { point.value("true_value").toDouble(),
                                     point.value("reference_uncertainty").toDouble(),
                                     point.value("range").toInt() };
    }
    m_fTolerance = json.value("tolerance").toDouble(10);
    m_bBackgroundSet = false;
    if (json.value("background").isObject()) {
        const QJsonObject background = json.value("background").toObject();
        SetBackground(background.value("value").toDouble(), background.value("U").toDouble());
    }
    m_asFound.clear();
    for (const QJsonValue& value : json.value("as_found").toArray())
        m_asFound << TakenOf(value.toObject());
    m_asLeft.clear();
    for (const QJsonValue& value : json.value("as_left").toArray())
        m_asLeft << TakenOf(value.toObject());
    m_bAdjusted = json.value("adjusted").toBool();
    m_bAdjustSkipped = json.value("adjust_skipped").toBool();
    m_bFinished = json.value("finished").toBool();
    m_asFoundCoefficients = json.value("as_found_coefficients").toArray();
    m_written = json.value("written_coefficients").toArray();
    m_readBack = json.value("read_back_coefficients").toArray();
    m_pRun.reset();
    m_step = Step(step);
    emit StepChanged(m_step);
    // A Set whose read-back was not kept: the node is asked again.
    m_bAwaitingReadBack = m_step == Adjust && !m_bAdjusted && !m_written.isEmpty() && m_readBack.isEmpty();
    if (m_bAwaitingReadBack)
        emit ReadBackRequested(m_identity.node);
    return true;
}
