#include "AxRecorder.h"

AxRecorder::AxRecorder()
    : m_nRefusedIndex(-1)
{
}

void AxRecorder::Record(const AxOperation& operation)
{
    m_listOperations.append(operation);
}

void AxRecorder::Clear()
{
    m_listOperations.clear();
}

void AxRecorder::RefuseOperation(int nIndex)
{
    m_nRefusedIndex = nIndex;
}

bool AxRecorder::RefusesNext() const
{
    return m_nRefusedIndex >= 0 && m_listOperations.size() == m_nRefusedIndex;
}
