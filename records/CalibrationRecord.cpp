#include "CalibrationRecord.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

// Reading keeps going after a fault so that a reader shows what there is;
// the first fault is the one named.
class Reader
{
public:
    Reader(const QJsonObject& json, QJsonObject* other)
        : m_json(json)
        , m_pOther(other)
    {
    }

    // What the object holds besides the keys taken, into other; mostly
    // nothing, so that is found first.
    ~Reader()
    {
        if (!m_pOther)
            return;
        *m_pOther = QJsonObject();
        if (m_json.size() == m_nTaken)
            return;
        for (auto at = m_json.constBegin(); at != m_json.constEnd(); ++at) {
            if (std::find(m_taken.cbegin(), m_taken.cend(), at.key()) == m_taken.cend())
                m_pOther->insert(at.key(), at.value());
        }
    }

    void Fault(const QString& why)
    {
        if (m_sWhy.isEmpty())
            m_sWhy = why;
    }
    bool Ok() const { return m_sWhy.isEmpty(); }
    QString Why() const { return m_sWhy; }

    QJsonValue Take(QLatin1String key)
    {
        const QJsonValue value = m_json.value(key);
        if (m_pOther) {
            m_taken.append(key);
            m_nTaken += value.isUndefined() ? 0 : 1;
        }
        return value;
    }

    QString Text(QLatin1String key)
    {
        const QJsonValue value = Take(key);
        if (!value.isString() && !value.isUndefined() && !value.isNull())
            Fault(QStringLiteral("%1 is not text").arg(key));
        return value.toString();
    }

    // A figure as typed or computed: text, a number, or none.
    QJsonValue Figure(QLatin1String key)
    {
        const QJsonValue value = Take(key);
        if (value.isArray() || value.isObject() || value.isBool())
            Fault(QStringLiteral("%1 is not a figure").arg(key));
        return value;
    }

    std::optional<QString> Optional(QLatin1String key)
    {
        if (!m_json.contains(key))
            return std::nullopt;
        return Text(key);
    }

    int Integer(QLatin1String key)
    {
        const QJsonValue value = Take(key);
        if (!value.isDouble() && !value.isUndefined() && !value.isNull())
            Fault(QStringLiteral("%1 is not a number").arg(key));
        return value.toInt();
    }

    bool Flag(QLatin1String key)
    {
        const QJsonValue value = Take(key);
        if (!value.isBool() && !value.isUndefined())
            Fault(QStringLiteral("%1 is not true or false").arg(key));
        return value.toBool();
    }

    QJsonObject Object(QLatin1String key)
    {
        const QJsonValue value = Take(key);
        if (!value.isObject() && !value.isUndefined() && !value.isNull())
            Fault(QStringLiteral("%1 is not an object").arg(key));
        return value.toObject();
    }

    QJsonArray Array(QLatin1String key)
    {
        const QJsonValue value = Take(key);
        if (!value.isArray() && !value.isUndefined() && !value.isNull())
            Fault(QStringLiteral("%1 is not a list").arg(key));
        return value.toArray();
    }

    // Each item of a list read by its own fromJson; the ones that are no
    // item of it are left out.
    template <typename T>
    QVector<T> List(QLatin1String key)
    {
        QVector<T> items;
        for (const QJsonValue& value : Array(key)) {
            T item;
            if (!T::fromJson(value, &item))
                Fault(QStringLiteral("an item of %1 is malformed").arg(key));
            if (value.isObject())
                items.append(item);
        }
        return items;
    }

private:
    QJsonObject m_json;
    QJsonObject* m_pOther;
    QVarLengthArray<QLatin1String, 40> m_taken;
    int m_nTaken = 0; // of the keys taken, how many the object holds
    QString m_sWhy;
};

// The keys known here go over any of the same name that came in other.
QJsonObject With(QJsonObject json, std::initializer_list<QPair<QLatin1String, QJsonValue>> values)
{
    for (const auto& value : values)
        json.insert(value.first, value.second);
    return json;
}

void InsertFigure(QJsonObject& json, QLatin1String key, const QJsonValue& value)
{
    if (!value.isUndefined())
        json.insert(key, value);
}

template <typename T>
QJsonArray ArrayOf(const QVector<T>& items)
{
    QJsonArray array;
    for (const T& item : items)
        array.append(item.toJson());
    return array;
}

} // namespace

QJsonObject CalibrationRecord::Term::toJson() const
{
    return { { kComponent, component }, { kDistribution, distribution }, { kU, u },
             { kUnit, unit }, { kContribution, contribution }, { kDegreesOfFreedom, degreesOfFreedom } };
}

bool CalibrationRecord::Term::fromJson(const QJsonValue& json, Term* term)
{
    if (!json.isObject())
        return false;
    Reader read(json.toObject(), nullptr);
    term->component = read.Text(kComponent);
    term->distribution = read.Text(kDistribution);
    term->u = read.Figure(kU);
    term->unit = read.Text(kUnit);
    term->contribution = read.Figure(kContribution);
    term->degreesOfFreedom = read.Figure(kDegreesOfFreedom);
    return read.Ok();
}

