#ifndef DOSEGATE_CALIBRATIONFIGURES_H
#define DOSEGATE_CALIBRATIONFIGURES_H

#include "Reading.h"

#include <QList>
#include <QObject>
#include <QString>

#include <limits>

// The figures of a reading run. The mean and the coefficient of variation of
// the newest N readings are summed in single precision, as the readings are
// held. Against a true value come the relative inherent error of the mean
// itself (never of its rounded text), its expanded uncertainty after the GUM
// (type A from the spread of the window, type B from the reference's
// certificate, k from Student's t at 95.45 % for the Welch-Satterthwaite
// degrees of freedom) and a verdict under a decision rule. A figure that
// cannot be had is NaN, never an infinity, and gives no verdict.
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
        DecisionRule rule = SimpleAcceptance;
    };

    struct Result
    {
        int n = 0;                           // readings behind the mean
        double mean = kEmpty;                // μSv/h
        double variation = kEmpty;           // %, population
        double standardDeviation = kEmpty;   // μSv/h, divisor n − 1
        double error = kEmpty;               // %
        double degreesOfFreedom = kEmpty;
        double coverageFactor = kEmpty;
        double expandedUncertainty = kEmpty; // %, of the error
        Verdict verdict = NoVerdict;
    };

    explicit CalibrationFigures(QObject* parent = nullptr);

    // A text as a figure: kEmpty unless it is a finite number that a
    // single-precision float holds; an empty text gives whenEmpty.
    static double Number(const QString& text, double whenEmpty = kEmpty);
    // Student's t for 95.45 % two-sided coverage.
    static double CoverageFactor(double degreesOfFreedom);
    // The rule and the verdict as records and reports keep them, in no
    // particular language.
    static QString RuleKey(DecisionRule rule);
    static QString VerdictKey(Verdict verdict);
    // How a verdict was reached, e.g. "|e| + U ≤ 10 %"; empty without one.
    static QString RuleWords(DecisionRule rule, Verdict verdict, double tolerance);
    static QString VerdictText(Verdict verdict);
    // "k = 2.14", and GUM's 2.025 with its third decimal; empty without one.
    static QString CoverageText(double coverageFactor);
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

public slots:
    void AddReading(const Reading& reading);
    // A potentiometer step or a new node: averaging starts again; the last
    // figures stay until a full window replaces them.
    void RestartAveraging();

signals:
    // A full window gave a new mean; low and high bound its expanded
    // uncertainty, NaN while there is none.
    void MeanChanged(double mean, double low, double high);

private:
    void UpdateWindowFigures();
    Result Compute(const Inputs& inputs) const;

    QList<float> m_listAverage;
    int m_nAverageNum;
    float m_fAverage;
    float m_fVariation;
    // Of the window that gave the mean.
    int m_nWindow;
    double m_fStandardDeviation;
    Inputs m_inputs;
    Result m_result;
};

Q_DECLARE_METATYPE(CalibrationFigures::Result)

#endif
