#ifndef DOSEGATE_PDOSEPACKPROC_H
#define DOSEGATE_PDOSEPACKPROC_H

class PDataBuffer;

// The path by which received bytes enter the receive buffer.
class PDosePackProc
{
public:
    explicit PDosePackProc(PDataBuffer* pDataBuffer);
    virtual ~PDosePackProc();

    void PushData(const char* data, int len);

private:
    PDataBuffer* m_pDataBuffer; // not owned
};

#endif
