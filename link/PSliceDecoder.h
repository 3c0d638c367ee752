#ifndef DOSEGATE_PSLICEDECODER_H
#define DOSEGATE_PSLICEDECODER_H

#include <QtGlobal>

class PDataBuffer;

// Cuts reply frames out of the receive buffer, seven bytes at a time, and
// resynchronises on 0xFF. Check bytes are not verified: the controller's
// replies are taken as received.
//
// A frame whose bytes have not all arrived waits for the rest instead of
// being dropped: the decoder resumes where it stopped, so what it reports
// depends only on the byte stream, never on how the network cut it up.
// One exception: a whole acknowledgement or dose-count frame with 0x0D at
// byte 5 is tried as a coefficient reply only when the 12 bytes such a
// reply needs are buffered behind it; with fewer it is reported as the frame
// it is, at once, rather than held back for the next frame's bytes.
class PSliceDecoder
{
public:
    // Where decoded replies go; without a sink every slice is discarded
    // after synchronisation.
    class Sink
    {
    public:
        virtual ~Sink() = default;
        virtual int CalibrationId() = 0;
        virtual void Acknowledged(int id, int y, int x) = 0;
        virtual void DoseCounted(int id, int count, int tag) = 0;
        virtual void CoefficientsRead(double c1, double c2, double c3) = 0;
    };

    static constexpr int kSliceLength = 7;

    explicit PSliceDecoder(PDataBuffer* pDataBuffer);

    void SetSink(Sink* pSink);

    // Finishes one slice; false when it has to wait for more bytes.
    bool DecodeSlice();
    // Every slice the buffered bytes complete.
    void Drain();
    // Forgets a slice that is waiting for the rest of its bytes.
    void Reset();

private:
    enum class Stage { Fresh, CoefficientTail, Synchronising, DoseTail };

    bool TakeSlice();
    bool TakeCoefficientTail();
    bool IsWholeFrame(quint32 nHeld) const;
    bool Synchronise();
    bool TakeDoseTail();
    void Dispatch();

    PDataBuffer* m_pDataBuffer; // not owned
    Sink* m_pSink;
    Stage m_stage;
    unsigned char m_slice[kSliceLength];
};

#endif
