#ifndef DOSEGATE_PDATABUFFER_H
#define DOSEGATE_PDATABUFFER_H

#include <QtGlobal>

class QMutex;

// Ring of fixed-size packages shared by one writer and one reader thread.
// Reads are all-or-nothing, so the reader can wait for whole pieces of a
// frame without taking part of one.
class PDataBuffer
{
public:
    static constexpr quint32 MAX_BUFFER_SIZE = 0xA00000;

    PDataBuffer();
    virtual ~PDataBuffer();

    // Not locked: call only while no other thread uses the buffer.
    void Init(quint32 nPackageSize, quint32 nPackageNum);
    void Clear();

    void Write(const void* pData, quint32 nNum);
    bool Read(void* pData, quint32 nNum);

    char* GetPage(quint32 nPage);

    quint32 PackageNum() const; // locked: safe while both threads run
    quint32 FreePackageNum() const; // locked
    // Geometry and page indexes, for checks while no other thread runs.
    quint32 TotalPackageNum() const { return m_nTotalPackageNum; }
    quint32 WritePage() const { return m_nWritePage; }
    quint32 ReadPage() const { return m_nReadPage; }
    quint32 PackageSize() const { return m_nPackageSize; }

private:
    Q_DISABLE_COPY(PDataBuffer)

    void CopyIn(const char* pData, quint32 nNum);
    void CopyOut(char* pData, quint32 nNum);

    QMutex* m_pMutex;
    char* m_pBuffer;
    quint32 m_nTotalPackageNum;
    quint32 m_nPackageNum;
    quint32 m_nWritePage;
    quint32 m_nReadPage;
    quint32 m_nPackageSize;
};

#endif
