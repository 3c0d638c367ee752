#ifndef DOSEGATE_PDOSEPROCTHREAD_H
#define DOSEGATE_PDOSEPROCTHREAD_H

#include "PSliceDecoder.h"

#include <QThread>

#include <atomic>

class LinkConsole;
class PDataBuffer;
class QMutex;
class QWaitCondition;

// The decoder's worker thread: sleeps until woken, then drains every
// complete reply the receive buffer holds.
class PDoseProcThread : public QThread, private PSliceDecoder::Sink
{
    Q_OBJECT

public:
    PDoseProcThread(PDataBuffer* pDataBuffer, QObject* parent);
    ~PDoseProcThread() override;

    void SetWindow(LinkConsole* pWindow);

    void StartDecoding();
    void WakeUp();
    void StopDecoding();

    // Passes of the loop since construction, for idle measurements.
    quint64 PassCount() const { return m_nPassCount; }

signals:
    void AnalyticalFinished(int id, int y, int x);
    void SetDoseCount(int id, int count);

protected:
    void run() override;

private:
    void WaitForWork();

    int CalibrationId() override;
    void Acknowledged(int id, int y, int x) override;
    void DoseCounted(int id, int count, int tag) override;
    void CoefficientsRead(double c1, double c2, double c3) override;

    PDataBuffer* m_pDataBuffer; // not owned
    QWaitCondition* m_pWaitCondition;
    QMutex* m_pMutex; // pairs with the wait condition, guards nothing else
    std::atomic<bool> m_bStop;
    LinkConsole* m_pWindow; // not owned
    bool m_bDataPending; // guarded by m_pMutex
    PSliceDecoder m_sliceDecoder;
    std::atomic<quint64> m_nPassCount;
};

#endif
