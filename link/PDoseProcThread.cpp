#include "PDoseProcThread.h"

#include "LinkConsole.h"
#include "PDataBuffer.h"

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
{
}

PDoseProcThread::~PDoseProcThread()
{
    StopDecoding(); // never destroy a running thread
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

void PDoseProcThread::run()
{
    for (;;) {
        WaitForWork();
        ++m_nPassCount;
        m_sliceDecoder.Drain();
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

int PDoseProcThread::CalibrationId()
{
    return m_pWindow->GetCalibrationId();
}

void PDoseProcThread::Acknowledged(int id, int y, int x)
{
    emit AnalyticalFinished(id, y, x);
}

// The console's widgets are touched on the GUI thread only: the calls are
// queued on this object, which lives there, after the signal, so the
// console sees the count before the dose line.
void PDoseProcThread::DoseCounted(int id, int count, int tag)
{
    emit SetDoseCount(id, count);
    LinkConsole* pWindow = m_pWindow;
    QMetaObject::invokeMethod(
        this, [pWindow, id, count, tag] { pWindow->ShowDoseLine(id, count, tag); },
        Qt::QueuedConnection);
}

void PDoseProcThread::CoefficientsRead(double c1, double c2, double c3)
{
    LinkConsole* pWindow = m_pWindow;
    QMetaObject::invokeMethod(
        this, [pWindow, c1, c2, c3] { pWindow->SetLastCoefficients(c1, c2, c3); },
        Qt::QueuedConnection);
}
