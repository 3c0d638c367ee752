// Drives the receive path with arbitrary network bytes: PDosePackProc into a
// PDataBuffer, drained by PSliceDecoder into a checking sink.
//
// Input layout (FuzzedDataProvider): control values are taken from the end
// of the input, stream bytes from the front, so a seed is the raw byte
// stream followed by a short trailer (fuzz/make-corpus writes it).
//   setup byte: bits 5-7 all set -> the buffer alone, packages of 1-8 bytes;
//               bits 0-1 == 3 -> a receive buffer of 12 to 1024 bytes
//               instead of the console's 345; bit 2 -> a calibration id no
//               reply byte can equal; bits 3-4 both set -> the decoder starts
//               without a sink.
//   calibration id byte.
//   then one op byte per step (see RunDecoder).

#include "FuzzCheck.h"
#include "FrameProtocol.h"
#include "PDataBuffer.h"
#include "PDosePackProc.h"
#include "PSliceDecoder.h"

#include <QRegularExpression>
#include <QString>
#include <QTime>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <limits>
#include <unistd.h>
#include <vector>

namespace {

constexpr quint32 kConsoleCapacity = 345;
constexpr quint32 kSmallestCapacity = 12; // a coefficient tail must fit whole
constexpr int kRecoveryPadding = 20;

struct Event {
    enum Kind { Ack, Dose, Coefficients } kind;
    int a = 0, b = 0, c = 0;
    double c1 = 0, c2 = 0, c3 = 0;

    bool operator==(const Event& o) const
    {
        return kind == o.kind && a == o.a && b == o.b && c == o.c && c1 == o.c1 && c2 == o.c2 && c3 == o.c3;
    }
};

bool IsByte(int value)
{
    return value >= 0 && value <= 255;
}

void CheckCoefficient(double value)
{
    CHECK(std::isfinite(value));
    CHECK(value >= std::numeric_limits<qint32>::min() / FrameProtocol::kCoefficientScale);
    CHECK(value <= std::numeric_limits<qint32>::max() / FrameProtocol::kCoefficientScale);
    const double scaled = value * FrameProtocol::kCoefficientScale;
    CHECK(std::fabs(scaled - std::nearbyint(scaled)) < 1e-3); // a whole number of 1/10000
}

void CheckDoseLine(int id, int count, int tag)
{
    // The time only fills a field: vary it without spending input on it.
    const QTime time(id % 24, count % 60, tag % 60);
    const QString line = FrameProtocol::FormatDoseLine(id, count, tag, time);
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral(
        "([0-9]{1,5})\\.   ([0-9]{2}:[0-9]{2}:[0-9]{2})\\.    ([0-9]{1,5}\\.[0-9]{4})   count: ([0-9]{1,3})")));
    const QRegularExpressionMatch match = pattern.match(line);
    if (!match.hasMatch()) {
        std::fprintf(stderr, "fuzz_decoder: dose line \"%s\"\n", qPrintable(line));
        FuzzInvariantBroken(__FILE__, __LINE__, "dose line matches its pattern");
    }
    // The fields must carry the values, not just look like numbers.
    CHECK(match.captured(1).toInt() == id);
    CHECK(match.captured(2) == time.toString(QStringLiteral("hh:mm:ss")));
    CHECK(std::fabs(match.captured(3).toDouble() - count * FrameProtocol::kDosePerCount) <= 0.00005 + 1e-9);
    CHECK(match.captured(4).toInt() == tag);
}

class CheckingSink : public PSliceDecoder::Sink
{
public:
    CheckingSink(int calibrationId, bool checkLines)
        : m_calibrationId(calibrationId)
        , m_checkLines(checkLines)
    {
    }

    int CalibrationId() override { return m_calibrationId; }

    void Acknowledged(int id, int y, int x) override
    {
        CHECK(IsByte(id) && IsByte(y) && IsByte(x));
        events.push_back({ Event::Ack, id, y, x });
    }

    void DoseCounted(int id, int count, int tag) override
    {
        CHECK(id >= 0 && id <= 0xFFFF);
        CHECK(count >= 0 && count <= 0xFFFFFF);
        CHECK(IsByte(tag));
        if (m_checkLines)
            CheckDoseLine(id, count, tag);
        events.push_back({ Event::Dose, id, count, tag });
    }

