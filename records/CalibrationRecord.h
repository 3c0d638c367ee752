#ifndef DOSEGATE_CALIBRATIONRECORD_H
#define DOSEGATE_CALIBRATIONRECORD_H

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace CalibrationRecordDetail {

// A key with its length counted here: strlen is no constant expression to
// every compiler.
template <int N>
constexpr QLatin1String Key(const char (&text)[N])
{
    return QLatin1String(text, N - 1);
}

} // namespace CalibrationRecordDetail

// One calibration as a "calibration" row holds it: the item, the points as
// found and as left with their figures and budgets, the coefficients as
// found, written and read back, the warnings, the people, the reference and
// the environment. Its keys are named here and nowhere else.
//
// Figures are kept as the row holds them (decimal text now, numbers in rows
// of earlier consoles, null where there was none), so that a record read and
// written again is the same bytes, and its hash and signatures still hold.
// Keys this console does not know are kept as they came.
class CalibrationRecord
{
public:
    static constexpr QLatin1String kNode = CalibrationRecordDetail::Key("node");
    static constexpr QLatin1String kSerial = CalibrationRecordDetail::Key("serial");
    static constexpr QLatin1String kManufacturer = CalibrationRecordDetail::Key("manufacturer");
    static constexpr QLatin1String kModel = CalibrationRecordDetail::Key("model");
    static constexpr QLatin1String kOpened = CalibrationRecordDetail::Key("opened");
    static constexpr QLatin1String kConsole = CalibrationRecordDetail::Key("console");
    static constexpr QLatin1String kAsFoundCoefficients = CalibrationRecordDetail::Key("asFoundCoefficients");
    static constexpr QLatin1String kPoints = CalibrationRecordDetail::Key("points");
    static constexpr QLatin1String kAdjustments = CalibrationRecordDetail::Key("adjustments");
    static constexpr QLatin1String kWarnings = CalibrationRecordDetail::Key("warnings");
    static constexpr QLatin1String kFinished = CalibrationRecordDetail::Key("finished");
    static constexpr QLatin1String kOperator = CalibrationRecordDetail::Key("operator");
    static constexpr QLatin1String kReference = CalibrationRecordDetail::Key("reference");
    static constexpr QLatin1String kSource = CalibrationRecordDetail::Key("source");
    static constexpr QLatin1String kCertificate = CalibrationRecordDetail::Key("certificate");
    static constexpr QLatin1String kExpandedUncertainty = CalibrationRecordDetail::Key("expandedUncertainty");
    static constexpr QLatin1String kLaboratory = CalibrationRecordDetail::Key("laboratory");
    static constexpr QLatin1String kName = CalibrationRecordDetail::Key("name");
    static constexpr QLatin1String kAddress = CalibrationRecordDetail::Key("address");
    static constexpr QLatin1String kDetectorType = CalibrationRecordDetail::Key("detectorType");
    static constexpr QLatin1String kConditions = CalibrationRecordDetail::Key("conditions");
    static constexpr QLatin1String kTemperature = CalibrationRecordDetail::Key("temperature");
    static constexpr QLatin1String kPressure = CalibrationRecordDetail::Key("pressure");
    static constexpr QLatin1String kHumidity = CalibrationRecordDetail::Key("humidity");
    static constexpr QLatin1String kCustomer = CalibrationRecordDetail::Key("customer");
    static constexpr QLatin1String kPlace = CalibrationRecordDetail::Key("place");
    static constexpr QLatin1String kMeasurand = CalibrationRecordDetail::Key("measurand");
    static constexpr QLatin1String kProcedure = CalibrationRecordDetail::Key("procedure");
    static constexpr QLatin1String kTraceability = CalibrationRecordDetail::Key("traceability");
    static constexpr QLatin1String kPerformedBy = CalibrationRecordDetail::Key("performedBy");
    static constexpr QLatin1String kFunction = CalibrationRecordDetail::Key("function");
    static constexpr QLatin1String kKey = CalibrationRecordDetail::Key("key");
    // A point's.
    static constexpr QLatin1String kStage = CalibrationRecordDetail::Key("stage");
    static constexpr QLatin1String kRange = CalibrationRecordDetail::Key("range");
    static constexpr QLatin1String kTime = CalibrationRecordDetail::Key("time");
    static constexpr QLatin1String kTrueValue = CalibrationRecordDetail::Key("trueValue");
    static constexpr QLatin1String kBackground = CalibrationRecordDetail::Key("background");
    static constexpr QLatin1String kBackgroundUncertainty = CalibrationRecordDetail::Key("backgroundUncertainty");
    static constexpr QLatin1String kBackgroundDegreesOfFreedom = CalibrationRecordDetail::Key("backgroundDegreesOfFreedom");
    static constexpr QLatin1String kReferenceUncertainty = CalibrationRecordDetail::Key("referenceUncertainty");
    static constexpr QLatin1String kN = CalibrationRecordDetail::Key("n");
    static constexpr QLatin1String kMean = CalibrationRecordDetail::Key("mean");
    static constexpr QLatin1String kStandardDeviation = CalibrationRecordDetail::Key("standardDeviation");
    static constexpr QLatin1String kError = CalibrationRecordDetail::Key("error");
    static constexpr QLatin1String kStandardUncertainty = CalibrationRecordDetail::Key("standardUncertainty");
    static constexpr QLatin1String kDegreesOfFreedom = CalibrationRecordDetail::Key("degreesOfFreedom");
    static constexpr QLatin1String kCoverageFactor = CalibrationRecordDetail::Key("coverageFactor");
    static constexpr QLatin1String kFactorExpandedUncertainty = CalibrationRecordDetail::Key("factorExpandedUncertainty");
    static constexpr QLatin1String kDecisionThreshold = CalibrationRecordDetail::Key("decisionThreshold");
    static constexpr QLatin1String kDetectionLimit = CalibrationRecordDetail::Key("detectionLimit");
    static constexpr QLatin1String kProbabilityWithin = CalibrationRecordDetail::Key("probabilityWithin");
    static constexpr QLatin1String kBudget = CalibrationRecordDetail::Key("budget");
    static constexpr QLatin1String kRemarks = CalibrationRecordDetail::Key("remarks");
    static constexpr QLatin1String kTolerance = CalibrationRecordDetail::Key("tolerance");
    static constexpr QLatin1String kRule = CalibrationRecordDetail::Key("rule");
    static constexpr QLatin1String kVerdict = CalibrationRecordDetail::Key("verdict");
    static constexpr QLatin1String kJournal = CalibrationRecordDetail::Key("journal");
    static constexpr QLatin1String kFirstLine = CalibrationRecordDetail::Key("firstLine");
    static constexpr QLatin1String kLastLine = CalibrationRecordDetail::Key("lastLine");
    // A budget term's.
    static constexpr QLatin1String kComponent = CalibrationRecordDetail::Key("component");
    static constexpr QLatin1String kDistribution = CalibrationRecordDetail::Key("distribution");
    static constexpr QLatin1String kU = CalibrationRecordDetail::Key("u");
    static constexpr QLatin1String kUnit = CalibrationRecordDetail::Key("unit");
    static constexpr QLatin1String kContribution = CalibrationRecordDetail::Key("contribution");
    // An adjustment's and a warning's.
    static constexpr QLatin1String kWritten = CalibrationRecordDetail::Key("written");
    static constexpr QLatin1String kAcknowledged = CalibrationRecordDetail::Key("acknowledged");
    static constexpr QLatin1String kReadBack = CalibrationRecordDetail::Key("readBack");
    static constexpr QLatin1String kReadBackMatches = CalibrationRecordDetail::Key("readBackMatches");
    static constexpr QLatin1String kTitle = CalibrationRecordDetail::Key("title");
    static constexpr QLatin1String kText = CalibrationRecordDetail::Key("text");

