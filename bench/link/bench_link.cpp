// The receive side of the device link, each part beside a plain baseline
// that handles the same seeded byte stream cut into the same socket reads:
//   buffer         PDataBuffer with the decoder's reads replayed on it,
//                  against the same writes and reads as memcpy on a flat array
//   decoder        PDosePackProc + PDataBuffer + PSliceDecoder, against one
//                  pass of a flat scanner over the whole stream
//   decoderThread  PDoseProcThread woken after every read, until the window
//                  got every queued dose line and coefficient reply
// Each decoder must find every frame of the stream with its values.
#include "BenchConsole.h"
#include "FrameProtocol.h"
#include "PDataBuffer.h"
#include "PDosePackProc.h"
#include "PDoseProcThread.h"
#include "PSliceDecoder.h"
#include "TcpSocket.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <atomic>
#include <cstring>
#include <iterator>
#include <random>
#include <vector>

using namespace FrameProtocol;

namespace {

constexpr int kCalibrationId = 3;
constexpr int kSlice = PSliceDecoder::kSliceLength;
constexpr int kCoefficientTail = kCoefficientReplyLength - kSlice;
constexpr int kDoseTail = kDoseCountLength - kSlice;

// What a decoder found: counts, and a running hash of every field, so two
// decoders must agree on values and order too.
struct Tally {
    qint64 frames[3] = {}; // acknowledgements, dose counts, coefficient replies
    quint64 hash = 0xcbf29ce484222325ull;

