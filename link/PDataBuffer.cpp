#include "PDataBuffer.h"

#include "Log.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstdio>
#include <cstring>

PDataBuffer::PDataBuffer()
    : m_pMutex(new QMutex)
    , m_pBuffer(nullptr)
    , m_nTotalPackageNum(0)
    , m_nPackageNum(0)
    , m_nWritePage(0)
    , m_nReadPage(0)
    , m_nPackageSize(0)
{
}

PDataBuffer::~PDataBuffer()
{
    delete[] m_pBuffer;
    delete m_pMutex;
}

void PDataBuffer::Init(quint32 nPackageSize, quint32 nPackageNum)
{
    // In 64 bits: a 32-bit product could wrap, pass and under-allocate.
    const quint64 nNewSize = quint64(nPackageNum) * nPackageSize;
    if (nNewSize > MAX_BUFFER_SIZE)
        AssertReport("nPackageNum * nPackageSize <= MAX_BUFFER_SIZE", "", __FILE__, __LINE__);

    Clear();
    if (nNewSize != quint64(m_nTotalPackageNum) * m_nPackageSize) {
        delete[] m_pBuffer;
        m_pBuffer = new char[nNewSize];
    }
    m_nTotalPackageNum = nPackageNum;
    m_nPackageSize = nPackageSize;
}

void PDataBuffer::Clear()
{
    m_nPackageNum = 0;
    m_nWritePage = 0;
    m_nReadPage = 0;
}

void PDataBuffer::Write(const void* pData, quint32 nNum)
{
    LOG_ASSERT(pData, "");
    QMutexLocker locker(m_pMutex);

    const quint64 nWanted = quint64(m_nPackageNum) + nNum;
    if (nWanted > m_nTotalPackageNum) {
        std::printf("m_nPackageNum = %d,\n m_nTotalPackageNum = %d \n",
                    int(nWanted), int(m_nTotalPackageNum));
        // Keep what fits, in order, and drop the rest of this write: unread
        // packages are never overwritten, and the reader resynchronises on
        // the next frame marker after the gap.
        nNum = m_nTotalPackageNum - m_nPackageNum;
    }
    if (nNum == 0)
        return;

    CopyIn(static_cast<const char*>(pData), nNum);
    m_nWritePage = (m_nWritePage + nNum) % m_nTotalPackageNum;
    m_nPackageNum += nNum;
}

bool PDataBuffer::Read(void* pData, quint32 nNum)
{
    QMutexLocker locker(m_pMutex);
    if (m_nPackageNum < nNum)
        return false;
    if (nNum == 0)
        return true;

    CopyOut(static_cast<char*>(pData), nNum);
    m_nReadPage = (m_nReadPage + nNum) % m_nTotalPackageNum;
    m_nPackageNum -= nNum;
    return true;
}

quint32 PDataBuffer::PackageNum() const
{
    QMutexLocker locker(m_pMutex);
    return m_nPackageNum;
}

quint32 PDataBuffer::FreePackageNum() const
{
    QMutexLocker locker(m_pMutex);
    return m_nTotalPackageNum - m_nPackageNum;
}

char* PDataBuffer::GetPage(quint32 nPage)
{
    if (nPage >= m_nTotalPackageNum) // the index is unsigned: never negative
        AssertReport("nPage >= 0 && nPage < m_nTotalPackageNum", "", __FILE__, __LINE__);
    return m_pBuffer + std::size_t(nPage) * m_nPackageSize;
}

void PDataBuffer::CopyIn(const char* pData, quint32 nNum)
{
    if (m_nPackageSize == 0) // empty packages: there is no storage to copy to
        return;
    const qint64 left_num = qint64(m_nTotalPackageNum) - m_nWritePage;
    LOG_ASSERT(left_num >= 0, "");
    if (left_num < nNum) {
        const std::size_t nHead = std::size_t(left_num) * m_nPackageSize;
        std::memcpy(GetPage(m_nWritePage), pData, nHead);
        std::memcpy(GetPage(0), pData + nHead, std::size_t(nNum - left_num) * m_nPackageSize);
    } else {
        std::memcpy(GetPage(m_nWritePage), pData, std::size_t(nNum) * m_nPackageSize);
    }
}

void PDataBuffer::CopyOut(char* pData, quint32 nNum)
{
    if (m_nPackageSize == 0)
        return;
    const quint32 nRun = m_nTotalPackageNum - m_nReadPage;
    if (nRun < nNum) {
        const std::size_t nHead = std::size_t(nRun) * m_nPackageSize;
        std::memcpy(pData, GetPage(m_nReadPage), nHead);
        std::memcpy(pData + nHead, GetPage(0), std::size_t(nNum - nRun) * m_nPackageSize);
    } else {
        std::memcpy(pData, GetPage(m_nReadPage), std::size_t(nNum) * m_nPackageSize);
    }
}
