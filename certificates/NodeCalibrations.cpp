#include "NodeCalibrations.h"

#include "CalibrationFigures.h"
#include "RecordStore.h"

#include <QColor>

namespace {

const QColor kRed(0xd0, 0x20, 0x20);

} // namespace

NodeCalibrations::NodeCalibrations(RecordStore* pStore, QObject* parent)
    : QAbstractTableModel(parent)
    , m_pStore(pStore)
{
}

qint64 NodeCalibrations::RecordAt(int row) const
{
    return row >= 0 && row < m_calibrations.size() ? m_calibrations[row].seq : 0;
}

void NodeCalibrations::SetNode(int node)
{
    if (node == m_nNode)
        return;
    beginResetModel();
    m_nNode = node;
    m_calibrations.clear();
    m_nSeenSeq = 0;
    endResetModel();
    Update();
}

void NodeCalibrations::Update()
{
    if (m_nNode <= 0)
        return;
    const QVector<CalibrationSummary> calibrations = m_pStore->Calibrations(m_nNode, m_nSeenSeq);
    if (calibrations.isEmpty())
        return;
    m_nSeenSeq = calibrations.last().seq;
    beginInsertRows(QModelIndex(), 0, calibrations.size() - 1);
    for (const CalibrationSummary& calibration : calibrations)
        m_calibrations.prepend(calibration);
    endInsertRows();
}

int NodeCalibrations::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_calibrations.size();
}

int NodeCalibrations::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant NodeCalibrations::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_calibrations.size())
        return QVariant();
    const CalibrationSummary& calibration = m_calibrations[index.row()];
    if (role == Qt::ForegroundRole && index.column() == ColumnVerdict && calibration.verdict == QLatin1String("FAIL"))
        return kRed;
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case ColumnCalibrated: return calibration.date.toString(Qt::ISODate);
    case ColumnCertificate: return calibration.certificate;
    case ColumnSerial: return calibration.serial;
    case ColumnVerdict: return CalibrationFigures::VerdictTextOfKey(calibration.verdict);
    case ColumnOperator: return calibration.operatorName;
    default: return QVariant();
    }
}

QVariant NodeCalibrations::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ColumnCalibrated: return tr("Calibrated");
    case ColumnCertificate: return tr("Certificate");
    case ColumnSerial: return tr("Serial number");
    case ColumnVerdict: return tr("Verdict");
    case ColumnOperator: return tr("Operator");
    default: return QVariant();
    }
}