    void CoefficientsRead(double c1, double c2, double c3) override
    {
        CheckCoefficient(c1);
        CheckCoefficient(c2);
        CheckCoefficient(c3);
        Event event { Event::Coefficients };
        event.c1 = c1;
        event.c2 = c2;
        event.c3 = c3;
        events.push_back(event);
    }

    std::vector<Event> events;

private:
    int m_calibrationId;
    bool m_checkLines;
};

void CheckBuffer(const PDataBuffer& buffer)
{
    const quint64 total = buffer.TotalPackageNum();
    const quint64 held = buffer.PackageNum();
    CHECK(held <= total);
    if (total == 0)
        return;
    CHECK(buffer.WritePage() < total);
    CHECK(buffer.ReadPage() < total);
    CHECK(buffer.WritePage() == (buffer.ReadPage() + held) % total);
}

// The receive path as the link session sets it up.
struct Rig {
    Rig(quint32 capacity, CheckingSink* pSink)
        : pack(&buffer)
        , decoder(&buffer)
    {
        buffer.Init(1, capacity);
        decoder.SetSink(pSink);
    }

    PDataBuffer buffer;
    PDosePackProc pack;
    PSliceDecoder decoder;
};

// A second decoder that gets the bytes the buffer kept one at a time,
// draining after each. The decoder under test must report the same, however
// the stream was cut and whenever its thread got to drain, with one
// exception: a whole acknowledgement or dose-count frame with 0x0D at byte 5
// is tried as a coefficient reply only when 12 bytes are buffered behind it
// as it is taken, which never happens to the reference. From a stream that
// holds such a frame on, the two may part until a reconnect empties both.
struct Reference {
    Reference(quint32 capacity, int calibrationId, bool withSink)
        : sink(calibrationId, false)
        , rig(capacity, withSink ? &sink : nullptr)
    {
    }

    void Feed(const char* data, std::size_t len)
    {
        for (std::size_t i = 0; i < len; ++i) {
            rig.pack.PushData(data + i, 1);
            rig.decoder.Drain();
        }
    }

    CheckingSink sink;
    Rig rig;
};

class DecoderRun
{
public:
    DecoderRun(quint32 capacity, int calibrationId, bool withSink)
        : m_capacity(capacity)
        , m_sink(calibrationId, true)
        , m_rig(capacity, withSink ? &m_sink : nullptr)
        , m_reference(capacity, calibrationId, withSink)
        , m_bSinkSet(withSink)
    {
    }

    // A network read of len bytes, then (if drain) the decoder thread's pass.
    void Receive(FuzzedDataProvider& fdp, std::size_t len, bool drain)
    {
        std::vector<char> bytes = fdp.ConsumeBytes<char>(len);
        if (bytes.empty())
            return;
        const quint32 held = m_rig.buffer.PackageNum();
        m_rig.pack.PushData(bytes.data(), int(bytes.size()));
        // An overflowing write keeps every unread byte and stores what fits.
        const quint32 stored = quint32(std::min<std::size_t>(bytes.size(), m_capacity - held));
        CHECK(m_rig.buffer.PackageNum() == held + stored);
        CheckBuffer(m_rig.buffer);
        m_reference.Feed(bytes.data(), stored);
        NoteFramesWithTheMark(bytes.data(), stored);
        if (drain)
            Drain();
    }

    void Drain()
    {
        m_rig.decoder.Drain();
        CheckBuffer(m_rig.buffer);
        if (m_bParted)
            return;
        // Both have taken every complete slice of the same stream.
        CHECK(m_rig.buffer.PackageNum() == m_reference.rig.buffer.PackageNum());
        CHECK(m_sink.events.size() == m_reference.sink.events.size());
        for (; m_nCompared < m_sink.events.size(); ++m_nCompared)
            CHECK(m_sink.events[m_nCompared] == m_reference.sink.events[m_nCompared]);
    }

    void AttachSink()
    {
        Drain();
        m_rig.decoder.SetSink(&m_sink);
        m_reference.rig.decoder.SetSink(&m_reference.sink);
        m_bSinkSet = true;
    }

