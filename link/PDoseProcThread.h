#ifndef DOSEGATE_PDOSEPROCTHREAD_H
#define DOSEGATE_PDOSEPROCTHREAD_H

#include "LinkFrame.h"
#include "PSliceDecoder.h"

#include <QThread>

#include <atomic>

class LinkConsole;
class PDataBuffer;
class QMutex;
class QWaitCondition;

// The decoder's worker thread: sleeps until woken, then drains every
// complete reply the receive buffer holds. What one pass decodes goes to an
// outbox for the GUI thread, announced by one FramesReady per pass at most:
// never one queued call per frame, which a flood would pile up faster than
// the GUI thread can take them.
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

    // Any thread: everything decoded since the last call, in stream order.
    // A pass that adds to an outbox that was taken announces it anew.
    LinkBatch TakeFrames();
    // Frames in the outbox.
    int FramesWaiting() const;
    // The pass that follows emits RoomMade, once: for a reader that found
    // the buffer full.
    void WantRoom();

    // Passes of the loop since construction, for idle measurements.
    quint64 PassCount() const { return m_nPassCount; }

signals:
    // From the decoder thread, when the outbox has something to take.
    void FramesReady();
    // From the decoder thread, after a pass asked for by WantRoom.
    void RoomMade();

protected:
    void run() override;

private:
    void WaitForWork();
    void HandOver();
    LinkFrame& NewFrame(LinkFrame::Kind kind);

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

    LinkBatch m_pass;       // decoder thread only
    qint64 m_nPassStartMs;  // when the pass's bytes were there
    int m_nAskedId;         // decoder thread only: the id a coefficient reply was matched against
    QMutex* m_pOutboxMutex; // guards the two below
    LinkBatch m_outbox;
    bool m_bNoticePending;
    std::atomic<bool> m_bRoomWanted;
};

#endif
