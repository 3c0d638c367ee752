#ifndef DOSEGATE_NODEBOARD_H
#define DOSEGATE_NODEBOARD_H

#include "MonotonicClock.h"
#include "NodeHistory.h"
#include "WatchRequests.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QTimer>
#include <QVector>

#include <array>
#include <memory>

class AlarmLevels;

// Every node heard on the link at a glance: one row per node, sorted by id,
// with its last dose, how old that is, its recent figures and its state.
// Frames only update the nodes' records; the view learns of them at most
// every kRefreshMs, when the states are judged too, however many frames
// arrive.
class NodeBoard : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        ColumnId,
        ColumnDose,
        ColumnAge,
        ColumnLastMinute,
        ColumnMinimum,
        ColumnMean,
        ColumnMaximum,
        ColumnTrend,
        ColumnAlarmLevel,
        ColumnState,
        ColumnCount
    };
    enum State { Live, Stale, Lost, AboveAlarm };
    Q_ENUM(State)

    // The trend column's points, a QVector<float> as NodeHistory::Trend
    // makes it.
    static constexpr int TrendRole = Qt::UserRole + 1;
    static constexpr int kRefreshMs = 250;
    static constexpr qint64 kStaleAfterMs = 3 * WatchRequests::kPeriodMs;
    static constexpr qint64 kLostAfterMs = 60 * 1000;
    static constexpr int kMaxId = 255;
    // A dose hovering at the level would change the state at every
    // crossing: above alarm is left only below this share of the level, or
    // after this long at or below the level.
    static constexpr double kLeaveAlarmShare = 0.95;
    static constexpr qint64 kLeaveAlarmAfterMs = 2 * WatchRequests::kPeriodMs;

    // The levels are not owned.
    explicit NodeBoard(AlarmLevels* levels, QObject* parent = nullptr);
    ~NodeBoard() override;

    void SetClock(MonotonicClock::Source clock);
    // The link came up to this controller ("host:port"). Another controller
    // has other nodes: the board starts afresh with its levels. The same one
    // again keeps the board, so a short drop hides no silent node.
    void SetController(const QString& address);
    // The console sent a threshold; it becomes the node's alarm level once
    // the node acknowledges it.
    void ThresholdSent(int id, double threshold);
    // The node ids in a column of another table (the register of
    // calibrations), as it changes: like those with an alarm level, they are
    // shown before they are heard, as not heard since start. Not owned.
    void KnowNodesOf(const QAbstractItemModel* model, int column);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

public slots:
    // The link's relayed dose count; ids outside 1 to 255 are no node's.
    void TakeDoseCount(int id, int count);
    void TakeReply(int id, int y, int x);
    void SetRequesting(bool on);
    // Judges the states and shows what changed; the refresh timer's slot.
    void Refresh();

private slots:
    void TakeKnownNodes();

signals:
    // Every change of a node's state, back to live included.
    void StateChanged(int id, NodeBoard::State state);
    // The changes of one refresh together, in id order: states as State.
    void StatesChanged(const QVector<int>& ids, const QVector<int>& states);

private:
    struct Node;

    Node* NodeAt(const QModelIndex& index) const;
    Node& Slot(int id);
    void ShowNewNodes();
    State Judge(const Node& node, qint64 now) const;
    bool Exceeds(const Node& node, double share) const;
    void Enter(Node& node, State state, qint64 now);
    QVariant Display(const Node& node, int column) const;
    QVariant Decoration(const Node& node, int column, int role) const;
    QString AgeText(qint64 ms) const;
    void ScheduleRefresh();

    AlarmLevels* m_pLevels; // not owned
    const QAbstractItemModel* m_pKnown = nullptr; // not owned
    int m_nKnownColumn = 0;
    MonotonicClock::Source m_clock;
    std::array<std::unique_ptr<Node>, kMaxId + 1> m_nodes; // by id
    QVector<Node*> m_rows;                                  // shown, by id
    bool m_bNewNodes = false;
    QHash<int, double> m_pendingThresholds; // sent, not yet acknowledged
    bool m_bRequesting = false;
    qint64 m_nRequestingSinceMs = 0;
    qint64 m_nRefreshedMs = 0; // the time the view shows
    QTimer m_refreshTimer;
};

#endif
