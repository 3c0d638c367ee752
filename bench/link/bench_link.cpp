// Receive side of the device link, each part beside a plain baseline that
// handles the same seeded byte stream cut into the same chunks:
//
//   BM_BufferRing       PDataBuffer, the decoder's reads replayed on it
//   BM_BufferMemcpy     the same writes and reads as memcpy on a flat array
//   BM_DecoderSlices    PDosePackProc + PDataBuffer + PSliceDecoder
//   BM_DecoderFlatScan  one pass over the whole stream in a flat array
//   BM_DecoderThread    PDoseProcThread woken after every chunk
//
// Repetitions are interleaved at random by default, so machine noise falls
// on both sides of a pair alike; compare medians.
#include "FrameProtocol.h"
#include "LinkConsole.h"
#include "PDataBuffer.h"
#include "PDosePackProc.h"
#include "PDoseProcThread.h"
#include "PSliceDecoder.h"
#include "TcpSocket.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QThread>
#include <QtEndian>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using namespace FrameProtocol;

namespace {

constexpr unsigned kSeed = 20240611;
constexpr int kFrameCount = 4000;
constexpr int kCalibrationId = 3;
constexpr int kBufferSize = int(TcpSocket::kBufferPackageNum * TcpSocket::kBufferPackageSize);
constexpr int kSliceLength = PSliceDecoder::kSliceLength;
constexpr int kCoefficientTail = kCoefficientReplyLength - kSliceLength;
constexpr int kDoseTail = kDoseCountLength - kSliceLength;

// What came out of a decoder: counts, and a running hash of every decoded
// field so that two decoders must agree on values and order, not only on
// how many frames they saw.
struct Tally
{
    qint64 acks = 0;
    qint64 doses = 0;
    qint64 coefficients = 0;
    quint64 hash = 0xcbf29ce484222325ull;

    qint64 Frames() const { return acks + doses + coefficients; }

    void Mix(qint64 value) { hash = (hash ^ quint64(value)) * 0x100000001b3ull; }
    void Ack(int id, int y, int x)
    {
        ++acks;
        Mix(id);
        Mix(y);
        Mix(x);
    }
    void Dose(int id, int count, int tag)
    {
        ++doses;
        Mix(id);
        Mix(count);
        Mix(tag);
    }
    void Coefficients(double c1, double c2, double c3)
    {
        ++coefficients;
        Mix(std::llround(c1 * kCoefficientScale));
        Mix(std::llround(c2 * kCoefficientScale));
        Mix(std::llround(c3 * kCoefficientScale));
    }
    bool operator==(const Tally& other) const
    {
        return acks == other.acks && doses == other.doses && coefficients == other.coefficients
            && hash == other.hash;
    }
};

struct Stream
{
    std::vector<unsigned char> bytes;
    std::vector<quint32> chunks; // read sizes of the socket, in order
    std::vector<quint32> reads;  // the decoder's buffer reads, in order
    Tally expected;
    int garbageRuns = 0;
    int garbageBytes = 0;
};

class StreamBuilder
{
public:
    explicit StreamBuilder(unsigned seed)
        : m_rng(seed)
    {
    }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_rng); }

    // The decoder looks at offset 5 for the coefficient mark and hunts for
    // 0xFF before it is in step; a field there with either value would make
    // garbage swallow the frame after it, and the expected count be wrong.
    int FieldByte(int low, int high)
    {
        int value;
        do
            value = Pick(low, high);
        while (value == CmdGetCalibrationCoefficients || value == kFrameMarker);
        return value;
    }

    void Ack(Stream& s)
    {
        static const int kReplies[] = { ReplyThreshold, ReplySwitches, ReplyDetectorParameters, ReplyNodeId,
                                        ReplyLanguage, ReplyPrecision, ReplyCoefficients, ReplyPotentiometerUp,
                                        ReplyPotentiometerDown, ReplyDisplayUnit, ReplyAlarmTest };
        const int id = Pick(1, 8);
        const int y = FieldByte(0, 255);
        const int x = kReplies[Pick(0, int(std::size(kReplies)) - 1)];
        Put(s, { kFrameMarker, FrameAcknowledge, id, 0, y, x, 0 });
        s.expected.Ack(id, y, x);
    }

    void Dose(Stream& s)
    {
        const int id = Pick(1, 8);
        const int tag = FieldByte(0, 255);
        const int count = Pick(0, 0xFFFF); // a 2 s count never reaches the top byte
        const std::vector<int> frame { kFrameMarker, FrameDoseCount, tag, id >> 8, id & 0xFF,
                                       count >> 16, (count >> 8) & 0xFF, count & 0xFF };
        int check = 0;
        for (std::size_t i = 1; i < frame.size(); ++i)
            check ^= frame[i];
        Put(s, frame);
        Put(s, { check });
        s.expected.Dose(id, count, tag);
    }

    void Coefficients(Stream& s)
    {
        Put(s, { 0, 0, 0, 0, kFrameMarker, CmdGetCalibrationCoefficients, kCalibrationId });
        qint32 values[3];
        for (qint32& v : values) {
            v = Pick(-20000, 30000);
            Put(s, { int(quint32(v) >> 24), int(quint32(v) >> 16) & 0xFF, int(quint32(v) >> 8) & 0xFF,
                     int(v & 0xFF) });
        }
        s.expected.Coefficients(values[0] / kCoefficientScale, values[1] / kCoefficientScale,
                                values[2] / kCoefficientScale);
    }

    void Garbage(Stream& s)
    {
        const int n = Pick(1, 12);
        for (int i = 0; i < n; ++i)
            Put(s, { FieldByte(0, 255) });
        ++s.garbageRuns;
        s.garbageBytes += n;
    }

