#ifndef DOSEGATE_RUNREPORT_H
#define DOSEGATE_RUNREPORT_H

#include "CalibrationFigures.h"
#include "ReportExport.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

// The readings table and the figures beside it, as texts: what the window
// shows and the report writes are the same texts, made once here.
class RunReport
{
public:
    // Step mark, time, reading, number.
    static constexpr int kColumns = 4;
    static constexpr int kReadingDecimals = 4; // shows any count × 0.0056 exactly
    static constexpr int kPercentDecimals = 2;

    struct Figures
    {
        QString error;
        QString variation;
        QString standardDeviation;
        QString expandedUncertainty;
        QString coverage;
    };

    // Empty where there is no figure: never "inf" or "nan", nor a figure no
    // field could show (an error of 1e302 % against a true value of 1e-300).
    static QString Figure(double value, int decimals);

    // The row's texts; column 0 is empty until a step marks it.
    const QStringList& AddRow(const QDateTime& time, float reading, int number);
    // Marks the newest row; false when there is none.
    bool MarkStep(const QString& mark);
    void Restart();
    int Rows() const { return m_rows.size(); }

    // The figures of a full window; those of none leave the texts as they are.
    void TakeFigures(const CalibrationFigures::Result& result);
    void ClearFigures();
    const Figures& Shown() const { return m_shown; }

    ReportExport::Table Table() const;
    // The true value and the background as typed, left out when they are no
    // figure of their range rather than written as "nan"; the rule and the
    // verdict as the figures last judged.
    ReportExport::Statistics Statistics(const QString& typedTrueValue, const QString& typedBackground,
                                        const CalibrationFigures::Inputs& inputs,
                                        const CalibrationFigures::Result& result, const QDateTime& time) const;

private:
    QVector<QStringList> m_rows;
    Figures m_shown;
};

#endif
