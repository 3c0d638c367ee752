#ifndef DOSEGATE_CALIBRATIONSUMMARY_H
#define DOSEGATE_CALIBRATIONSUMMARY_H

#include "CalibrationRecord.h"
#include "RecordStore.h"

#include <QDate>
#include <QJsonObject>
#include <QString>
#include <QVector>

// What a stored calibration comes to: its item, its date, its verdict and
// the number of its certificate. Read from the record alone, so the
// register and every reissued certificate say the same of it.
class CalibrationSummary
{
public:
    // The points of one true value: as found and as left, either may be
    // missing.
    struct Result
    {
        int range = 0;
        bool hasAsFound = false;
        bool hasAsLeft = false;
        CalibrationRecord::Point asFound;
        CalibrationRecord::Point asLeft;
        // What the item was left with: as left, or as found when it was
        // not adjusted.
        const CalibrationRecord::Point& Final() const { return hasAsLeft ? asLeft : asFound; }
    };

    static CalibrationSummary Of(const RecordStore::Row& row);

    // The year the record was finished, its row and the head of its hash:
    // the row makes it unique in a store, the hash across stores.
    static QString CertificateNumber(const RecordStore::Row& row);
    // The date a time of the record names, where it was taken.
    static QDate DateOf(const QString& time);
    // One result per true value, in the order they were first measured.
    static QVector<Result> Results(const CalibrationRecord& record);
    // The worst final verdict: FAIL, then INCONCLUSIVE, then a point without
    // one (empty); PASS only when every point passed.
    static QString VerdictOf(const QVector<Result>& results);

    qint64 seq = 0;
    int node = 0;
    QString serial;
    QDate date; // of the last measurement
    QString verdict;
    QString operatorName;
    QString certificate;
};

#endif
