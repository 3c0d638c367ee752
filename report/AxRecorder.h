#ifndef DOSEGATE_AXRECORDER_H
#define DOSEGATE_AXRECORDER_H

#include "AxOperation.h"

#include <QVector>

// Keeps every operation issued through the automation objects it is given
// to, in order. It can also refuse one chosen operation, so that the
// failure handling of each step can be rehearsed.
class AxRecorder
{
public:
    void Record(const AxOperation& operation) { m_listOperations.append(operation); }
    const QVector<AxOperation>& Operations() const { return m_listOperations; }

    // The operation with this 0-based number fails as if the object had
    // rejected it; -1 refuses nothing.
    void RefuseOperation(int nIndex) { m_nRefusedIndex = nIndex; }
    bool RefusesNext() const { return m_nRefusedIndex >= 0 && m_listOperations.size() == m_nRefusedIndex; }

private:
    QVector<AxOperation> m_listOperations;
    int m_nRefusedIndex = -1;
};

#endif
