#ifndef DOSEGATE_REFERENCESOURCE_H
#define DOSEGATE_REFERENCESOURCE_H

#include "UncertaintyBudget.h"

#include <QDate>
#include <QList>
#include <QString>

// The conventional true value of a point from the reference source's
// certificate: its dose rate at a reference date and distance, decayed to
// the day of the calibration and carried to this point's distance by the
// inverse square. Each input's uncertainty becomes a line of the budget.
class ReferenceSource
{
public:
    enum Nuclide { Cs137, Co60, Am241, Ra226 };

    // Half-lives and their standard uncertainties, in days, as recommended
    // by the Decay Data Evaluation Project (DDEP, LNHB "Table de
    // Radionucléides"): Cs-137 30.05(8) a, Co-60 1925.28(14) d,
    // Am-241 432.6(6) a, Ra-226 1600(7) a; a year of 365.2422 days.
    struct HalfLife
    {
        double days = 0;
        double uncertaintyDays = 0;
    };
    static HalfLife HalfLifeOf(Nuclide nuclide);
    // "Cs-137", as records keep it; a key it does not know gives false.
    static QString Key(Nuclide nuclide);
    static bool FromKey(const QString& key, Nuclide* nuclide);

    struct Certificate
    {
        Nuclide nuclide = Cs137;
        double doseRate = 0;            // μSv/h at the reference date and distance
        double doseRateUncertainty = 0; // %, expanded with k = 2
        QDate referenceDate;
        double distance = 1;            // m
        double distanceUncertainty = 0; // m, standard
    };

    struct Point
    {
        double distance = 1;            // m, of the detector's reference point
        double distanceUncertainty = 0; // m, standard
    };

    struct TrueValue
    {
        double doseRate = 0;            // μSv/h on the day
        double decayFactor = 0;
        double distanceFactor = 0;
        // Relative standard uncertainties, %.
        double certificate = 0;
        double decay = 0;
        double distance = 0;
        double expanded = 0;            // %, k = 2, of the three combined
        bool valid = false;
    };

    static TrueValue Compute(const Certificate& certificate, const Point& point, const QDate& day);
    // The three lines for the budget, each a normal standard uncertainty in
    // % of the true value, named in the operator's words.
    static QList<UncertaintyBudget::Component> BudgetLines(const TrueValue& value);
};

#endif
