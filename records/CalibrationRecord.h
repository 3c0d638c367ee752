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
    static constexpr QLatin1String kNode { "node" };
    static constexpr QLatin1String kSerial { "serial" };
    static constexpr QLatin1String kManufacturer { "manufacturer" };
    static constexpr QLatin1String kModel { "model" };
    static constexpr QLatin1String kOpened { "opened" };
    static constexpr QLatin1String kConsole { "console" };
    static constexpr QLatin1String kAsFoundCoefficients { "asFoundCoefficients" };
    static constexpr QLatin1String kPoints { "points" };
    static constexpr QLatin1String kAdjustments { "adjustments" };
    static constexpr QLatin1String kWarnings { "warnings" };
    static constexpr QLatin1String kFinished { "finished" };
    static constexpr QLatin1String kOperator { "operator" };
    static constexpr QLatin1String kReference { "reference" };
    static constexpr QLatin1String kSource { "source" };
    static constexpr QLatin1String kCertificate { "certificate" };
    static constexpr QLatin1String kExpandedUncertainty { "expandedUncertainty" };
    static constexpr QLatin1String kLaboratory { "laboratory" };
    static constexpr QLatin1String kName { "name" };
    static constexpr QLatin1String kAddress { "address" };
    static constexpr QLatin1String kDetectorType { "detectorType" };
    static constexpr QLatin1String kConditions { "conditions" };
    static constexpr QLatin1String kTemperature { "temperature" };
    static constexpr QLatin1String kPressure { "pressure" };
    static constexpr QLatin1String kHumidity { "humidity" };
    static constexpr QLatin1String kCustomer { "customer" };
    static constexpr QLatin1String kPlace { "place" };
    static constexpr QLatin1String kMeasurand { "measurand" };
    static constexpr QLatin1String kProcedure { "procedure" };
    static constexpr QLatin1String kTraceability { "traceability" };
    static constexpr QLatin1String kPerformedBy { "performedBy" };
    static constexpr QLatin1String kFunction { "function" };
    static constexpr QLatin1String kKey { "key" };
    // A point's.
    static constexpr QLatin1String kStage { "stage" };
    static constexpr QLatin1String kRange { "range" };
    static constexpr QLatin1String kTime { "time" };
    static constexpr QLatin1String kTrueValue { "trueValue" };
    static constexpr QLatin1String kBackground { "background" };
    static constexpr QLatin1String kBackgroundUncertainty { "backgroundUncertainty" };
    static constexpr QLatin1String kBackgroundDegreesOfFreedom { "backgroundDegreesOfFreedom" };
    static constexpr QLatin1String kReferenceUncertainty { "referenceUncertainty" };
    static constexpr QLatin1String kN { "n" };
    static constexpr QLatin1String kMean { "mean" };
    static constexpr QLatin1String kStandardDeviation { "standardDeviation" };
    static constexpr QLatin1String kError { "error" };
    static constexpr QLatin1String kStandardUncertainty { "standardUncertainty" };
    static constexpr QLatin1String kDegreesOfFreedom { "degreesOfFreedom" };
    static constexpr QLatin1String kCoverageFactor { "coverageFactor" };
    static constexpr QLatin1String kFactorExpandedUncertainty { "factorExpandedUncertainty" };
    static constexpr QLatin1String kDecisionThreshold { "decisionThreshold" };
    static constexpr QLatin1String kDetectionLimit { "detectionLimit" };
    static constexpr QLatin1String kProbabilityWithin { "probabilityWithin" };
    static constexpr QLatin1String kBudget { "budget" };
    static constexpr QLatin1String kRemarks { "remarks" };
    static constexpr QLatin1String kTolerance { "tolerance" };
    static constexpr QLatin1String kRule { "rule" };
    static constexpr QLatin1String kVerdict { "verdict" };
    static constexpr QLatin1String kJournal { "journal" };
    static constexpr QLatin1String kFirstLine { "firstLine" };
    static constexpr QLatin1String kLastLine { "lastLine" };
    // A budget term's.
    static constexpr QLatin1String kComponent { "component" };
    static constexpr QLatin1String kDistribution { "distribution" };
    static constexpr QLatin1String kU { "u" };
    static constexpr QLatin1String kUnit { "unit" };
    static constexpr QLatin1String kContribution { "contribution" };
    // An adjustment's and a warning's.
    static constexpr QLatin1String kWritten { "written" };
    static constexpr QLatin1String kAcknowledged { "acknowledged" };
    static constexpr QLatin1String kReadBack { "readBack" };
    static constexpr QLatin1String kReadBackMatches { "readBackMatches" };
    static constexpr QLatin1String kTitle { "title" };
    static constexpr QLatin1String kText { "text" };

    static constexpr QLatin1String kAsFound { "as found" };
    static constexpr QLatin1String kAsLeft { "as left" };

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
