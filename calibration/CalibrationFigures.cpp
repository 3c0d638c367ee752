#include "CalibrationFigures.h"

#include "StudentT.h"
#include "TypedFigure.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kDefaultAverageNum = 20;

constexpr int kRatioDecimals = 1;
constexpr int kPercentDecimals = 2;
constexpr int kRateDecimals = 4;

// Kept in records as written here; shown through tr().
const char* const kIndistinguishable = QT_TRANSLATE_NOOP(
    "CalibrationFigures",
    "not distinguishable from background: the net mean %1 uSv/h does not exceed the decision threshold %2 uSv/h");
const char* const kScatter = QT_TRANSLATE_NOOP(
    "CalibrationFigures", "readings scatter %1 times what counting allows (index of dispersion %2, %3 degrees of freedom)");
const char* const kRisk = QT_TRANSLATE_NOOP("CalibrationFigures",
                                            "probability that the true error lies within ±%1 %: %2 % (U(e) %3 > %1/3)");
const char* const kRiskWarning = QT_TRANSLATE_NOOP(
    "CalibrationFigures", "U(e) %1 is not smaller than the tolerance ±%2 %: a PASS or FAIL under simple acceptance is "
                          "little better than a guess");
const char* const kBelowDetection = QT_TRANSLATE_NOOP(
    "CalibrationFigures", "the true value %1 uSv/h lies below the detection limit %2 uSv/h of %3 readings on a "
                          "background of %4 uSv/h: the run cannot tell it from background");

bool IsNumber(double value)
{
    return std::isfinite(value);
}

QString Words(const char* text, bool translated)
{
    return translated ? CalibrationFigures::tr(text) : QString::fromUtf8(text);
}

} // namespace

CalibrationFigures::CalibrationFigures(QObject* parent)
    : QObject(parent)
    , m_nAverageNum(kDefaultAverageNum)
    , m_fAverage(0)
    , m_fVariation(0)
    , m_nWindow(0)
    , m_fStandardDeviation(kEmpty)
    , m_fMeasuredBackgroundDof(UncertaintyBudget::kInfinite)
{
}

double CalibrationFigures::CoverageFactor(double degreesOfFreedom)
{
    return StudentT::CoverageFactor(degreesOfFreedom);
}

QString CalibrationFigures::RuleKey(DecisionRule rule)
{
    return rule == GuardedAcceptance ? QStringLiteral("guarded acceptance") : QStringLiteral("simple acceptance");
}

QString CalibrationFigures::VerdictKey(Verdict verdict)
{
    switch (verdict) {
    case Pass: return QStringLiteral("PASS");
    case Fail: return QStringLiteral("FAIL");
    case Inconclusive: return QStringLiteral("INCONCLUSIVE");
    case NoVerdict: break;
    }
    return QString();
}

QString CalibrationFigures::RuleWords(DecisionRule rule, Verdict verdict, double tolerance)
{
    const QString limit = QString::number(tolerance, 'g', 6);
    switch (verdict) {
    case Pass:
        return rule == GuardedAcceptance ? tr("|e| + U ≤ %1 %").arg(limit) : tr("|e| ≤ %1 %").arg(limit);
    case Fail:
        return rule == GuardedAcceptance ? tr("|e| − U > %1 %").arg(limit) : tr("|e| > %1 %").arg(limit);
    case Inconclusive:
        return tr("|e| − U ≤ %1 % < |e| + U").arg(limit);
    case NoVerdict:
        break;
    }
    return QString();
}

QString CalibrationFigures::VerdictTextOfKey(const QString& key)
{
    for (Verdict verdict : { Pass, Fail, Inconclusive }) {
        if (VerdictKey(verdict) == key)
            return VerdictText(verdict);
    }
    return key;
}

QString CalibrationFigures::CoverageText(double coverageFactor)
{
    if (!std::isfinite(coverageFactor))
        return QString();
    return QStringLiteral("k = ") + QString::number(coverageFactor, 'f', 2);
}

QString CalibrationFigures::VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Pass: return tr("PASS");
    case Fail: return tr("FAIL");
    case Inconclusive: return tr("INCONCLUSIVE");
    case NoVerdict: break;
    }
    return QString();
}

void CalibrationFigures::AddReading(const Reading& reading)
{
    m_listAverage.append(reading.value);
    m_listCounts.append(reading.count);
    // An N below 1 is raised by the next table tick; until then the window
    // only fills, so nothing is divided by zero.
    if (m_nAverageNum < 1 || m_listAverage.size() < m_nAverageNum)
        return;
    while (m_listAverage.size() > m_nAverageNum) {
        m_listAverage.removeFirst();
        m_listCounts.removeFirst();
    }
    UpdateWindowFigures();
    const Result result = Compute(m_inputs);
    // U(e) in the readings' unit: e moves by one point when M moves by T/100.
    const double band = result.expandedUncertainty / 100.0 * m_inputs.trueValue;
    emit MeanChanged(m_fAverage, double(m_fAverage) - band, double(m_fAverage) + band);
}

