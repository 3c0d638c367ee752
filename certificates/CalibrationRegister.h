#ifndef DOSEGATE_CALIBRATIONREGISTER_H
#define DOSEGATE_CALIBRATIONREGISTER_H

#include "CalibrationSummary.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QTimer>
#include <QVector>

#include <functional>

class RecordStore;

// Every node the records know of, one row each, with its last calibration
// and when the next one falls due. Follows the store as rows are appended;
// today's date comes from a clock the tests set.
class CalibrationRegister : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { ColumnNode, ColumnSerial, ColumnCalibrated, ColumnVerdict, ColumnDue, ColumnState, ColumnCount };

    // Values that sort as they mean: dates as dates, the state as the days
    // left, a node never calibrated before any overdue one.
    static constexpr int SortRole = Qt::UserRole;
    static constexpr int kDefaultIntervalMonths = 12;

    using DateSource = std::function<QDate()>;

    // The store is not owned.
    explicit CalibrationRegister(RecordStore* pStore, QObject* parent = nullptr);

    void SetClock(DateSource clock);
    int IntervalMonths() const { return m_nIntervalMonths; }
    // The node shown on the row.
    int NodeAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

public slots:
    void SetIntervalMonths(int months);
    // Takes in the rows appended since the last look.
    void Update();

private:
    struct Entry
    {
        int node = 0;
        bool calibrated = false;
        CalibrationSummary last;
        // Where the laboratory approves before issue: the last one's word.
        enum Approval { NotAsked, Awaiting, Approved, Rejected } approval = NotAsked;
    };

    void Judge(Entry& entry) const;

    void ShowDates();
    void CheckDay();
    // Days until the entry's due date: negative when overdue.
    qint64 DaysLeft(const Entry& entry) const;
    static bool Failed(const Entry& entry);
    QVariant Display(const Entry& entry, int column) const;
    QVariant SortKey(const Entry& entry, int column) const;

    RecordStore* m_pStore; // not owned
    DateSource m_clock;
    QDate m_shownDay;
    int m_nIntervalMonths = kDefaultIntervalMonths;
    qint64 m_nSeenSeq = 0;
    QVector<Entry> m_entries; // by node
    QTimer m_dayTimer;
};

#endif
