#include "CalibrationRegister.h"

#include "CalibrationApproval.h"
#include "CalibrationFigures.h"
#include "Keyring.h"
#include "RecordStore.h"

#include <QColor>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace {

const QColor kRed(0xd0, 0x20, 0x20);
constexpr int kDayCheckMs = 60 * 1000;

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

// From the store's summary: the nodes it names and the calibrations since
// the last look, however many rows it holds.
void CalibrationRegister::Update()
{
    for (int node : m_pStore->Nodes()) {
        auto at = std::lower_bound(m_entries.begin(), m_entries.end(), node,
                                   [](const Entry& entry, int node) { return entry.node < node; });
        if (at != m_entries.end() && at->node == node)
            continue;
        const int position = int(at - m_entries.begin());
        beginInsertRows(QModelIndex(), position, position);
        Entry entry;
        entry.node = node;
        m_entries.insert(position, entry);
        endInsertRows();
    }
    for (const CalibrationSummary& calibration : m_pStore->LastCalibrations(m_nSeenSeq)) {
        m_nSeenSeq = calibration.seq;
        auto at = std::lower_bound(m_entries.begin(), m_entries.end(), calibration.node,
                                   [](const Entry& entry, int node) { return entry.node < node; });
        if (at == m_entries.end() || at->node != calibration.node)
            continue;
        const int position = int(at - m_entries.begin());
        at->calibrated = true;
        at->last = calibration;
        Judge(*at);
        emit dataChanged(index(position, 0), index(position, ColumnCount - 1));
    }
    // A decision is a row of its own, after the calibration.
    for (int position = 0; position < m_entries.size(); ++position) {
        if (m_entries[position].approval != Entry::Awaiting)
            continue;
        Judge(m_entries[position]);
        if (m_entries[position].approval != Entry::Awaiting)
            emit dataChanged(index(position, ColumnState), index(position, ColumnState));
    }
}

void CalibrationRegister::Judge(Entry& entry) const
{
    if (!QFileInfo::exists(Keyring::BesideStore(m_pStore->Path()))) {
        entry.approval = Entry::NotAsked;
        return;
    }
    const CalibrationApproval::Decision decision = CalibrationApproval::Of(*m_pStore, m_pStore->RowAt(entry.last.seq));
    entry.approval = !decision.Decided() ? Entry::Awaiting : decision.approved ? Entry::Approved : Entry::Rejected;
}

// Its last calibration ended in FAIL: no date makes it due, it is unfit.
bool CalibrationRegister::Failed(const Entry& entry)
{
    return entry.calibrated && entry.last.verdict == QLatin1String("FAIL");
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
        if ((index.column() == ColumnState && (!entry.calibrated || Failed(entry) || DaysLeft(entry) < 0))
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
        if (Failed(entry))
            return tr("failed — not fit for use");
        if (entry.approval == Entry::Awaiting)
            return tr("awaiting approval");
        if (entry.approval == Entry::Rejected)
            return tr("rejected — no certificate");
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
        // A node not fit for use comes first, with those never calibrated.
        return entry.calibrated && !Failed(entry) ? DaysLeft(entry) : std::numeric_limits<qint64>::min();
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
