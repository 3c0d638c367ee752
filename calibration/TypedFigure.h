#ifndef DOSEGATE_TYPEDFIGURE_H
#define DOSEGATE_TYPEDFIGURE_H

#include <QString>

#include <limits>

// Every figure a technician types is read here, once: in the desktop's
// locale or with a point, finite and within the range of what it is.
// Anything else is no figure at all, and says so, so that a field holding
// "abc" or "-5" can be marked and nothing computed from it is printed.
class TypedFigure
{
public:
    enum Range {
        NonNegative, // uncertainties, a background
        Positive,    // a tolerance
        DoseRate,    // a true value: above 0 and below 10 Sv/h
    };

    static constexpr double kDoseRateLimit = 1e7; // μSv/h, 10 Sv/h

    // The value, or NaN when the text is empty (then whenEmpty) or bad.
    double value = std::numeric_limits<double>::quiet_NaN();
    // Typed but not a figure of its range.
    bool bad = false;

    static TypedFigure Read(const QString& text, Range range,
                            double whenEmpty = std::numeric_limits<double>::quiet_NaN());
    // The figure as records keep it: decimal text one digit finer than it
    // is shown, never the noise of its binary form. Empty for NaN.
    static QString Kept(double value, int shownDecimals);
};

#endif
