#include "NodeBoard.h"

#include "AlarmLevels.h"
#include "FrameProtocol.h"
#include "Log.h"

#include <QColor>
#include <QFont>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kDecimals = 4;
constexpr qint64 kSecondsShownUpTo = 120;
constexpr qint64 kMinutesShownUpTo = 120 * 60;

// Lost and above alarm differ in hue and lightness and carry a symbol of
// their own, so neither rests on telling red from another colour.
const QColor kAmber(0xff, 0xbf, 0x00);
const QColor kRed(0xd0, 0x20, 0x20);
const QColor kLostGrey(0x4a, 0x4a, 0x5a);
const QColor kFaded(0x80, 0x80, 0x80);
const char* const kLostSymbol = "\u2715 ";   // ✕
const char* const kAlarmSymbol = "\u25B2 ";  // ▲

QString Dose(float dose)
{
    return std::isnan(dose) ? QString() : QString::number(double(dose), 'f', kDecimals);
}

// Between refreshes the highest dose counts, so a flood cannot hide one
// above the level.
float JudgedDose(bool framesSinceRefresh, float peak, float last)
{
    return framesSinceRefresh ? peak : last;
}

bool IsStatistic(int column)
{
    return column >= NodeBoard::ColumnDose && column <= NodeBoard::ColumnMaximum
        && column != NodeBoard::ColumnAge;
}

// A level as the operator types it: in the C locale or the desktop's.
bool ParseLevel(const QString& text, double& level)
{
    bool ok = false;
    level = QLocale::c().toDouble(text, &ok);
    if (!ok)
        level = QLocale().toDouble(text, &ok);
    return ok && std::isfinite(level) && level > 0.0;
}

} // namespace

struct NodeBoard::Node {
    explicit Node(int nodeId)
        : id(nodeId)
    {
    }

    int id;
    NodeHistory history;
    float lastDose = 0;
    qint64 lastMs = 0;
    float peak = 0; // the highest dose since the last refresh
    bool framesSinceRefresh = false;
    bool heardInState = false; // a frame came since the state was entered
    qint64 belowSinceMs = -1;  // above alarm, but at or below the level since then
    bool heard = false; // since start: else the node is only known
    State state = Live;
    bool shown = false;
    NodeHistory::Summary summary;
    QVector<float> trend;
};

NodeBoard::NodeBoard(AlarmLevels* levels, QObject* parent)
    : QAbstractTableModel(parent)
    , m_pLevels(levels)
    , m_clock(MonotonicClock::System())
{
    m_refreshTimer.setTimerType(Qt::PreciseTimer); // never sooner than the period
    m_refreshTimer.setInterval(kRefreshMs);
    connect(&m_refreshTimer, SIGNAL(timeout()), this, SLOT(Refresh()));
    qRegisterMetaType<NodeBoard::State>("NodeBoard::State"); // for queued receivers of StateChanged
}

NodeBoard::~NodeBoard() = default;

void NodeBoard::SetClock(MonotonicClock::Source clock)
{
    m_clock = std::move(clock);
}

void NodeBoard::SetController(const QString& address)
{
    if (address == m_pLevels->Controller())
        return;
    beginResetModel();
    m_refreshTimer.stop();
    m_rows.clear();
    for (auto& node : m_nodes)
        node.reset();
    m_bNewNodes = false;
    m_pendingThresholds.clear();
    m_pLevels->SetController(address);
    endResetModel();
    for (int id = 1; id <= kMaxId; ++id) {
        if (m_pLevels->InForce(id) > 0.0)
            Slot(id);
    }
    TakeKnownNodes();
}

void NodeBoard::KnowNodesOf(const QAbstractItemModel* model, int column)
{
    m_pKnown = model;
    m_nKnownColumn = column;
    connect(model, SIGNAL(modelReset()), this, SLOT(TakeKnownNodes()));
    connect(model, SIGNAL(rowsInserted(QModelIndex, int, int)), this, SLOT(TakeKnownNodes()));
    TakeKnownNodes();
}

void NodeBoard::TakeKnownNodes()
{
    if (!m_pKnown)
        return;
    for (int row = 0; row < m_pKnown->rowCount(); ++row) {
        const int id = m_pKnown->index(row, m_nKnownColumn).data().toInt();
        if (id >= 1 && id <= kMaxId)
            Slot(id);
    }
}

// The node's record, made on first mention and shown at the next refresh.
NodeBoard::Node& NodeBoard::Slot(int id)
{
    std::unique_ptr<Node>& slot = m_nodes[std::size_t(id)];
    if (!slot) {
        slot = std::make_unique<Node>(id);
        m_bNewNodes = true;
        ScheduleRefresh();
    }
    return *slot;
}

void NodeBoard::ThresholdSent(int id, double threshold)
{
    m_pendingThresholds.insert(id, threshold);
}

