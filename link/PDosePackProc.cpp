#include "PDosePackProc.h"

#include "PDataBuffer.h"

PDosePackProc::PDosePackProc(PDataBuffer* pDataBuffer)
    : m_pDataBuffer(pDataBuffer)
{
}

PDosePackProc::~PDosePackProc() = default;

void PDosePackProc::PushData(const char* data, int len)
{
    if (len > 0)
        m_pDataBuffer->Write(data, quint32(len));
}
