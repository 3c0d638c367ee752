#include "CalibrationRegister.h"

#include "CalibrationFigures.h"
#include "RecordStore.h"

#include <QColor>

#include <algorithm>
#include <limits>

namespace {

const QColor kRed(0xd0, 0x20, 0x20);
constexpr int kDayCheckMs = 60 * 1000;
const QString kCalibrationKind = QStringLiteral("calibration");

} // namespace

CalibrationRegister::CalibrationRegister(RecordStore* pStore, QObject* parent)
    : QAbstractTableModel(parent)
    , m_pStore(pStore)
    , m_clock([] { return QDate::currentDate(); })
{
    m_shownDay = m_clock();
    // A console left running past midnight moves every node a day on.
    m_dayTimer.setInterval(kDayCheckMs);
    connect(&m_dayTimer, &QTimer::timeout, this, &CalibrationRegister::CheckDay);
    m_dayTimer.start();
    Update();
}

void CalibrationRegister::SetClock(DateSource clock)
{
    m_clock = std::move(clock);
    CheckDay();
}

void CalibrationRegister::SetIntervalMonths(int months)
{
    if (months == m_nIntervalMonths || months < 1)
        return;
    m_nIntervalMonths = months;
    ShowDates();
}

int CalibrationRegister::NodeAt(int row) const
{
    return row >= 0 && row < m_entries.size() ? m_entries[row].node : 0;
}

void CalibrationRegister::CheckDay()
{
    if (m_clock() == m_shownDay)
        return;
    m_shownDay = m_clock();
    ShowDates();
}

void CalibrationRegister::ShowDates()
{
    if (!m_entries.isEmpty())
        emit dataChanged(index(0, ColumnDue), index(m_entries.size() - 1, ColumnState));
}

// Rows are only ever appended, so what was seen stays as it was.
void CalibrationRegister::Update()
{
    if (m_pStore->Count() < m_nSeenSeq) { // another store
        beginResetModel();
        m_entries.clear();
        m_nSeenSeq = 0;
        endResetModel();
    }
    for (const RecordStore::Row& row : m_pStore->Rows(QString(), -1, m_nSeenSeq)) {
        m_nSeenSeq = row.seq;
        if (row.node <= 0)
            continue;
        auto at = std::lower_bound(m_entries.begin(), m_entries.end(), row.node,
                                   [](const Entry& entry, int node) { return entry.node < node; });
        const int position = int(at - m_entries.begin());
        if (at == m_entries.end() || at->node != row.node) {
            beginInsertRows(QModelIndex(), position, position);
            Entry entry;
            entry.node = row.node;
            m_entries.insert(position, entry);
            endInsertRows();
        }
        if (row.kind == kCalibrationKind) {
            m_entries[position].calibrated = true;
            m_entries[position].last = CalibrationSummary::Of(row);
            emit dataChanged(index(position, 0), index(position, ColumnCount - 1));
        }
    }
}

qint64 CalibrationRegister::DaysLeft(const Entry& entry) const
{
    return m_clock().daysTo(entry.last.date.addMonths(m_nIntervalMonths));
}

int CalibrationRegister::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_entries.size();
}

int CalibrationRegister::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CalibrationRegister::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return QVariant();
    const Entry& entry = m_entries[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return Display(entry, index.column());
    case SortRole:
        return SortKey(entry, index.column());
    case Qt::ForegroundRole:
        if ((index.column() == ColumnState && (!entry.calibrated || DaysLeft(entry) < 0))
            || (index.column() == ColumnVerdict && entry.last.verdict == QLatin1String("FAIL")))
            return kRed;
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == ColumnNode)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    default:
        break;
    }
    return QVariant();
}

QVariant CalibrationRegister::Display(const Entry& entry, int column) const
{
    if (column == ColumnNode)
        return entry.node;
    if (!entry.calibrated)
        return column == ColumnState ? tr("never calibrated") : QVariant();
    switch (column) {
    case ColumnSerial:
        return entry.last.serial;
    case ColumnCalibrated:
        return entry.last.date.toString(Qt::ISODate);
    case ColumnVerdict:
        return CalibrationFigures::VerdictTextOfKey(entry.last.verdict);
    case ColumnDue:
        return entry.last.date.addMonths(m_nIntervalMonths).toString(Qt::ISODate);
    case ColumnState: {
        const qint64 days = DaysLeft(entry);
        if (days < 0)
            return tr("overdue");
        if (days == 0)
            return tr("due today");
        return days == 1 ? tr("due in 1 day") : tr("due in %1 days").arg(days);
    }
    default:
        return QVariant();
    }
}

QVariant CalibrationRegister::SortKey(const Entry& entry, int column) const
{
    switch (column) {
    case ColumnNode:
        return entry.node;
    case ColumnCalibrated:
        return entry.last.date;
    case ColumnDue:
        return entry.calibrated ? entry.last.date.addMonths(m_nIntervalMonths) : QDate();
    case ColumnState:
        return entry.calibrated ? DaysLeft(entry) : std::numeric_limits<qint64>::min();
    default:
        return Display(entry, column);
    }
}

QVariant CalibrationRegister::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ColumnNode: return tr("Node");
    case ColumnSerial: return tr("Serial number");
    case ColumnCalibrated: return tr("Last calibration");
    case ColumnVerdict: return tr("Verdict");
    case ColumnDue: return tr("Due");
    case ColumnState: return tr("State");
    default: return QVariant();
    }
}