    void Add(int kind, std::initializer_list<qint64> fields)
    {
        ++frames[kind];
        for (qint64 field : fields)
            hash = (hash ^ quint64(field)) * 0x100000001b3ull;
    }
    qint64 Total() const { return frames[0] + frames[1] + frames[2]; }
    bool operator==(const Tally& o) const
    {
        return std::equal(frames, frames + 3, o.frames) && hash == o.hash;
    }
};

struct Stream {
    std::vector<unsigned char> bytes;
    std::vector<int> chunks; // the socket's reads, in order
    std::vector<int> reads;  // the decoder's buffer reads, in order
    Tally expected;
};

// 4,000 frames: a third acknowledgements, some coefficient replies for our
// id, the rest dose counts, garbage before some; read by the socket mostly a
// frame or two at a time, sometimes a full 280-byte read.
Stream MakeStream()
{
    Stream s;
    std::mt19937 random(20240611);
    const auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    // A field holding the coefficient mark or 0xFF would let garbage swallow
    // the next frame, and the expected tally be wrong.
    const auto field = [&pick]() {
        int value;
        do
            value = pick(0, 255);
        while (value == CmdGetCalibrationCoefficients || value == kFrameMarker);
        return value;
    };
    const auto put = [&s](std::initializer_list<int> bytes) {
        for (int b : bytes)
            s.bytes.push_back(static_cast<unsigned char>(b));
    };
    const int replies[] = { ReplyThreshold, ReplySwitches, ReplyDetectorParameters, ReplyNodeId,
                            ReplyLanguage, ReplyPrecision, ReplyCoefficients, ReplyPotentiometerUp,
                            ReplyPotentiometerDown, ReplyDisplayUnit, ReplyAlarmTest };
    for (int n = 0; n < 4000; ++n) {
        const int kind = pick(0, 99);
        if (kind < 3) { // only where a frame may start
            put({ 0, 0, 0, 0, kFrameMarker, CmdGetCalibrationCoefficients, kCalibrationId });
            qint32 values[3];
            for (qint32& v : values) {
                v = pick(-20000, 30000);
                const quint32 u = quint32(v);
                put({ int(u >> 24), int(u >> 16) & 0xFF, int(u >> 8) & 0xFF, int(u & 0xFF) });
            }
            s.expected.Add(2, { values[0], values[1], values[2] });
            continue;
        }
        if (pick(0, 99) < 8) {
            for (int i = pick(1, 12); i > 0; --i)
                put({ field() });
        }
        const int id = pick(1, 8);
        const int y = field();
        if (kind < 35) {
            const int x = replies[pick(0, int(std::size(replies)) - 1)];
            put({ kFrameMarker, FrameAcknowledge, id, 0, y, x, 0 });
            s.expected.Add(0, { id, y, x });
        } else {
            const int count = pick(0, 0xFFFF); // a 2 s count never reaches the top byte
            const int check = FrameDoseCount ^ y ^ (id >> 8) ^ (id & 0xFF) ^ (count >> 8) ^ (count & 0xFF);
            put({ kFrameMarker, FrameDoseCount, y, id >> 8, id & 0xFF, 0, count >> 8, count & 0xFF, check });
            s.expected.Add(1, { id, count, y });
        }
    }
    for (std::size_t left = s.bytes.size(); left > 0;) {
        const int kind = pick(0, 9);
        const int size = kind < 4 ? pick(1, 16) : kind < 8 ? pick(17, 140) : TcpSocket::kReadChunk;
        s.chunks.push_back(int(std::min<std::size_t>(left, std::size_t(size))));
        left -= std::size_t(s.chunks.back());
    }
    // The reads PSliceDecoder makes on this stream: a slice, then the rest
    // of a coefficient reply or a dose count, or one byte at a time while it
    // hunts for 0xFF.
    for (std::size_t i = 0; i + kSlice <= s.bytes.size();) {
        const unsigned char* slice = &s.bytes[i];
        i += kSlice;
        s.reads.push_back(kSlice);
        if (slice[kCoefficientMarkOffset] == CmdGetCalibrationCoefficients) {
            s.reads.push_back(kCoefficientTail);
            i += kCoefficientTail;
            continue;
        }
        std::size_t start = i - kSlice;
        while (s.bytes[start] != kFrameMarker && i < s.bytes.size()) {
            ++start;
            ++i;
            s.reads.push_back(1);
        }
        if (s.bytes[start + 1] == FrameDoseCount) {
            s.reads.push_back(kDoseTail);
            i += kDoseTail;
        }
    }
    return s;
}

// One pass over a flat array. Like the decoder it looks for the coefficient
// mark only where a frame may start and hunts for 0xFF byte by byte.
Tally ScanFlat(const unsigned char* s, std::size_t n)
{
    Tally t;
    bool atFrameStart = true;
    for (std::size_t i = 0; i + kSlice <= n;) {
        const unsigned char* f = s + i;
        if (atFrameStart && f[kCoefficientMarkOffset] == CmdGetCalibrationCoefficients
            && f[kCoefficientMarkOffset + 1] == kCalibrationId && i + kCoefficientReplyLength <= n) {
            t.Add(2, { qFromBigEndian<qint32>(f + 7), qFromBigEndian<qint32>(f + 11), qFromBigEndian<qint32>(f + 15) });
            i += kCoefficientReplyLength;
        } else if (f[0] != kFrameMarker) {
            ++i;
            atFrameStart = false;
            continue;
        } else if (f[1] == FrameDoseCount && i + kDoseCountLength <= n) {
            t.Add(1, { f[3] << 8 | f[4], f[5] << 16 | f[6] << 8 | f[7], f[2] });
            i += kDoseCountLength;
        } else {
            if (f[1] == FrameAcknowledge)
                t.Add(0, { f[2], f[4], f[5] });
            i += kAcknowledgeLength;
        }
        atFrameStart = true;
    }
    return t;
}

class TallySink : public PSliceDecoder::Sink
{
public:
    int CalibrationId() override { return kCalibrationId; }
    void Acknowledged(int id, int y, int x) override { tally.Add(0, { id, y, x }); }
    void DoseCounted(int id, int count, int tag) override { tally.Add(1, { id, count, tag }); }
    void CoefficientsRead(double c1, double c2, double c3) override
    {
        tally.Add(2, { qRound64(c1 * kCoefficientScale), qRound64(c2 * kCoefficientScale),
                       qRound64(c3 * kCoefficientScale) });
    }
    Tally tally;
};

} // namespace

class BenchLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void buffer_data();
    void buffer();
    void decoder_data();
    void decoder();
    void decoderThread();

private:
    Stream m_stream;
};

void BenchLink::initTestCase()
{
    m_stream = MakeStream();
    qInfo("stream: %zu bytes, %lld frames, %zu socket reads, %zu decoder reads", m_stream.bytes.size(),
          m_stream.expected.Total(), m_stream.chunks.size(), m_stream.reads.size());
}

void BenchLink::buffer_data()
{
    QTest::addColumn<bool>("ring");
    QTest::newRow("PDataBuffer") << true;
    QTest::newRow("memcpy") << false;
}

