#ifndef DOSEGATE_CALIBRATIONFIGURES_H
#define DOSEGATE_CALIBRATIONFIGURES_H

#include "CountingStatistics.h"
#include "Reading.h"
#include "UncertaintyBudget.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <limits>

// The figures of a reading run. The mean and the coefficient of variation of
// the newest N readings are summed in single precision, as the readings are
// held. Against a true value T come the relative inherent error of the mean
// M itself (never of its rounded text) less the background B,
// e = ((M − B)/T − 1) × 100, the uncertainty of e in its own points from the
// sensitivities of e to M (Type A, s/√n), B (its own u) and T (the budget),
// k from Student's t at 95.45 % for the Welch-Satterthwaite degrees of
// freedom, and a verdict under a decision rule. A net mean below the
// decision threshold of counting gives no error at all. A figure that cannot
// be had is NaN, never an infinity, and gives no verdict.
class CalibrationFigures : public QObject
{
    Q_OBJECT

public:
    enum DecisionRule { SimpleAcceptance, GuardedAcceptance };
    enum Verdict { NoVerdict, Pass, Fail, Inconclusive };

    static constexpr double kEmpty = std::numeric_limits<double>::quiet_NaN();

    // What the technician typed, as numbers; kEmpty where a text is none.
    struct Inputs
    {
        double trueValue = kEmpty;       // μSv/h
        double tolerance = kEmpty;       // %
        double background = 0;           // μSv/h, the node's reading without the source
        double referenceUncertainty = 0; // %, the true value's, expanded with k = 2
        double backgroundUncertainty = 0; // μSv/h, the background's, expanded with k = 2
        double backgroundDegreesOfFreedom = UncertaintyBudget::kInfinite;
        DecisionRule rule = SimpleAcceptance;
        QList<UncertaintyBudget::Component> budget = UncertaintyBudget::Defaults();
    };

    // One line of the budget as the certificate prints it.
    struct Contribution
    {
        QString name;
        QString distribution; // its key; empty for a Type A term
        double u = 0;         // standard uncertainty, in unit
        QString unit;         // "%" of the true value or "μSv/h"
        double contribution = 0; // to u(e), in points of e
        double degreesOfFreedom = UncertaintyBudget::kInfinite;
    };

    struct Result
    {
        int n = 0;                           // readings behind the mean
        double mean = kEmpty;                // μSv/h
        double variation = kEmpty;           // %, population
        double standardDeviation = kEmpty;   // μSv/h, divisor n − 1
        double error = kEmpty;               // %
        double degreesOfFreedom = kEmpty;    // effective, truncated to a whole number
        double coverageFactor = kEmpty;
        double standardUncertainty = kEmpty; // u(e), points of e
        double expandedUncertainty = kEmpty; // U(e), points of e
        double factorUncertainty = kEmpty;   // %, relative expanded U of N = T/(M − B)
        QList<Contribution> budget;
        double decisionThreshold = kEmpty;   // μSv/h, of the net mean
        double detectionLimit = kEmpty;      // μSv/h, of this run's length
        bool indistinguishable = false;      // net mean at or below the decision threshold
        CountingStatistics::Dispersion dispersion;
        double probabilityWithin = kEmpty;   // simple acceptance with a large U: the specific risk's complement
        Verdict verdict = NoVerdict;
    };

    explicit CalibrationFigures(QObject* parent = nullptr);

    // Student's t for 95.45 % two-sided coverage.
    static double CoverageFactor(double degreesOfFreedom);
    // The rule and the verdict as records and reports keep them, in no
    // particular language.
    static QString RuleKey(DecisionRule rule);
    static QString VerdictKey(Verdict verdict);
    // How a verdict was reached, e.g. "|e| + U ≤ 10 %"; empty without one.
    static QString RuleWords(DecisionRule rule, Verdict verdict, double tolerance);
    static QString VerdictText(Verdict verdict);
    // "k = 2.14"; empty without one.
    static QString CoverageText(double coverageFactor);
    // What the figures want said beside them (near background, a scatter
    // that counting does not explain, the risk of a simple verdict), in the
    // operator's words or, untranslated, as records keep them.
    static QStringList Remarks(const Inputs& inputs, const Result& result, bool translated = true);
    // Before a run: a true value that n readings cannot detect; empty when
    // they can.
    static QString DetectionWarning(const Inputs& inputs, int n, bool translated = true);
    // A kept verdict in the operator's words; a key it does not know as it is.
    static QString VerdictTextOfKey(const QString& key);

    // N. Values below 1 leave the window filling until N is raised.
    int AverageNumber() const { return m_nAverageNum; }
    void SetAverageNumber(int nAverageNum) { m_nAverageNum = nAverageNum; }
    float Average() const { return m_fAverage; }
    float Variation() const { return m_fVariation; }

    // The figures of the newest full window against the inputs, which are
    // kept for the band drawn with later means.
    Result Evaluate(const Inputs& inputs);
    const Inputs& LastInputs() const { return m_inputs; }
    const Result& LastResult() const { return m_result; }
    // n − 1 of the run that measured the background while its texts stand
    // as that run gave them; infinite for a background typed by hand.
    double BackgroundDegreesOfFreedom(const QString& background, const QString& uncertainty) const;

public slots:
    void AddReading(const Reading& reading);
    // A potentiometer step or a new node: averaging starts again and the
    // last figures are gone until a full window replaces them.
    void RestartAveraging();
    // The full window, run with the source shielded, becomes the
    // background: its mean and U = 2·s/√n, so that u(B) = s/√n.
    void UseAsBackground();

signals:
    // A full window gave a new mean; low and high bound its expanded
    // uncertainty, NaN while there is none.
    void MeanChanged(double mean, double low, double high);
    void BackgroundMeasured(const QString& mean);
    void BackgroundUncertaintyMeasured(const QString& expandedUncertainty);

private:
    void UpdateWindowFigures();
    Result Compute(const Inputs& inputs) const;

    QList<float> m_listAverage;
    QList<int> m_listCounts; // the counts behind m_listAverage
    int m_nAverageNum;
    float m_fAverage;
    float m_fVariation;
    // Of the window that gave the mean.
    int m_nWindow;
    double m_fStandardDeviation;
    Inputs m_inputs;
    Result m_result;
    QString m_sMeasuredBackground;
    QString m_sMeasuredBackgroundU;
    double m_fMeasuredBackgroundDof;
};

Q_DECLARE_METATYPE(CalibrationFigures::Result)

#endif