private:
    static void Put(Stream& s, std::initializer_list<int> bytes)
    {
        for (int b : bytes)
            s.bytes.push_back(static_cast<unsigned char>(b));
    }
    static void Put(Stream& s, const std::vector<int>& bytes)
    {
        for (int b : bytes)
            s.bytes.push_back(static_cast<unsigned char>(b));
    }

    std::mt19937 m_rng;
};

// The buffer reads PSliceDecoder makes on this stream. Only the paths the
// stream can take are followed: every coefficient reply is for our id.
std::vector<quint32> DecoderReads(const std::vector<unsigned char>& s)
{
    std::vector<quint32> reads;
    std::size_t i = 0;
    while (i + kSliceLength <= s.size()) {
        unsigned char slice[kSliceLength];
        std::memcpy(slice, &s[i], kSliceLength);
        i += kSliceLength;
        reads.push_back(kSliceLength);
        if (slice[kCoefficientMarkOffset] == CmdGetCalibrationCoefficients) {
            reads.push_back(kCoefficientTail);
            i += kCoefficientTail;
            continue;
        }
        while (slice[0] != kFrameMarker && i < s.size()) {
            std::memmove(slice, slice + 1, kSliceLength - 1);
            slice[kSliceLength - 1] = s[i++];
            reads.push_back(1);
        }
        if (slice[1] == FrameDoseCount) {
            reads.push_back(kDoseTail);
            i += kDoseTail;
        }
    }
    return reads;
}

Stream BuildStream()
{
    Stream s;
    StreamBuilder b(kSeed);
    for (int n = 0; n < kFrameCount; ++n) {
        const int kind = b.Pick(0, 99);
        // A coefficient reply is only recognised where a frame may start,
        // so garbage only ever comes before the other two.
        if (kind < 3) {
            b.Coefficients(s);
            continue;
        }
        if (b.Pick(0, 99) < 8)
            b.Garbage(s);
        if (kind < 35)
            b.Ack(s);
        else
            b.Dose(s);
    }
    // Socket reads: mostly a frame or two trickling in, sometimes a full
    // read while replies have queued up.
    for (std::size_t left = s.bytes.size(); left > 0;) {
        const int kind = b.Pick(0, 9);
        const int size = kind < 4 ? b.Pick(1, 16) : kind < 8 ? b.Pick(17, 140) : TcpSocket::kReadChunk;
        const quint32 n = quint32(std::min<std::size_t>(left, std::size_t(size)));
        s.chunks.push_back(n);
        left -= n;
    }
    s.reads = DecoderReads(s.bytes);
    return s;
}