    static constexpr QLatin1String kAsFound = CalibrationRecordDetail::Key("as found");
    static constexpr QLatin1String kAsLeft = CalibrationRecordDetail::Key("as left");

    // One term of u(e).
    struct Term
    {
        QString component;
        QString distribution; // empty: Type A
        QJsonValue u;
        QString unit;
        QJsonValue contribution; // %, of u(e)
        QJsonValue degreesOfFreedom;

        QJsonObject toJson() const;
        static bool fromJson(const QJsonValue& json, Term* term);
    };

    struct Point
    {
        QString stage; // kAsFound or kAsLeft
        int range = 0;
        QString time;
        QJsonValue trueValue; // μSv/h
        QJsonValue background;
        QJsonValue backgroundUncertainty;
        QJsonValue backgroundDegreesOfFreedom;
        QJsonValue referenceUncertainty;
        int n = 0;
        QJsonValue mean;
        QJsonValue standardDeviation;
        QJsonValue error; // %
        QJsonValue standardUncertainty;
        QJsonValue degreesOfFreedom;
        QJsonValue expandedUncertainty;
        QJsonValue coverageFactor;
        QJsonValue factorExpandedUncertainty;
        QJsonValue decisionThreshold;
        QJsonValue detectionLimit;
        QJsonValue probabilityWithin;
        QVector<Term> budget;
        QStringList remarks;
        QJsonValue tolerance;
        QString rule;
        QString verdict;
        QString journal;
        int firstLine = 0;
        int lastLine = 0;
        QJsonObject other;

