#ifndef DOSEGATE_NODECALIBRATIONS_H
#define DOSEGATE_NODECALIBRATIONS_H

#include "CalibrationSummary.h"

#include <QAbstractTableModel>
#include <QVector>

class RecordStore;

// The calibrations of one node, newest first, each with the number of its
// certificate. Follows the store as rows are appended.
class NodeCalibrations : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { ColumnCalibrated, ColumnCertificate, ColumnSerial, ColumnVerdict, ColumnOperator, ColumnCount };

    // The store is not owned.
    explicit NodeCalibrations(RecordStore* pStore, QObject* parent = nullptr);

    int Node() const { return m_nNode; }
    // The record of the calibration on the row, 0 when there is none.
    qint64 RecordAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

public slots:
    // 0 shows none.
    void SetNode(int node);
    void Update();

private:
    RecordStore* m_pStore; // not owned
    int m_nNode = 0;
    qint64 m_nSeenSeq = 0;
    QVector<CalibrationSummary> m_calibrations; // newest first
};

#endif