const Stream& TheStream()
{
    static const Stream stream = BuildStream();
    return stream;
}

class CountingSink : public PSliceDecoder::Sink
{
public:
    int CalibrationId() override { return kCalibrationId; }
    void Acknowledged(int id, int y, int x) override { tally.Ack(id, y, x); }
    void DoseCounted(int id, int count, int tag) override { tally.Dose(id, count, tag); }
    void CoefficientsRead(double c1, double c2, double c3) override { tally.Coefficients(c1, c2, c3); }

    Tally tally;
};

// One pass over a flat array. Like the decoder it tries the coefficient mark
// only where a frame may start and hunts for 0xFF byte by byte otherwise;
// a coefficient reply for another id does not occur in the stream.
Tally ScanFlat(const unsigned char* s, std::size_t n)
{
    Tally t;
    std::size_t i = 0;
    bool atFrameStart = true;
    while (i + kSliceLength <= n) {
        const unsigned char* f = s + i;
        if (atFrameStart && f[kCoefficientMarkOffset] == CmdGetCalibrationCoefficients
            && f[kCoefficientMarkOffset + 1] == kCalibrationId) {
            if (i + kCoefficientReplyLength > n)
                break;
            t.Coefficients(qFromBigEndian<qint32>(f + 7) / kCoefficientScale,
                           qFromBigEndian<qint32>(f + 11) / kCoefficientScale,
                           qFromBigEndian<qint32>(f + 15) / kCoefficientScale);
            i += kCoefficientReplyLength;
            continue;
        }
        if (f[0] != kFrameMarker) {
            ++i;
            atFrameStart = false;
            continue;
        }
        if (f[1] == FrameDoseCount) {
            if (i + kDoseCountLength > n)
                break;
            t.Dose(f[3] << 8 | f[4], f[5] << 16 | f[6] << 8 | f[7], f[2]);
            i += kDoseCountLength;
        } else {
            if (f[1] == FrameAcknowledge)
                t.Ack(f[2], f[4], f[5]);
            i += kAcknowledgeLength;
        }
        atFrameStart = true;
    }
    return t;
}

void BM_BufferRing(benchmark::State& state)
{
    const Stream& s = TheStream();
    PDataBuffer buffer;
    buffer.Init(TcpSocket::kBufferPackageSize, TcpSocket::kBufferPackageNum);
    unsigned char out[kCoefficientTail];
    for (auto _ : state) {
        const unsigned char* p = s.bytes.data();
        std::size_t r = 0;
        for (quint32 chunk : s.chunks) {
            buffer.Write(p, chunk);
            p += chunk;
            // A read that finds too few bytes fails and is tried again after
            // the next write, as the decoder does.
            while (r < s.reads.size() && buffer.Read(out, s.reads[r])) {
                benchmark::DoNotOptimize(out);
                ++r;
            }
        }
    }
    state.SetBytesProcessed(qint64(state.iterations()) * qint64(s.bytes.size()));
}

void BM_BufferMemcpy(benchmark::State& state)
{
    const Stream& s = TheStream();
    unsigned char flat[kBufferSize];
    unsigned char out[kCoefficientTail];
    for (auto _ : state) {
        const unsigned char* p = s.bytes.data();
        std::size_t r = 0;
        std::size_t head = 0;
        std::size_t tail = 0;
        for (quint32 chunk : s.chunks) {
            // The unread remainder (under 12 bytes) moves to the front, so a
            // flat array never wraps.
            std::memmove(flat, flat + head, tail - head);
            tail -= head;
            head = 0;
            std::memcpy(flat + tail, p, chunk);
            tail += chunk;
            p += chunk;
            while (r < s.reads.size() && tail - head >= s.reads[r]) {
                std::memcpy(out, flat + head, s.reads[r]);
                benchmark::DoNotOptimize(out);
                head += s.reads[r];
                ++r;
            }
        }
    }
    state.SetBytesProcessed(qint64(state.iterations()) * qint64(s.bytes.size()));
}