    // A lost connection: the decoder thread stops after a last pass and the
    // buffer is emptied with any unfinished frame.
    void Reconnect()
    {
        Drain();
        for (Rig* rig : { &m_rig, &m_reference.rig }) {
            rig->buffer.Clear();
            rig->decoder.Reset();
        }
        CheckBuffer(m_rig.buffer);
        m_nRecent = 0;
        m_nSeen = 0;
        if (m_bParted) { // both start afresh: compare again from here
            m_sink.events.clear();
            m_reference.sink.events.clear();
            m_nCompared = 0;
            m_bParted = false;
        }
    }

    // Whatever came before, 20 zero bytes and an acknowledgement get that
    // acknowledgement reported, last, with nothing left over. Old bytes can
    // hold the decoder for a while: a coefficient mark swallows 12 bytes,
    // then the slice it kept, shifted to an old 0xFF, takes up to 6 more as
    // an unknown frame or a dose head and tail. So a fresh slice may start
    // as late as 18 bytes into the zeros; one starting 17 bytes in has the
    // id at byte 5, and an id of 0x0D would make it a coefficient mark that
    // swallows the acknowledgement (old bytes 00 00 00 00 FF 0D and a
    // calibration id other than 0 do it). So the id is never 0x0D; y and x
    // may be anything. Any other fresh slice has 0x00, 0x01 or 0xFF at
    // byte 5 and shifts through the zeros onto the acknowledgement's 0xFF.
    void CheckRecovery(int id, int y, int x)
    {
        CHECK(id != FrameProtocol::CmdGetCalibrationCoefficients);
        if (!m_bSinkSet)
            AttachSink();
        std::vector<char> tail(kRecoveryPadding, '\0');
        const char ack[] = { char(0xFF), 0x01, char(id), 0x00, char(y), char(x), 0x00 };
        tail.insert(tail.end(), ack, ack + sizeof ack);
        // In writes that fit: the stream must not lose a byte to overflow.
        for (std::size_t at = 0; at < tail.size();) {
            const std::size_t room = m_capacity - m_rig.buffer.PackageNum();
            CHECK(room > 0);
            const std::size_t len = std::min(room, tail.size() - at);
            m_rig.pack.PushData(tail.data() + at, int(len));
            m_rig.decoder.Drain();
            CheckBuffer(m_rig.buffer);
            at += len;
        }
        CHECK(!m_sink.events.empty());
        CHECK(m_sink.events.back() == (Event { Event::Ack, id, y, x }));
        CHECK(m_rig.buffer.PackageNum() == 0);
    }

private:
    // FF, 01 or 02, three bytes, 0x0D: where the cut decides what is reported.
    void NoteFramesWithTheMark(const char* data, std::size_t len)
    {
        for (std::size_t i = 0; i < len; ++i) {
            m_nRecent = m_nRecent << 8 | quint8(data[i]);
            const quint8 type = quint8(m_nRecent >> 32);
            if (++m_nSeen >= 6 && quint8(m_nRecent) == FrameProtocol::CmdGetCalibrationCoefficients
                && quint8(m_nRecent >> 40) == FrameProtocol::kFrameMarker
                && (type == FrameProtocol::FrameAcknowledge || type == FrameProtocol::FrameDoseCount))
                m_bParted = true;
        }
    }

    quint32 m_capacity;
    CheckingSink m_sink;
    Rig m_rig;
    Reference m_reference;
    bool m_bSinkSet;
    std::size_t m_nCompared = 0;
    quint64 m_nRecent = 0; // the last bytes stored, newest lowest
    std::size_t m_nSeen = 0;
    bool m_bParted = false;
};

