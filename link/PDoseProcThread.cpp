#include "PDoseProcThread.h"

#include "LinkConsole.h"
#include "PDataBuffer.h"

#include <QDateTime>
#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>

PDoseProcThread::PDoseProcThread(PDataBuffer* pDataBuffer, QObject* parent)
    : QThread(parent)
    , m_pDataBuffer(pDataBuffer)
    , m_pWaitCondition(new QWaitCondition)
    , m_pMutex(new QMutex)
    , m_bStop(true)
    , m_pWindow(nullptr)
    , m_bDataPending(false)
    , m_sliceDecoder(pDataBuffer)
    , m_nPassCount(0)
    , m_nPassStartMs(0)
    , m_nAskedId(0)
    , m_pOutboxMutex(new QMutex)
    , m_bNoticePending(false)
    , m_bRoomWanted(false)
{
}

PDoseProcThread::~PDoseProcThread()
{
    StopDecoding(); // never destroy a running thread
    delete m_pOutboxMutex;
    delete m_pMutex;
    delete m_pWaitCondition;
}

void PDoseProcThread::SetWindow(LinkConsole* pWindow)
{
    m_pWindow = pWindow;
    m_sliceDecoder.SetSink(pWindow ? this : nullptr);
}

void PDoseProcThread::StartDecoding()
{
    if (!m_bStop)
        return;
    m_bStop = false;
    start(QThread::LowPriority);
}

void PDoseProcThread::WakeUp()
{
    QMutexLocker locker(m_pMutex);
    m_bDataPending = true;
    m_pWaitCondition->wakeOne();
}

void PDoseProcThread::StopDecoding()
{
    if (m_bStop)
        return;
    {
        QMutexLocker locker(m_pMutex);
        m_bStop = true;
        m_pWaitCondition->wakeOne();
    }
    wait();
    m_pDataBuffer->Clear();
    m_sliceDecoder.Reset(); // an incomplete remainder goes with the buffer
}

LinkBatch PDoseProcThread::TakeFrames()
{
    QMutexLocker locker(m_pOutboxMutex);
    m_bNoticePending = false;
    LinkBatch frames;
    frames.swap(m_outbox);
    return frames;
}

int PDoseProcThread::FramesWaiting() const
{
    QMutexLocker locker(m_pOutboxMutex);
    return m_outbox.size();
}

void PDoseProcThread::WantRoom()
{
    m_bRoomWanted = true;
}

void PDoseProcThread::run()
{
    for (;;) {
        WaitForWork();
        ++m_nPassCount;
        m_nPassStartMs = QDateTime::currentMSecsSinceEpoch();
        m_sliceDecoder.Drain();
        HandOver();
        if (m_bStop)
            return;
    }
}

// The marks are raised and tested under the mutex, so a wake-up that comes
// while the loop drains is never lost: it is drained in the next pass.
void PDoseProcThread::WaitForWork()
{
    QMutexLocker locker(m_pMutex);
    while (!m_bDataPending && !m_bStop)
        m_pWaitCondition->wait(m_pMutex);
    m_bDataPending = false;
}

// One announcement stands for everything in the outbox until it is taken.
// The wish for room is read after the drain: one raised before the wake-up
// that started this pass is seen here at the latest.
void PDoseProcThread::HandOver()
{
    bool announce = false;
    {
        QMutexLocker locker(m_pOutboxMutex);
        if (m_outbox.isEmpty())
            m_outbox.swap(m_pass);
        else
            m_outbox += m_pass;
        announce = !m_bNoticePending && !m_outbox.isEmpty();
        m_bNoticePending = m_bNoticePending || announce;
    }
    m_pass.clear();
    if (announce)
        emit FramesReady();
    if (m_bRoomWanted.exchange(false))
        emit RoomMade();
}

// Every frame of a pass carries the time its bytes were there: the pass
// starts when they have been written.
LinkFrame& PDoseProcThread::NewFrame(LinkFrame::Kind kind)
{
    m_pass.append(LinkFrame {});
    LinkFrame& frame = m_pass.last();
    frame.kind = kind;
    frame.nArrivalMs = m_nPassStartMs;
    return frame;
}

// Kept, so that the reply is attributed to the id it carried even when the
// calibration page's id changes before the reply is relayed.
int PDoseProcThread::CalibrationId()
{
    m_nAskedId = m_pWindow->GetCalibrationId();
    return m_nAskedId;
}

void PDoseProcThread::Acknowledged(int id, int y, int x)
{
    LinkFrame& frame = NewFrame(LinkFrame::Acknowledgement);
    frame.nId = id;
    frame.nValue = y;
    frame.nCode = x;
}

void PDoseProcThread::DoseCounted(int id, int count, int tag)
{
    LinkFrame& frame = NewFrame(LinkFrame::DoseCount);
    frame.nId = id;
    frame.nValue = count;
    frame.nCode = tag;
}

void PDoseProcThread::CoefficientsRead(double c1, double c2, double c3)
{
    LinkFrame& frame = NewFrame(LinkFrame::Coefficients);
    frame.nId = m_nAskedId;
    frame.fCoefficients[0] = c1;
    frame.fCoefficients[1] = c2;
    frame.fCoefficients[2] = c3;
}
