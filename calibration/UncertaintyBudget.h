#ifndef DOSEGATE_UNCERTAINTYBUDGET_H
#define DOSEGATE_UNCERTAINTYBUDGET_H

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <limits>

class QSettings;

// The laboratory's uncertainty budget of the true value: the reference
// field's certificate, the run's repeatability and whatever else the lab
// adds (distance, decay, position, scatter, temperature, pressure), each
// with its distribution and its degrees of freedom. Kept in the settings,
// copied into every point's record.
class UncertaintyBudget
{
    Q_DECLARE_TR_FUNCTIONS(UncertaintyBudget)

public:
    enum Source {
        Entered,       // a value the lab typed into the budget
        ReferenceField, // the reference's expanded uncertainty, typed with the run
        Repeatability, // Type A, s/√n of the run
    };
    enum Unit { PercentOfTrueValue, DoseRate };
    enum Distribution { Normal, Rectangular, Triangular, UShaped };

    static constexpr double kInfinite = std::numeric_limits<double>::infinity();

    struct Component
    {
        QString name;
        Source source = Entered;
        Unit unit = PercentOfTrueValue;
        // As the lab states it: an expanded uncertainty for a normal
        // distribution (with k), a half-width for the others.
        double value = 0;
        Distribution distribution = Normal;
        double k = 2;
        double degreesOfFreedom = kInfinite;

        // The standard uncertainty, relative to the true value t (μSv/h);
        // NaN when it cannot be had.
        double RelativeStandardUncertainty(double trueValue) const;
        double Divisor() const;
    };

    // The reference field (its U, k = 2) and repeatability.
    static QList<Component> Defaults();

    static QList<Component> Load(QSettings& settings);
    static void Save(QSettings& settings, const QList<Component>& components);
    // "rectangular", as settings and records keep it; its words for the lab.
    static QString DistributionKey(Distribution distribution);
    static QString DistributionText(Distribution distribution);
    static QString UnitKey(Unit unit);
    static QString SourceKey(Source source);
    // A component's degrees of freedom as records keep them: "inf" for none.
    static QString DegreesOfFreedomText(double degreesOfFreedom);
};

#endif
