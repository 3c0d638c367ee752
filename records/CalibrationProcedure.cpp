#include "CalibrationProcedure.h"

#include "CalibrationBook.h"
#include "CalibrationRecord.h"

#include <QJsonArray>

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
        return m_bAdjusted || m_bAdjustSkipped ? QString()
                                               : tr("Calc, Set and the node's read-back are still to come.");
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
    switch (m_step) {
    case Item: return tr("Next: the reference field of each point.");
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

void CalibrationProcedure::AdjustConfirmed()
{
    if (m_step != Adjust)
        return;
    m_bAdjusted = true;
    emit StepFinished(m_step);
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
    m_step = m_step == Adjust && m_bAdjustSkipped ? Finish : Step(m_step + 1);
    emit StepChanged(m_step);
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
    m_pRun.reset();
    m_step = Step(step);
    emit StepChanged(m_step);
    return true;
}