void RunDecoder(FuzzedDataProvider& fdp, quint8 setup, std::size_t inputSize)
{
    const quint32 capacity = (setup & 0x03) == 0x03
        ? fdp.ConsumeIntegralInRange<quint32>(kSmallestCapacity, 1024)
        : kConsoleCapacity;
    int calibrationId = fdp.ConsumeIntegral<quint8>();
    if (setup & 0x04)
        calibrationId += 256;
    const bool withSink = (setup & 0x18) != 0x18;

    DecoderRun run(capacity, calibrationId, withSink);
    while (fdp.remaining_bytes() > 0) {
        const quint8 op = fdp.ConsumeIntegral<quint8>();
        switch (op >> 6) {
        case 0:
        case 1: // the usual case: a read, then the decoder's pass
            run.Receive(fdp, (op & 0x7F) + 1u, true);
            break;
        case 2: // a read larger than the console's 280 bytes: may overflow
            run.Receive(fdp, fdp.ConsumeIntegralInRange<std::size_t>(1, 1024), true);
            break;
        default: {
            const int sub = op & 0x3F;
            if (sub < 48) // the decoder thread lags behind the reads
                run.Receive(fdp, sub + 1u, false);
            else if (sub < 60)
                run.Drain();
            else if (sub < 62)
                run.AttachSink();
            else
                run.Reconnect();
            break;
        }
        }
    }
    run.Drain();

    int id = int(inputSize & 0xFF);
    if (id == FrameProtocol::CmdGetCalibrationCoefficients)
        ++id;
    run.CheckRecovery(id, int((inputSize * 7) & 0xFF), int((inputSize * 13 + 1) & 0xFF));
}

// The buffer alone, with geometries the console does not use, against a
// plain byte queue.
void RunBuffer(FuzzedDataProvider& fdp)
{
    PDataBuffer buffer;
    quint32 size = fdp.ConsumeIntegralInRange<quint32>(1, 8);
    quint32 total = fdp.ConsumeIntegralInRange<quint32>(1, 300);
    buffer.Init(size, total);
    std::deque<char> model;

    while (fdp.remaining_bytes() > 0) {
        const quint8 op = fdp.ConsumeIntegral<quint8>();
        switch (op & 0x03) {
        case 0:
        case 1: {
            const quint32 num = fdp.ConsumeIntegralInRange<quint32>(0, 2 * total);
            std::vector<char> bytes = fdp.ConsumeBytes<char>(std::size_t(num) * size);
            bytes.resize(std::size_t(num) * size + 1); // never a null pointer
            const quint32 held = buffer.PackageNum();
            buffer.Write(bytes.data(), num);
            const quint32 stored = std::min(num, total - held);
            CHECK(buffer.PackageNum() == held + stored);
            model.insert(model.end(), bytes.begin(), bytes.begin() + std::size_t(stored) * size);
            break;
        }
        case 2: {
            const quint32 num = fdp.ConsumeIntegralInRange<quint32>(0, total + 1);
            std::vector<char> out(std::size_t(num) * size + 1, '\x5A');
            const quint32 held = buffer.PackageNum();
            const bool expected = model.size() >= std::size_t(num) * size;
            CHECK(buffer.Read(out.data(), num) == expected);
            if (expected) {
                CHECK(std::equal(out.begin(), out.begin() + std::size_t(num) * size, model.begin()));
                model.erase(model.begin(), model.begin() + std::size_t(num) * size);
            } else {
                CHECK(buffer.PackageNum() == held);
            }
            CHECK(out.back() == '\x5A'); // nothing written past the request
            break;
        }
        default:
            if (op & 0x04) {
                size = fdp.ConsumeIntegralInRange<quint32>(1, 8);
                total = fdp.ConsumeIntegralInRange<quint32>(1, 300);
                buffer.Init(size, total);
                CHECK(buffer.PackageSize() == size && buffer.TotalPackageNum() == total);
            } else {
                buffer.Clear();
            }
            CHECK(buffer.PackageNum() == 0 && buffer.WritePage() == 0 && buffer.ReadPage() == 0);
            model.clear();
            break;
        }
        CheckBuffer(buffer);
        CHECK(std::size_t(buffer.PackageNum()) * size == model.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Every overflow prints a line on standard output, which would slow the
    // fuzzer down. libFuzzer and the sanitizers report on standard error;
    // an assertion report of the project is lost here, but its abort still
    // shows with a stack trace.
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const quint8 setup = fdp.ConsumeIntegral<quint8>();
    if ((setup & 0xE0) == 0xE0)
        RunBuffer(fdp);
    else
        RunDecoder(fdp, setup, size);
    return 0;
}