// The previous window's figures go with it: a point or a verdict taken
// before the new window is full would otherwise be the old run's.
void CalibrationFigures::RestartAveraging()
{
    m_listAverage.clear();
    m_listCounts.clear();
    m_nWindow = 0;
    m_fAverage = 0;
    m_fVariation = 0;
    m_fStandardDeviation = kEmpty;
    m_result = Result();
}

void CalibrationFigures::UseAsBackground()
{
    if (m_nWindow < 2 || !IsNumber(m_fStandardDeviation))
        return;
    m_sMeasuredBackground = TypedFigure::Kept(m_fAverage, kRateDecimals);
    m_sMeasuredBackgroundU = TypedFigure::Kept(2.0 * m_fStandardDeviation / std::sqrt(double(m_nWindow)), kRateDecimals);
    m_fMeasuredBackgroundDof = m_nWindow - 1;
    emit BackgroundMeasured(m_sMeasuredBackground);
    emit BackgroundUncertaintyMeasured(m_sMeasuredBackgroundU);
}

double CalibrationFigures::BackgroundDegreesOfFreedom(const QString& background, const QString& uncertainty) const
{
    const bool measured = !m_sMeasuredBackground.isEmpty() && background.trimmed() == m_sMeasuredBackground
        && uncertainty.trimmed() == m_sMeasuredBackgroundU;
    return measured ? m_fMeasuredBackgroundDof : UncertaintyBudget::kInfinite;
}

// Mean and population coefficient of variation in single precision; the
// standard deviation of the mean's uncertainty with divisor n − 1, in double.
void CalibrationFigures::UpdateWindowFigures()
{
    float sum = 0;
    for (float reading : qAsConst(m_listAverage))
        sum += reading;
    m_fAverage = sum / float(m_nAverageNum);

    float squares = 0;
    for (float reading : qAsConst(m_listAverage)) {
        const float deviation = m_fAverage - reading;
        squares += deviation * deviation;
    }
    const float deviation = std::sqrt(squares / float(m_nAverageNum));
    // All readings zero: no spread, rather than 0/0.
    m_fVariation = m_fAverage != 0.0f ? deviation / m_fAverage * 100.0f : 0.0f;

    m_nWindow = m_listAverage.size();
    double mean = 0;
    for (float reading : qAsConst(m_listAverage))
        mean += reading;
    mean /= m_nWindow;
    double sumOfSquares = 0;
    for (float reading : qAsConst(m_listAverage))
        sumOfSquares += (reading - mean) * (reading - mean);
    m_fStandardDeviation = m_nWindow >= 2 ? std::sqrt(sumOfSquares / (m_nWindow - 1)) : kEmpty;
}

CalibrationFigures::Result CalibrationFigures::Evaluate(const Inputs& inputs)
{
    m_inputs = inputs;
    m_result = Compute(inputs);
    return m_result;
}

