// Drives the controller simulator's CommandParser with arbitrary bytes cut
// into arbitrary chunks.
//
// Input layout (FuzzedDataProvider): one chunk-size byte per chunk, taken
// from the end of the input; the stream bytes come from the front. A seed is
// the raw byte stream followed by its chunk sizes in reverse order
// (fuzz/make-corpus writes it).
//   0x00-0xEF  a chunk of (byte % 48) + 1 stream bytes
//   0xF0-0xFF  a chunk of (byte & 0x0F) * 64 + 64 stream bytes

#include "FuzzCheck.h"
#include "CommandFrame.h"
#include "CommandParser.h"
#include "FrameProtocol.h"

#include <QByteArray>
#include <QString>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace FrameProtocol;

namespace {

// The longest command on the wire: coefficients, 20 inner bytes plus the
// envelope. While waiting, the parser holds less than one of those.
constexpr int kLongestCommand = 20 + kEnvelopeOverhead;

struct Outcome {
    bool rejected;
    QString reason;
    CommandFrame::Kind kind;
    quint8 code;
    quint8 target;
    QByteArray payload;

    bool operator==(const Outcome& o) const
    {
        return rejected == o.rejected && reason == o.reason && kind == o.kind && code == o.code
            && target == o.target && payload == o.payload;
    }
};

// The command as the console's encoder puts it on the wire, built here from
// the decoded fields: it must be the very bytes the parser took it from.
QByteArray Encoded(const CommandFrame& command)
{
    QByteArray inner(kZeroPrefixLength, '\0');
    inner += char(kFrameMarker);
    inner += char(command.code());
    inner += char(command.target());
    inner += command.payload();
    inner += char(XorOf(inner.constData() + kZeroPrefixLength + 1, inner.size() - kZeroPrefixLength - 1));
    QByteArray envelope;
    envelope += char(kEnvelopeMarker);
    envelope += char(inner.size());
    envelope += inner;
    envelope += char(XorOf(inner.constData(), inner.size()));
    return envelope;
}

// Feeds the stream in the given chunks, takes every item and checks each
// against the bytes it was cut from.
std::vector<Outcome> Parse(const QByteArray& stream, const std::vector<int>& chunks)
{
    CommandParser parser;
    std::vector<Outcome> outcomes;
    int fed = 0;
    int consumed = 0;
    for (int chunk : chunks) {
        parser.Feed(stream.mid(fed, chunk));
        fed += chunk;
        CHECK(parser.Buffered() >= 0 && parser.Buffered() <= fed - consumed);
        consumed = fed - parser.Buffered();

        CommandParser::Item item;
        while (parser.Next(item)) {
            const int before = consumed;
            consumed = fed - parser.Buffered();
            CHECK(consumed > before); // every item uses up input: no endless loop
            const CommandFrame& command = item.command;
            if (item.rejected) {
                CHECK(!item.reason.isEmpty());
            } else if (command.kind() == CommandFrame::Kind::DoseRequest) {
                CHECK(consumed - before >= kFixedDoseFrameLength);
                CHECK(stream.mid(consumed - kFixedDoseFrameLength, kFixedDoseFrameLength)
                      == QByteArray(kFixedDoseFrame, kFixedDoseFrameLength));
                CHECK(command.Describe() == QLatin1String("dose request"));
            } else {
                const int length = CommandParser::InnerLengthOf(command.code());
                CHECK(length > 0);
                CHECK(command.payload().size() == length - kInnerHeaderLength - 1);
                const QByteArray wire = Encoded(command);
                CHECK(wire.size() == length + kEnvelopeOverhead);
                CHECK(consumed - before >= wire.size());
                CHECK(stream.mid(consumed - wire.size(), wire.size()) == wire);
                CHECK(!command.Describe().isEmpty());
            }
            // A rejection carries only its reason; the item's command is
            // whatever an earlier call left in it.
            if (item.rejected)
                outcomes.push_back({ true, item.reason, CommandFrame::Kind::DoseRequest, 0, 0, QByteArray() });
            else
                outcomes.push_back({ false, QString(), command.kind(), command.code(), command.target(),
                                     command.payload() });
        }
        // Waiting for the rest of one frame at most.
        CHECK(parser.Buffered() < kLongestCommand);
    }
    return outcomes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzedDataProvider fdp(data, size);
    QByteArray stream;
    std::vector<int> chunks;
    while (fdp.remaining_bytes() > 0) {
        const quint8 cut = fdp.ConsumeIntegral<quint8>();
        // Mostly short pieces, as TCP gives them; now and then a long one.
        const std::size_t len = cut < 0xF0 ? cut % 48 + 1u : (cut & 0x0F) * 64u + 64u;
        const std::vector<char> bytes = fdp.ConsumeBytes<char>(len);
        if (bytes.empty())
            break;
        stream.append(bytes.data(), int(bytes.size()));
        chunks.push_back(int(bytes.size()));
    }
    const std::vector<Outcome> chunked = Parse(stream, chunks);
    // How TCP cut the stream must not change what the parser reports.
    CHECK(chunked == Parse(stream, { int(stream.size()) }));
    return 0;
}
