#ifndef DOSEGATE_READING_H
#define DOSEGATE_READING_H

#include <QMetaType>
#include <QtGlobal>

// One reading the potentiometer page accepted, as everything that keeps it
// (journal, trend, figures) receives it.
struct Reading
{
    qint64 arrivalMs = 0; // when it arrived, ms since the epoch (UTC)
    int id = 0;
    int count = 0;
    float value = 0; // μSv/h: count × 0.0056, held in single precision
    int row = 0;     // the number of the table row that shows it
};

Q_DECLARE_METATYPE(Reading)

#endif