void BenchLink::buffer()
{
    QFETCH(bool, ring);
    const Stream& s = m_stream;
    PDataBuffer buffer;
    buffer.Init(TcpSocket::kBufferPackageSize, TcpSocket::kBufferPackageNum);
    std::vector<unsigned char> flat(TcpSocket::kBufferPackageNum);
    unsigned char out[kCoefficientTail];
    std::size_t done = 0;
    QBENCHMARK {
        const unsigned char* p = s.bytes.data();
        std::size_t r = 0, head = 0, tail = 0;
        for (int chunk : s.chunks) {
            if (ring) {
                buffer.Write(p, quint32(chunk));
                // A read that finds too few bytes waits for the next write,
                // as the decoder does.
                while (r < s.reads.size() && buffer.Read(out, quint32(s.reads[r])))
                    ++r;
            } else {
                // The unread rest (under 12 bytes) moves to the front, so a
                // flat array never wraps.
                std::memmove(flat.data(), flat.data() + head, tail - head);
                tail -= head;
                head = 0;
                std::memcpy(flat.data() + tail, p, std::size_t(chunk));
                tail += std::size_t(chunk);
                for (; r < s.reads.size() && tail - head >= std::size_t(s.reads[r]); ++r) {
                    std::memcpy(out, flat.data() + head, std::size_t(s.reads[r]));
                    head += std::size_t(s.reads[r]);
                }
            }
            p += chunk;
        }
        done = r;
    }
    QCOMPARE(done, s.reads.size());
}

void BenchLink::decoder_data()
{
    QTest::addColumn<bool>("slices");
    QTest::newRow("PSliceDecoder") << true;
    QTest::newRow("flat scan") << false;
}

void BenchLink::decoder()
{
    QFETCH(bool, slices);
    const Stream& s = m_stream;
    PDataBuffer buffer;
    buffer.Init(TcpSocket::kBufferPackageSize, TcpSocket::kBufferPackageNum);
    PDosePackProc packProc(&buffer);
    PSliceDecoder decoder(&buffer);
    Tally found;
    QBENCHMARK {
        TallySink sink;
        decoder.SetSink(&sink);
        if (slices) {
            const char* p = reinterpret_cast<const char*>(s.bytes.data());
            for (int chunk : s.chunks) {
                packProc.PushData(p, chunk);
                p += chunk;
                decoder.Drain();
            }
            found = sink.tally;
        } else {
            found = ScanFlat(s.bytes.data(), s.bytes.size());
        }
    }
    QVERIFY(found == s.expected);
}

// The writer never writes more than the buffer has room for, as the link
// session; it waits by yielding, so the figure is the rate the thread
// sustains, mostly the cost of handing reads over: the decoder sleeps
// whenever it has drained what came, and depending on how the two threads
// take turns it is woken for nearly every read or for a few in ten, hence
// the wake-ups per read beside it. What each pass decodes is taken at once,
// on the decoder thread, as the session's relay takes it on the GUI thread.
void BenchLink::decoderThread()
{
    const Stream& s = m_stream;
    PDataBuffer buffer;
    buffer.Init(TcpSocket::kBufferPackageSize, TcpSocket::kBufferPackageNum);
    PDosePackProc packProc(&buffer);
    PDoseProcThread thread(&buffer, nullptr);
    BenchConsole console;
    console.calibrationId = kCalibrationId;
    thread.SetWindow(&console);
    std::atomic<qint64> frames[3] = { { 0 }, { 0 }, { 0 } }; // acknowledgements, dose counts, coefficients
    connect(
        &thread, &PDoseProcThread::FramesReady, &thread,
        [&] {
            for (const LinkFrame& frame : thread.TakeFrames())
                frames[frame.kind].fetch_add(1, std::memory_order_relaxed);
        },
        Qt::DirectConnection);
    thread.StartDecoding();
    qint64 rounds = 0;
    QBENCHMARK {
        const char* p = reinterpret_cast<const char*>(s.bytes.data());
        for (int chunk : s.chunks) {
            while (buffer.FreePackageNum() < quint32(chunk))
                QThread::yieldCurrentThread();
            packProc.PushData(p, chunk);
            p += chunk;
            thread.WakeUp();
        }
        ++rounds;
        QElapsedTimer waited;
        waited.start();
        const auto delivered = [&] {
            for (int kind = 0; kind < 3; ++kind) {
                if (frames[kind] != rounds * s.expected.frames[kind])
                    return false;
            }
            return true;
        };
        while (!delivered() && waited.elapsed() < 5000)
            QThread::yieldCurrentThread();
        QVERIFY(delivered());
    }
    thread.StopDecoding();
    qInfo("decoder thread: %.3f wake-ups per socket read",
          double(thread.PassCount()) / double(rounds * qint64(s.chunks.size())));
}

QTEST_GUILESS_MAIN(BenchLink)
#include "bench_link.moc"