void ReportMismatch(benchmark::State& state, const char* who, const Tally& got, const Tally& want)
{
    const std::string message = std::string(who) + " decoded " + std::to_string(got.acks) + "/"
        + std::to_string(got.doses) + "/" + std::to_string(got.coefficients) + " acks/doses/coefficients, expected "
        + std::to_string(want.acks) + "/" + std::to_string(want.doses) + "/" + std::to_string(want.coefficients)
        + (got.hash != want.hash ? " (values differ)" : "");
    state.SkipWithError(message.c_str());
}

void BM_DecoderSlices(benchmark::State& state)
{
    const Stream& s = TheStream();
    PDataBuffer buffer;
    buffer.Init(TcpSocket::kBufferPackageSize, TcpSocket::kBufferPackageNum);
    PDosePackProc packProc(&buffer);
    PSliceDecoder decoder(&buffer);
    CountingSink sink;
    decoder.SetSink(&sink);
    Tally firstPass;
    for (auto _ : state) {
        const char* p = reinterpret_cast<const char*>(s.bytes.data());
        for (quint32 chunk : s.chunks) {
            packProc.PushData(p, int(chunk));
            p += chunk;
            decoder.Drain();
        }
        if (firstPass.Frames() == 0)
            firstPass = sink.tally;
    }
    if (!(firstPass == s.expected))
        ReportMismatch(state, "PSliceDecoder", firstPass, s.expected);
    state.SetItemsProcessed(qint64(state.iterations()) * s.expected.Frames());
    state.SetBytesProcessed(qint64(state.iterations()) * qint64(s.bytes.size()));
}

void BM_DecoderFlatScan(benchmark::State& state)
{
    const Stream& s = TheStream();
    Tally firstPass;
    for (auto _ : state) {
        const unsigned char* p = s.bytes.data();
        benchmark::DoNotOptimize(p);
        const Tally t = ScanFlat(p, s.bytes.size());
        benchmark::DoNotOptimize(t);
        benchmark::ClobberMemory();
        if (firstPass.Frames() == 0)
            firstPass = t;
    }
    if (!(firstPass == s.expected))
        ReportMismatch(state, "flat scanner", firstPass, s.expected);
    state.SetItemsProcessed(qint64(state.iterations()) * s.expected.Frames());
    state.SetBytesProcessed(qint64(state.iterations()) * qint64(s.bytes.size()));
}

// The window's operations: the decoder thread asks only for the id.
class CountingConsole : public LinkConsole
{
public:
    QString GetServerIp() const override { return QStringLiteral("127.0.0.1"); }
    int GetServerPort() const override { return 0; }
    void SetStateText(const QString&) override {}
    void ShowDoseLine(int, int, int) override {}
    int GetCalibrationId() const override { return kCalibrationId; }
    void SetLastCoefficients(double, double, double) override {}
};

