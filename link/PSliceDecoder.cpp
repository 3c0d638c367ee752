#include "PSliceDecoder.h"

#include "FrameProtocol.h"
#include "PDataBuffer.h"

#include <QtEndian>

#include <cstring>

using namespace FrameProtocol;

namespace {
constexpr int kCoefficientTailLength = kCoefficientReplyLength - PSliceDecoder::kSliceLength;
constexpr int kDoseTailLength = kDoseCountLength - PSliceDecoder::kSliceLength;
} // namespace

PSliceDecoder::PSliceDecoder(PDataBuffer* pDataBuffer)
    : m_pDataBuffer(pDataBuffer)
    , m_pSink(nullptr)
    , m_stage(Stage::Fresh)
    , m_slice {}
{
}

void PSliceDecoder::SetSink(Sink* pSink)
{
    m_pSink = pSink;
}

void PSliceDecoder::Drain()
{
    while (DecodeSlice()) {
    }
}

void PSliceDecoder::Reset()
{
    m_stage = Stage::Fresh;
}

bool PSliceDecoder::DecodeSlice()
{
    switch (m_stage) {
    case Stage::Fresh:
        return TakeSlice();
    case Stage::CoefficientTail:
        return TakeCoefficientTail();
    case Stage::Synchronising:
        if (!Synchronise())
            return false;
        Dispatch();
        return true;
    case Stage::DoseTail:
        return TakeDoseTail();
    }
    return false;
}

// A coefficient reply carries no 0xFF at its start and is known by its sixth
// byte alone, so it is tried before synchronisation.
bool PSliceDecoder::TakeSlice()
{
    if (!m_pDataBuffer->Read(m_slice, kSliceLength))
        return false;
    const bool coefficientReply = m_pSink && m_slice[kCoefficientMarkOffset] == CmdGetCalibrationCoefficients;
    m_stage = coefficientReply ? Stage::CoefficientTail : Stage::Synchronising;
    return true;
}

// With fewer than 12 bytes after it, a slice that is already a whole frame
// is one: a lone dose count with 0x0D as its top byte must not wait for the
// next frame to fill a coefficient reply. Anything else may still be a
// coefficient reply split by the network, and waits.
bool PSliceDecoder::TakeCoefficientTail()
{
    const quint32 held = m_pDataBuffer->PackageNum(); // one look: later bytes must not change the choice
    if (held < quint32(kCoefficientTailLength)) {
        if (!IsWholeFrame(held))
            return false;
        m_stage = Stage::Synchronising;
        return true;
    }
    unsigned char tail[kCoefficientTailLength];
    if (!m_pDataBuffer->Read(tail, kCoefficientTailLength))
        return false;
    if (!m_pSink || m_slice[6] != m_pSink->CalibrationId()) {
        // Not ours: the value bytes stay consumed, the slice is synchronised.
        m_stage = Stage::Synchronising;
        return true;
    }
    m_pSink->CoefficientsRead(qFromBigEndian<qint32>(tail) / kCoefficientScale,
                              qFromBigEndian<qint32>(tail + 4) / kCoefficientScale,
                              qFromBigEndian<qint32>(tail + 8) / kCoefficientScale);
    m_stage = Stage::Fresh;
    return true;
}

bool PSliceDecoder::IsWholeFrame(quint32 nHeld) const
{
    if (m_slice[0] != kFrameMarker)
        return false;
    return m_slice[1] == FrameAcknowledge || (m_slice[1] == FrameDoseCount && nHeld >= quint32(kDoseTailLength));
}

// Shifts the slice one byte at a time until it starts with 0xFF; every byte
// shifted out is lost. The coefficient test is not repeated while shifting.
bool PSliceDecoder::Synchronise()
{
    while (m_slice[0] != kFrameMarker) {
        unsigned char next;
        if (!m_pDataBuffer->Read(&next, 1))
            return false;
        std::memmove(m_slice, m_slice + 1, kSliceLength - 1);
        m_slice[kSliceLength - 1] = next;
    }
    return true;
}

void PSliceDecoder::Dispatch()
{
    m_stage = Stage::Fresh;
    if (!m_pSink)
        return;
    switch (m_slice[1]) {
    case FrameDoseCount:
        m_stage = Stage::DoseTail;
        break;
    case FrameAcknowledge:
        m_pSink->Acknowledged(m_slice[2], m_slice[4], m_slice[5]);
        break;
    default: // unknown frame type: the whole slice goes, any 0xFF in it too
        break;
    }
}

bool PSliceDecoder::TakeDoseTail()
{
    unsigned char tail[kDoseTailLength];
    if (!m_pDataBuffer->Read(tail, kDoseTailLength))
        return false;
    const int id = m_slice[3] << 8 | m_slice[4];
    const int count = m_slice[5] << 16 | m_slice[6] << 8 | tail[0];
    m_stage = Stage::Fresh;
    if (m_pSink) // tail[1], the check byte, is not examined
        m_pSink->DoseCounted(id, count, m_slice[2]);
    return true;
}