void NodeBoard::TakeDoseCount(int id, int count)
{
    if (id < 1 || id > kMaxId)
        return;
    const qint64 now = m_clock();
    const float dose = float(FrameProtocol::DoseOfCount(count));
    Node& node = Slot(id);
    node.heard = true;
    node.history.Add(dose, now);
    node.lastDose = dose;
    node.lastMs = now;
    node.peak = node.framesSinceRefresh ? std::max(node.peak, dose) : dose;
    node.framesSinceRefresh = true;
    node.heardInState = true;
    ScheduleRefresh();
}

void NodeBoard::TakeReply(int id, int /*y*/, int x)
{
    if (x != FrameProtocol::ReplyThreshold)
        return;
    const auto sent = m_pendingThresholds.find(id);
    if (sent == m_pendingThresholds.end())
        return;
    m_pLevels->SetAcknowledged(id, sent.value());
    m_pendingThresholds.erase(sent);
}

// Silence counts only while requests go out: a board nobody asks for
// answers is not going stale. It counts from the start of the requests,
// so nodes heard long before get their periods to answer.
void NodeBoard::SetRequesting(bool on)
{
    if (on && !m_bRequesting)
        m_nRequestingSinceMs = m_clock();
    m_bRequesting = on;
}

void NodeBoard::ScheduleRefresh()
{
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void NodeBoard::Refresh()
{
    const qint64 now = m_clock();
    m_nRefreshedMs = now;
    ShowNewNodes();
    QVector<int> ids;
    QVector<int> states;
    for (Node* node : qAsConst(m_rows)) {
        if (!node->heard)
            continue; // nothing to judge yet
        if (node->state != AboveAlarm || Exceeds(*node, 1.0))
            node->belowSinceMs = -1;
        else if (node->belowSinceMs < 0)
            node->belowSinceMs = now;
        const State state = Judge(*node, now);
        if (state != node->state) {
            Enter(*node, state, now);
            ids.append(node->id);
            states.append(state);
        }
        node->framesSinceRefresh = false;
        node->summary = node->history.Summarise(now);
        node->history.Trend(now, node->trend);
    }
    if (!ids.isEmpty())
        emit StatesChanged(ids, states);
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows.size() - 1, ColumnCount - 1));
}

// In id order, so each new row goes in at its place among the shown ones.
void NodeBoard::ShowNewNodes()
{
    if (!m_bNewNodes)
        return;
    m_bNewNodes = false;
    for (auto& slot : m_nodes) {
        Node* node = slot.get();
        if (!node || node->shown)
            continue;
        const auto at = std::lower_bound(m_rows.begin(), m_rows.end(), node->id,
                                         [](const Node* shown, int id) { return shown->id < id; });
        const int row = int(at - m_rows.begin());
        beginInsertRows(QModelIndex(), row, row);
        m_rows.insert(row, node);
        node->shown = true;
        endInsertRows();
    }
}

// Stale and lost hold until a frame comes: restarting the requests alone
// does not make an old dose current.
NodeBoard::State NodeBoard::Judge(const Node& node, qint64 now) const
{
    if (m_bRequesting) {
        const qint64 silent = now - std::max(node.lastMs, m_nRequestingSinceMs);
        if (silent >= kLostAfterMs)
            return Lost;
        if (silent >= kStaleAfterMs)
            return node.state == Lost && !node.heardInState ? Lost : Stale;
    }
    if ((node.state == Stale || node.state == Lost) && !node.heardInState)
        return node.state;
    if (Exceeds(node, 1.0))
        return AboveAlarm;
    if (node.state == AboveAlarm && Exceeds(node, kLeaveAlarmShare) && now - node.belowSinceMs < kLeaveAlarmAfterMs)
        return AboveAlarm;
    return Live;
}

// In single precision, as the doses are: a level typed as 0.56 is not
// exceeded by a dose of 0.56.
bool NodeBoard::Exceeds(const Node& node, double share) const
{
    const double level = m_pLevels->InForce(node.id);
    const float dose = JudgedDose(node.framesSinceRefresh, node.peak, node.lastDose);
    return level > 0.0 && dose > float(level * share);
}

void NodeBoard::Enter(Node& node, State state, qint64 now)
{
    node.state = state;
    node.heardInState = false;
    const long long silentSeconds = (now - node.lastMs) / 1000;
    switch (state) {
    case Stale:
        LogPrint(LOG_NOTICE, "node %d is stale: its last dose count came %lld s ago\n", node.id, silentSeconds);
        break;
    case Lost:
        LogPrint(LOG_WARNING, "node %d is lost: no dose count for %lld s\n", node.id, silentSeconds);
        break;
    case AboveAlarm:
        LogPrint(LOG_ALERT, "node %d is above alarm: %.4f uSv/h over its level of %.4f uSv/h\n", node.id,
                 double(JudgedDose(node.framesSinceRefresh, node.peak, node.lastDose)), m_pLevels->InForce(node.id));
        break;
    case Live:
        break;
    }
    emit StateChanged(node.id, state);
}

int NodeBoard::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int NodeBoard::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