// Like the link session, the writer never writes more than the buffer has
// room for; it waits by yielding, so the figure is the rate the thread
// sustains. The decoder drains a chunk faster than the writer brings the
// next one, so it sleeps and is woken for nearly every chunk: the figure is
// mostly the cost of that hand-off between threads, hence the wake-ups per
// chunk beside it. What each pass decodes is taken at once, on the decoder
// thread, as a relay would take it on the GUI thread.
void BM_DecoderThread(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    constexpr auto kPatience = std::chrono::seconds(5);

    const Stream& s = TheStream();
    PDataBuffer buffer;
    buffer.Init(TcpSocket::kBufferPackageSize, TcpSocket::kBufferPackageNum);
    PDosePackProc packProc(&buffer);
    PDoseProcThread thread(&buffer, nullptr);
    CountingConsole console;
    thread.SetWindow(&console);
    std::atomic<qint64> acks { 0 };
    std::atomic<qint64> doses { 0 };
    std::atomic<qint64> coefficients { 0 };
    QObject::connect(
        &thread, &PDoseProcThread::FramesReady, &thread,
        [&] {
            for (const LinkFrame& frame : thread.TakeFrames()) {
                std::atomic<qint64>& kind = frame.kind == LinkFrame::Acknowledgement ? acks
                    : frame.kind == LinkFrame::DoseCount                             ? doses
                                                                                     : coefficients;
                kind.fetch_add(1, std::memory_order_relaxed);
            }
        },
        Qt::DirectConnection);
    thread.StartDecoding();

    qint64 rounds = 0;
    qint64 chunksPushed = 0;
    bool stalled = false;
    for (auto _ : state) {
        const char* p = reinterpret_cast<const char*>(s.bytes.data());
        for (quint32 chunk : s.chunks) {
            while (buffer.FreePackageNum() < chunk)
                QThread::yieldCurrentThread();
            packProc.PushData(p, int(chunk));
            p += chunk;
            thread.WakeUp();
        }
        chunksPushed += qint64(s.chunks.size());
        ++rounds;
        const Clock::time_point deadline = Clock::now() + kPatience;
        while (acks + doses + coefficients < rounds * s.expected.Frames() && !stalled) {
            QThread::yieldCurrentThread();
            stalled = Clock::now() > deadline;
        }
        if (stalled)
            break;
    }
    const quint64 passes = thread.PassCount();
    thread.StopDecoding();

    if (stalled || acks != rounds * s.expected.acks || doses != rounds * s.expected.doses
        || coefficients != rounds * s.expected.coefficients) {
        const std::string message = "decoder thread delivered " + std::to_string(acks) + "/"
            + std::to_string(doses) + "/" + std::to_string(coefficients) + " acks/dose counts/coefficients over "
            + std::to_string(rounds) + " rounds of " + std::to_string(s.expected.acks) + "/"
            + std::to_string(s.expected.doses) + "/" + std::to_string(s.expected.coefficients);
        state.SkipWithError(message.c_str());
        return;
    }
    state.SetItemsProcessed(rounds * s.expected.Frames());
    state.SetBytesProcessed(rounds * qint64(s.bytes.size()));
    state.counters["wakeups_per_chunk"] = double(passes) / double(std::max<qint64>(1, chunksPushed));
}

BENCHMARK(BM_BufferRing);
BENCHMARK(BM_BufferMemcpy);
BENCHMARK(BM_DecoderSlices);
BENCHMARK(BM_DecoderFlatScan);
BENCHMARK(BM_DecoderThread)->UseRealTime();

void DescribeStream(const Stream& s)
{
    std::size_t reads[kCoefficientTail + 1] = {};
    quint64 readBytes = 0;
    for (quint32 r : s.reads) {
        ++reads[r];
        readBytes += r;
    }
    std::fprintf(stderr,
                 "stream (seed %u): %zu bytes, %lld acks, %lld dose counts, %lld coefficient replies, "
                 "%d garbage runs (%d bytes)\n"
                 "  %zu socket chunks of 1..%d bytes (mean %.1f); decoder reads of 7/1/2/12 bytes: "
                 "%zu/%zu/%zu/%zu\n",
                 kSeed, s.bytes.size(), static_cast<long long>(s.expected.acks),
                 static_cast<long long>(s.expected.doses), static_cast<long long>(s.expected.coefficients),
                 s.garbageRuns, s.garbageBytes, s.chunks.size(), TcpSocket::kReadChunk,
                 double(s.bytes.size()) / double(s.chunks.size()), reads[kSliceLength], reads[1], reads[kDoseTail],
                 reads[kCoefficientTail]);
    if (readBytes != s.bytes.size())
        std::fprintf(stderr, "  warning: the replayed reads cover %llu of the %zu bytes\n",
                     static_cast<unsigned long long>(readBytes), s.bytes.size());
}

} // namespace

int main(int argc, char* argv[])
{
    // Defaults first, so that the same flags given on the command line win.
    static char repetitions[] = "--benchmark_repetitions=5";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char minTime[] = "--benchmark_min_time=0.3";
    std::vector<char*> args { argv[0], repetitions, aggregates, interleave, minTime };
    args.insert(args.end(), argv + 1, argv + argc);
    int nArgs = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&nArgs, args.data());
    if (benchmark::ReportUnrecognizedArguments(nArgs, args.data()))
        return 1;

    int qtArgc = 1;
    QCoreApplication application(qtArgc, argv);
    DescribeStream(TheStream());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