QJsonObject CalibrationRecord::Point::toJson() const
{
    QJsonObject json = With(other, { { kStage, stage }, { kRange, range }, { kTime, time }, { kN, n },
                                     { kBudget, ArrayOf(budget) }, { kRemarks, QJsonArray::fromStringList(remarks) },
                                     { kRule, rule }, { kVerdict, verdict }, { kJournal, journal },
                                     { kFirstLine, firstLine }, { kLastLine, lastLine } });
    const std::initializer_list<QPair<QLatin1String, const QJsonValue*>> figures {
        { kTrueValue, &trueValue },
        { kBackground, &background },
        { kBackgroundUncertainty, &backgroundUncertainty },
        { kBackgroundDegreesOfFreedom, &backgroundDegreesOfFreedom },
        { kReferenceUncertainty, &referenceUncertainty },
        { kMean, &mean },
        { kStandardDeviation, &standardDeviation },
        { kError, &error },
        { kStandardUncertainty, &standardUncertainty },
        { kDegreesOfFreedom, &degreesOfFreedom },
        { kExpandedUncertainty, &expandedUncertainty },
        { kCoverageFactor, &coverageFactor },
        { kFactorExpandedUncertainty, &factorExpandedUncertainty },
        { kDecisionThreshold, &decisionThreshold },
        { kDetectionLimit, &detectionLimit },
        { kProbabilityWithin, &probabilityWithin },
        { kTolerance, &tolerance },
    };
    for (const auto& figure : figures)
        InsertFigure(json, figure.first, *figure.second);
    return json;
}

bool CalibrationRecord::Point::fromJson(const QJsonValue& json, Point* point)
{
    if (!json.isObject())
        return false;
    Reader read(json.toObject(), &point->other);
    point->stage = read.Text(kStage);
    point->range = read.Integer(kRange);
    point->time = read.Text(kTime);
    point->trueValue = read.Figure(kTrueValue);
    point->background = read.Figure(kBackground);
    point->backgroundUncertainty = read.Figure(kBackgroundUncertainty);
    point->backgroundDegreesOfFreedom = read.Figure(kBackgroundDegreesOfFreedom);
    point->referenceUncertainty = read.Figure(kReferenceUncertainty);
    point->n = read.Integer(kN);
    point->mean = read.Figure(kMean);
    point->standardDeviation = read.Figure(kStandardDeviation);
    point->error = read.Figure(kError);
    point->standardUncertainty = read.Figure(kStandardUncertainty);
    point->degreesOfFreedom = read.Figure(kDegreesOfFreedom);
    point->expandedUncertainty = read.Figure(kExpandedUncertainty);
    point->coverageFactor = read.Figure(kCoverageFactor);
    point->factorExpandedUncertainty = read.Figure(kFactorExpandedUncertainty);
    point->decisionThreshold = read.Figure(kDecisionThreshold);
    point->detectionLimit = read.Figure(kDetectionLimit);
    point->probabilityWithin = read.Figure(kProbabilityWithin);
    point->budget = read.List<Term>(kBudget);
    point->remarks.clear();
    for (const QJsonValue& remark : read.Array(kRemarks))
        point->remarks << remark.toString();
    point->tolerance = read.Figure(kTolerance);
    point->rule = read.Text(kRule);
    point->verdict = read.Text(kVerdict);
    point->journal = read.Text(kJournal);
    point->firstLine = read.Integer(kFirstLine);
    point->lastLine = read.Integer(kLastLine);
    return read.Ok();
}

QJsonObject CalibrationRecord::Adjustment::toJson() const
{
    QJsonObject json = With(other, { { kTime, time }, { kWritten, written }, { kAcknowledged, acknowledged } });
    if (!readBack.isUndefined()) {
        json.insert(kReadBack, readBack);
        json.insert(kReadBackMatches, readBackMatches);
    }
    return json;
}

bool CalibrationRecord::Adjustment::fromJson(const QJsonValue& json, Adjustment* adjustment)
{
    if (!json.isObject())
        return false;
    Reader read(json.toObject(), &adjustment->other);
    adjustment->time = read.Text(kTime);
    adjustment->written = read.Array(kWritten);
    adjustment->acknowledged = read.Flag(kAcknowledged);
    adjustment->readBack = read.Take(kReadBack);
    if (!adjustment->readBack.isUndefined() && !adjustment->readBack.isArray())
        read.Fault(QStringLiteral("%1 is not a list").arg(kReadBack));
    adjustment->readBackMatches = read.Flag(kReadBackMatches);
    return read.Ok();
}

QJsonObject CalibrationRecord::Warning::toJson() const
{
    return { { kTime, time }, { kTitle, title }, { kText, text } };
}

bool CalibrationRecord::Warning::fromJson(const QJsonValue& json, Warning* warning)
{
    if (!json.isObject())
        return false;
    Reader read(json.toObject(), nullptr);
    warning->time = read.Text(kTime);
    warning->title = read.Text(kTitle);
    warning->text = read.Text(kText);
    return read.Ok();
}