        bool AsLeft() const { return stage == kAsLeft; }
        QJsonObject toJson() const;
        static bool fromJson(const QJsonValue& json, Point* point);
    };

    // One Set: what was written, whether the node acknowledged it, and what
    // it held afterwards (undefined until it was read back).
    struct Adjustment
    {
        QString time;
        QJsonArray written;
        bool acknowledged = false;
        QJsonValue readBack = QJsonValue(QJsonValue::Undefined);
        bool readBackMatches = false;
        QJsonObject other;

        QJsonObject toJson() const;
        static bool fromJson(const QJsonValue& json, Adjustment* adjustment);
    };

    struct Warning
    {
        QString time;
        QString title; // in the words they were raised in
        QString text;

        QJsonObject toJson() const;
        static bool fromJson(const QJsonValue& json, Warning* warning);
    };

    // Who performed it, with the key that signed the row.
    struct Person
    {
        QString name;
        QString function;
        QString key; // hex

        bool IsEmpty() const { return name.isEmpty() && function.isEmpty() && key.isEmpty(); }
    };

    int node = 0;
    QString serial; // empty: none given
    // Kept since a later console, or only when given: none is not the
    // same as empty, which a certificate shows as a dash.
    std::optional<QString> manufacturer;
    std::optional<QString> model;
    QString opened;
    QString console;
    QJsonValue asFoundCoefficients = QJsonValue(QJsonValue::Null); // null until read back
    QVector<Point> points;
    QVector<Adjustment> adjustments;
    QVector<Warning> warnings;
    // Set at Finish; what follows is written only with it.
    QString finished;
    QString operatorName;
    QString referenceSource;
    QString referenceCertificate;
    QJsonValue referenceUncertainty = QJsonValue(QJsonValue::Null); // %, k = 2
    QString laboratoryName;
    QString laboratoryAddress;
    QString detectorType;
    QString temperature; // °C
    QString pressure;    // kPa
    QString humidity;    // %
    std::optional<QString> customer;
    std::optional<QString> place;
    std::optional<QString> measurand;
    std::optional<QString> procedure;
    std::optional<QString> traceability;
    Person performedBy;
    QJsonObject other;

    QJsonObject toJson() const;
    // Reads what it can of any object; false, and why, when a known key
    // holds what no console wrote there.
    static bool fromJson(const QJsonObject& json, CalibrationRecord* record, QString* why = nullptr);
    static CalibrationRecord fromJson(const QJsonObject& json);

    // A figure as kept, text or a number; false for none.
    static bool FigureOf(const QJsonValue& value, double* figure);

    // The last Set, or none.
    const Adjustment* LastAdjustment() const { return adjustments.isEmpty() ? nullptr : &adjustments.last(); }
    // The coefficients as left: what the node read back after the last Set,
    // else what was written; as found when it was not adjusted.
    QJsonArray AsLeftCoefficients() const;
};

#endif