NodeBoard::Node* NodeBoard::NodeAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= ColumnCount)
        return nullptr;
    return m_rows.at(index.row());
}

QVariant NodeBoard::data(const QModelIndex& index, int role) const
{
    const Node* node = NodeAt(index);
    if (!node)
        return QVariant();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return Display(*node, column);
    case Qt::EditRole:
        if (column == ColumnAlarmLevel) {
            const double typed = m_pLevels->Typed(node->id);
            return typed > 0.0 ? QString::number(typed) : QString();
        }
        return Display(*node, column);
    case TrendRole:
        return column == ColumnTrend ? QVariant::fromValue(node->trend) : QVariant();
    case Qt::TextAlignmentRole:
        return column == ColumnState ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if (column == ColumnAlarmLevel) {
            if (m_pLevels->Acknowledged(node->id) > 0.0)
                return tr("The threshold this console set and the node acknowledged");
            return tr("Type a level in μSv/h; a threshold the node acknowledges takes its place");
        }
        return QVariant();
    default:
        return Decoration(*node, column, role);
    }
}

QVariant NodeBoard::Display(const Node& node, int column) const
{
    if (!node.heard && column != ColumnId && column != ColumnAlarmLevel)
        return column == ColumnState ? tr("not heard since start") : QVariant();
    switch (column) {
    case ColumnId:
        return node.id;
    case ColumnDose:
        return Dose(node.lastDose);
    case ColumnAge:
        return AgeText(std::max<qint64>(0, m_nRefreshedMs - node.lastMs));
    case ColumnLastMinute:
        return node.summary.lastMinute;
    case ColumnMinimum:
        return Dose(node.summary.minimum);
    case ColumnMean:
        return Dose(node.summary.mean);
    case ColumnMaximum:
        return Dose(node.summary.maximum);
    case ColumnAlarmLevel: {
        const double level = m_pLevels->InForce(node.id);
        return level > 0.0 ? QString::number(level, 'f', kDecimals) : QString();
    }
    case ColumnState:
        switch (node.state) {
        case Live: return tr("live");
        case Stale: return tr("stale");
        case Lost: return QString::fromUtf8(kLostSymbol) + tr("lost");
        case AboveAlarm: return QString::fromUtf8(kAlarmSymbol) + tr("above alarm");
        }
        break;
    default:
        break;
    }
    return QVariant();
}

// Amber and red mark the state; an old dose and its figures are faded, so
// they never pass for current ones.
QVariant NodeBoard::Decoration(const Node& node, int column, int role) const
{
    const bool silent = node.state == Stale || node.state == Lost;
    const bool alarm = node.state == AboveAlarm;
    switch (role) {
    case Qt::BackgroundRole:
        if (column == ColumnState && node.heard && node.state != Live)
            return node.state == Stale ? kAmber : node.state == Lost ? kLostGrey : kRed;
        break;
    case Qt::ForegroundRole:
        if (!node.heard)
            return kFaded;
        if (column == ColumnState && (node.state == Lost || alarm))
            return QColor(Qt::white);
        if (silent && IsStatistic(column))
            return kFaded;
        if (alarm && column == ColumnDose)
            return kRed;
        break;
    case Qt::FontRole:
        if (alarm && (column == ColumnState || column == ColumnDose)) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        break;
    default:
        break;
    }
    return QVariant();
}

QString NodeBoard::AgeText(qint64 ms) const
{
    const qint64 seconds = ms / 1000;
    if (seconds < kSecondsShownUpTo)
        return tr("%1 s ago").arg(seconds);
    if (seconds < kMinutesShownUpTo)
        return tr("%1 min ago").arg(seconds / 60);
    return tr("%1 h ago").arg(seconds / 3600);
}

QVariant NodeBoard::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ColumnId: return tr("Node");
    case ColumnDose: return tr("Dose (μSv/h)");
    case ColumnAge: return tr("Age");
    case ColumnLastMinute: return tr("Last minute");
    case ColumnMinimum: return tr("Min 10 min");
    case ColumnMean: return tr("Mean 10 min");
    case ColumnMaximum: return tr("Max 10 min");
    case ColumnTrend: return tr("Trend 10 min");
    case ColumnAlarmLevel: return tr("Alarm level");
    case ColumnState: return tr("State");
    default: return QVariant();
    }
}

// The typed level is the operator's to change until the node has
// acknowledged a threshold, which then is the level.
Qt::ItemFlags NodeBoard::flags(const QModelIndex& index) const
{
    const Node* node = NodeAt(index);
    if (!node)
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == ColumnAlarmLevel && m_pLevels->Acknowledged(node->id) <= 0.0)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool NodeBoard::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const Node* node = NodeAt(index);
    if (!node || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QString text = value.toString().trimmed();
    double level = 0.0;
    if (!text.isEmpty() && !ParseLevel(text, level))
        return false;
    m_pLevels->SetTyped(node->id, level);
    emit dataChanged(index, index);
    return true;
}