CalibrationFigures::Result CalibrationFigures::Compute(const Inputs& inputs) const
{
    Result result;
    if (m_nWindow == 0)
        return result;
    result.n = m_nWindow;
    result.mean = m_fAverage;
    result.variation = m_fVariation;
    result.standardDeviation = m_fStandardDeviation;
    result.dispersion = CountingStatistics::DispersionOf(m_listCounts);

    const double t = inputs.trueValue;
    const double background = inputs.background;
    const double uB = inputs.backgroundUncertainty / 2.0;
    if (!IsNumber(t) || t <= 0 || !IsNumber(background) || background < 0 || !IsNumber(uB) || uB < 0)
        return result;
    const double net = result.mean - background;
    result.decisionThreshold = CountingStatistics::DecisionThreshold(background, uB, result.n);
    result.detectionLimit = CountingStatistics::DetectionLimit(background, uB, result.n);
    if (net <= result.decisionThreshold) {
        result.indistinguishable = true;
        return result;
    }
    result.error = (net / t - 1.0) * 100.0;

    // Every term of u(e) in points of e. A term of T enters as R = (M − B)/T
    // times its relative uncertainty; M and B enter as 100/T times theirs.
    const double reference = inputs.referenceUncertainty;
    if (result.n < 2 || !IsNumber(result.standardDeviation) || !IsNumber(reference) || reference < 0)
        return result;
    const double ratio = net / t;
    bool repeatabilityListed = false;
    QList<Contribution> terms;
    const auto repeatability = [&](const QString& name) {
        Contribution term;
        term.name = name;
        term.u = result.standardDeviation / std::sqrt(double(result.n));
        term.unit = QStringLiteral("μSv/h");
        term.contribution = 100.0 * term.u / t;
        term.degreesOfFreedom = result.n - 1;
        return term;
    };
    for (const UncertaintyBudget::Component& component : inputs.budget) {
        if (component.source == UncertaintyBudget::Repeatability) {
            terms << repeatability(component.name);
            repeatabilityListed = true;
            continue;
        }
        UncertaintyBudget::Component stated = component;
        if (component.source == UncertaintyBudget::ReferenceField) {
            stated.value = reference;
            stated.unit = UncertaintyBudget::PercentOfTrueValue;
        }
        const double relative = stated.RelativeStandardUncertainty(t);
        if (!IsNumber(relative))
            return result;
        Contribution term;
        term.name = stated.name;
        term.distribution = UncertaintyBudget::DistributionKey(stated.distribution);
        term.u = stated.unit == UncertaintyBudget::DoseRate ? relative * t : relative * 100.0;
        term.unit = stated.unit == UncertaintyBudget::DoseRate ? QStringLiteral("μSv/h") : QStringLiteral("%");
        term.contribution = 100.0 * ratio * relative;
        term.degreesOfFreedom = stated.degreesOfFreedom;
        terms << term;
    }
    if (!repeatabilityListed)
        terms.prepend(repeatability(QStringLiteral("repeatability")));
    if (uB > 0) {
        Contribution term;
        term.name = QStringLiteral("background");
        term.u = uB;
        term.unit = QStringLiteral("μSv/h");
        term.contribution = 100.0 * uB / t;
        term.degreesOfFreedom = inputs.backgroundDegreesOfFreedom;
        terms << term;
    }

    // Welch-Satterthwaite, each term relative to the largest so that tiny
    // uncertainties do not underflow.
    double largest = 0;
    for (const Contribution& term : terms)
        largest = std::max(largest, std::abs(term.contribution));
    double squares = 0;
    double fourths = 0;
    for (const Contribution& term : terms) {
        const double x = largest > 0 ? term.contribution / largest : 0;
        squares += x * x;
        if (std::isfinite(term.degreesOfFreedom) && term.degreesOfFreedom > 0)
            fourths += x * x * x * x / term.degreesOfFreedom;
    }
    result.budget = terms;
    result.standardUncertainty = largest * std::sqrt(squares);
    const double effective = fourths > 0 ? squares * squares / fourths : std::numeric_limits<double>::infinity();
    result.degreesOfFreedom = std::isfinite(effective) ? std::floor(effective) : effective;
    result.coverageFactor = CoverageFactor(result.degreesOfFreedom);
    result.expandedUncertainty = result.coverageFactor * result.standardUncertainty;
    if (!IsNumber(result.expandedUncertainty)) {
        result.expandedUncertainty = kEmpty;
        return result;
    }
    // The terms of u(e) are R × 100 times those of N's relative uncertainty.
    result.factorUncertainty = result.expandedUncertainty / ratio;

    const double tolerance = inputs.tolerance;
    if (!IsNumber(tolerance) || tolerance <= 0)
        return result;
    const double error = std::abs(result.error);
    const double U = result.expandedUncertainty;
    if (inputs.rule == GuardedAcceptance) {
        result.verdict = error + U <= tolerance ? Pass : error - U > tolerance ? Fail : Inconclusive;
    } else {
        result.verdict = error <= tolerance ? Pass : Fail;
        // ILAC-G8:2019: a simple verdict with a large U states its risk.
        if (U > tolerance / 3.0) {
            result.probabilityWithin = StudentT::ProbabilityWithin(result.error, result.standardUncertainty,
                                                                   result.degreesOfFreedom, tolerance);
        }
    }
    return result;
}

QStringList CalibrationFigures::Remarks(const Inputs& inputs, const Result& result, bool translated)
{
    QStringList remarks;
    if (result.indistinguishable) {
        remarks << Words(kIndistinguishable, translated)
                       .arg(QString::number(result.mean - inputs.background, 'f', kRateDecimals))
                       .arg(QString::number(result.decisionThreshold, 'f', kRateDecimals));
    }
    if (result.dispersion.valid && result.dispersion.unusual) {
        remarks << Words(kScatter, translated)
                       .arg(QString::number(result.dispersion.ratio, 'f', kRatioDecimals))
                       .arg(QString::number(result.dispersion.index, 'f', kRatioDecimals))
                       .arg(result.n - 1);
    }
    if (IsNumber(result.probabilityWithin)) {
        const QString tolerance = QString::number(inputs.tolerance, 'g', 6);
        const QString U = QString::number(result.expandedUncertainty, 'f', kPercentDecimals);
        remarks << Words(kRisk, translated)
                       .arg(tolerance)
                       .arg(QString::number(result.probabilityWithin * 100.0, 'f', 1))
                       .arg(U);
        if (result.expandedUncertainty >= inputs.tolerance)
            remarks << Words(kRiskWarning, translated).arg(U).arg(tolerance);
    }
    return remarks;
}

QString CalibrationFigures::DetectionWarning(const Inputs& inputs, int n, bool translated)
{
    const double uB = inputs.backgroundUncertainty / 2.0;
    if (n < 1 || !IsNumber(inputs.trueValue) || !IsNumber(inputs.background) || !IsNumber(uB))
        return QString();
    const double limit = CountingStatistics::DetectionLimit(inputs.background, uB, n);
    if (!(inputs.trueValue < limit))
        return QString();
    return Words(kBelowDetection, translated)
        .arg(QString::number(inputs.trueValue, 'g', 6))
        .arg(QString::number(limit, 'f', kRateDecimals))
        .arg(n)
        .arg(QString::number(inputs.background, 'g', 6));
}