QJsonObject CalibrationRecord::toJson() const
{
    QJsonObject json = With(other, { { kNode, node }, { kOpened, opened }, { kConsole, console },
                                     { kAsFoundCoefficients, asFoundCoefficients }, { kPoints, ArrayOf(points) },
                                     { kAdjustments, ArrayOf(adjustments) }, { kWarnings, ArrayOf(warnings) } });
    if (!serial.isEmpty())
        json.insert(kSerial, serial);
    const std::initializer_list<QPair<QLatin1String, const std::optional<QString>*>> optional {
        { kManufacturer, &manufacturer }, { kModel, &model },         { kCustomer, &customer },
        { kPlace, &place },               { kMeasurand, &measurand }, { kProcedure, &procedure },
        { kTraceability, &traceability },
    };
    for (const auto& item : optional) {
        if (item.second->has_value())
            json.insert(item.first, **item.second);
    }
    if (finished.isEmpty())
        return json;
    json = With(json, {
        { kFinished, finished },
        { kOperator, operatorName },
        { kReference, QJsonObject { { kSource, referenceSource }, { kCertificate, referenceCertificate },
                                    { kExpandedUncertainty, referenceUncertainty } } },
        { kLaboratory, QJsonObject { { kName, laboratoryName }, { kAddress, laboratoryAddress } } },
        { kDetectorType, detectorType },
        { kConditions, QJsonObject { { kTemperature, temperature }, { kPressure, pressure },
                                     { kHumidity, humidity } } },
    });
    if (!performedBy.IsEmpty()) {
        json.insert(kPerformedBy, QJsonObject { { kName, performedBy.name }, { kFunction, performedBy.function },
                                                { kKey, performedBy.key } });
    }
    return json;
}

bool CalibrationRecord::fromJson(const QJsonObject& json, CalibrationRecord* record, QString* why)
{
    *record = CalibrationRecord();
    Reader read(json, &record->other);
    record->node = read.Integer(kNode);
    record->serial = read.Text(kSerial);
    record->manufacturer = read.Optional(kManufacturer);
    record->model = read.Optional(kModel);
    record->opened = read.Text(kOpened);
    record->console = read.Text(kConsole);
    record->asFoundCoefficients = read.Take(kAsFoundCoefficients);
    if (record->asFoundCoefficients.isUndefined())
        record->asFoundCoefficients = QJsonValue(QJsonValue::Null);
    else if (!record->asFoundCoefficients.isNull() && !record->asFoundCoefficients.isArray())
        read.Fault(QStringLiteral("%1 is not a list").arg(kAsFoundCoefficients));
    record->points = read.List<Point>(kPoints);
    record->adjustments = read.List<Adjustment>(kAdjustments);
    record->warnings = read.List<Warning>(kWarnings);
    record->finished = read.Text(kFinished);
    record->operatorName = read.Text(kOperator);
    const QJsonObject reference = read.Object(kReference);
    record->referenceSource = reference.value(kSource).toString();
    record->referenceCertificate = reference.value(kCertificate).toString();
    record->referenceUncertainty = reference.value(kExpandedUncertainty);
    if (record->referenceUncertainty.isUndefined())
        record->referenceUncertainty = QJsonValue(QJsonValue::Null);
    const QJsonObject laboratory = read.Object(kLaboratory);
    record->laboratoryName = laboratory.value(kName).toString();
    record->laboratoryAddress = laboratory.value(kAddress).toString();
    record->detectorType = read.Text(kDetectorType);
    const QJsonObject conditions = read.Object(kConditions);
    record->temperature = conditions.value(kTemperature).toString();
    record->pressure = conditions.value(kPressure).toString();
    record->humidity = conditions.value(kHumidity).toString();
    record->customer = read.Optional(kCustomer);
    record->place = read.Optional(kPlace);
    record->measurand = read.Optional(kMeasurand);
    record->procedure = read.Optional(kProcedure);
    record->traceability = read.Optional(kTraceability);
    const QJsonObject performer = read.Object(kPerformedBy);
    record->performedBy = { performer.value(kName).toString(), performer.value(kFunction).toString(),
                            performer.value(kKey).toString() };
    if (why)
        *why = read.Why();
    return read.Ok();
}

CalibrationRecord CalibrationRecord::fromJson(const QJsonObject& json)
{
    CalibrationRecord record;
    fromJson(json, &record);
    return record;
}

bool CalibrationRecord::FigureOf(const QJsonValue& value, double* figure)
{
    bool ok = value.isDouble();
    *figure = ok ? value.toDouble() : value.toString().toDouble(&ok);
    return ok && std::isfinite(*figure);
}

QJsonArray CalibrationRecord::AsLeftCoefficients() const
{
    const Adjustment* last = LastAdjustment();
    if (!last)
        return asFoundCoefficients.toArray();
    return last->readBack.isArray() ? last->readBack.toArray() : last->written;
}
