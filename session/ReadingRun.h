#ifndef DOSEGATE_READINGRUN_H
#define DOSEGATE_READINGRUN_H

#include "Reading.h"

// The readings table's run: each accepted reading names the row the next
// tick adds for it, and readings that arrive within one tick share that
// row, which shows the newest of them. Memory keeps only that newest one,
// so a flood does not grow it.
class ReadingRun
{
public:
    // The reading of a count, stamped with its arrival.
    Reading Accept(int id, int count, float value, qint64 arrivalMs)
    {
        m_bNewData = true;
        m_fNewest = value;
        ++m_nCount;
        Reading reading;
        reading.arrivalMs = arrivalMs;
        reading.id = id;
        reading.count = count;
        reading.value = value;
        reading.row = m_nRows + 1;
        return reading;
    }
    // At a tick: whether a row is due, with the reading it shows; the row
    // is counted.
    bool TakeRow(float* pValue, int* pRow)
    {
        if (!m_bNewData || m_nCount < 1)
            return false;
        m_bNewData = false;
        *pValue = m_fNewest;
        *pRow = ++m_nRows;
        return true;
    }
    // A new run: rows count from 1 again, and only a reading after this
    // gives a row.
    void Restart()
    {
        m_nCount = 0;
        m_nRows = 0;
    }
    int Rows() const { return m_nRows; }

private:
    float m_fNewest = 0;
    qint64 m_nCount = 0; // since the last restart
    int m_nRows = 0;
    bool m_bNewData = false;
};

#endif
