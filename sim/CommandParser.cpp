#include "CommandParser.h"

#include "FrameProtocol.h"
#include "LinkCommand.h"

using namespace FrameProtocol;

namespace {

// Envelope offsets: marker, length, then the inner frame.
constexpr int kLengthOffset = 1;
constexpr int kInnerOffset = 2;
constexpr int kMarkerOffset = kInnerOffset + kZeroPrefixLength;
constexpr int kCodeOffset = kMarkerOffset + 1;
constexpr int kTargetOffset = kCodeOffset + 1;
constexpr int kPayloadOffset = kTargetOffset + 1;
// Inner bytes around the payload: prefix, marker, code, target, check.
constexpr int kInnerFraming = kInnerHeaderLength + 1;
// Consumed bytes are compacted away once they outweigh this.
constexpr int kCompactThreshold = 4096;

bool IsKnownLength(int length)
{
    for (int code = 0; code <= 0xFF; ++code) {
        if (LinkCommand::InnerLengthOf(code) == length)
            return true;
    }
    return false;
}

QString Hex(int value)
{
    return QLatin1String("0x") + QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

int CommandParser::InnerLengthOf(quint8 code)
{
    return LinkCommand::InnerLengthOf(code);
}

void CommandParser::Feed(const QByteArray& bytes)
{
    m_buffer += bytes;
}

bool CommandParser::Next(Item& item)
{
    if (m_bSkipping && !SkipToMarker())
        return false;
    if (Buffered() == 0)
        return false;
    const Outcome outcome = At(0) == kEnvelopeMarker ? TakeEnvelope(item) : TakeDoseRequest(item);
    if (outcome == Outcome::NeedMore)
        return false;
    if (outcome == Outcome::Rejected) {
        // The rest of a bad frame is skipped quietly: one report per frame.
        Drop(1);
        m_bSkipping = true;
    }
    return true;
}

// A dose request cut off at the end of the buffer keeps the skip going
// until it is complete, so its head is not reported as a bad frame of its own.
bool CommandParser::SkipToMarker()
{
    for (int i = 0; i < Buffered(); ++i) {
        const Match match = MatchDoseRequest(i);
        if (At(i) == kEnvelopeMarker || match == Match::Full) {
            Drop(i);
            m_bSkipping = false;
            return true;
        }
        if (match == Match::Partial) {
            Drop(i);
            return false;
        }
    }
    Drop(Buffered());
    return false;
}

CommandParser::Outcome CommandParser::TakeEnvelope(Item& item)
{
    const int available = Buffered();
    if (available <= kLengthOffset)
        return Outcome::NeedMore;
    const int length = At(kLengthOffset);
    Outcome outcome = CheckHeader(available, length, item.reason);
    if (outcome == Outcome::NeedMore && available >= length + kEnvelopeOverhead)
        outcome = CheckChecks(length, item.reason);
    item.rejected = outcome == Outcome::Rejected;
    if (outcome != Outcome::Taken)
        return outcome;
    const QByteArray payload = m_buffer.mid(m_nHead + kPayloadOffset, length - kInnerFraming);
    item.command = CommandFrame::Enveloped(At(kCodeOffset), At(kTargetOffset), payload);
    item.reason.clear();
    Drop(length + kEnvelopeOverhead);
    return Outcome::Taken;
}

// Judges the header as far as it has arrived, so a bad frame is rejected
// without waiting for bytes that its length promises but may never come.
CommandParser::Outcome CommandParser::CheckHeader(int available, int length, QString& reason) const
{
    if (!IsKnownLength(length)) {
        reason = QStringLiteral("bad length %1").arg(length);
        return Outcome::Rejected;
    }
    for (int i = kInnerOffset; i < kMarkerOffset && i < available; ++i) {
        if (At(i) != 0) {
            reason = QStringLiteral("non-zero prefix byte %1 at inner offset %2").arg(Hex(At(i))).arg(i - kInnerOffset);
            return Outcome::Rejected;
        }
    }
    if (available > kMarkerOffset && At(kMarkerOffset) != kFrameMarker) {
        reason = QStringLiteral("frame marker is %1, not 0xFF").arg(Hex(At(kMarkerOffset)));
        return Outcome::Rejected;
    }
    if (available > kCodeOffset) {
        const int expected = InnerLengthOf(At(kCodeOffset));
        if (expected < 0) {
            reason = QStringLiteral("unknown command %1").arg(Hex(At(kCodeOffset)));
            return Outcome::Rejected;
        }
        if (expected != length) {
            reason = QStringLiteral("length %1 does not fit command %2, which has %3")
                         .arg(length).arg(Hex(At(kCodeOffset))).arg(expected);
            return Outcome::Rejected;
        }
    }
    return Outcome::NeedMore;
}

CommandParser::Outcome CommandParser::CheckChecks(int length, QString& reason) const
{
    const char* inner = m_buffer.constData() + m_nHead + kInnerOffset;
    const int checkOffset = length - 1;
    const quint8 frameCheck = XorOf(inner + kZeroPrefixLength + 1, checkOffset - kZeroPrefixLength - 1);
    if (quint8(inner[checkOffset]) != frameCheck) {
        reason = QStringLiteral("bad frame check %1, expected %2").arg(Hex(quint8(inner[checkOffset]))).arg(Hex(frameCheck));
        return Outcome::Rejected;
    }
    const quint8 envelopeCheck = XorOf(inner, length);
    if (quint8(inner[length]) != envelopeCheck) {
        reason = QStringLiteral("bad envelope check %1, expected %2").arg(Hex(quint8(inner[length]))).arg(Hex(envelopeCheck));
        return Outcome::Rejected;
    }
    return Outcome::Taken;
}

CommandParser::Outcome CommandParser::TakeDoseRequest(Item& item)
{
    switch (MatchDoseRequest(0)) {
    case Match::Partial:
        return Outcome::NeedMore;
    case Match::Full:
        item.rejected = false;
        item.command = CommandFrame::DoseRequest();
        item.reason.clear();
        Drop(kFixedDoseFrameLength);
        return Outcome::Taken;
    case Match::None:
        break;
    }
    item.rejected = true;
    item.reason = QStringLiteral("bad marker %1").arg(Hex(At(0)));
    return Outcome::Rejected;
}

CommandParser::Match CommandParser::MatchDoseRequest(int at) const
{
    const int available = Buffered() - at;
    for (int i = 0; i < kFixedDoseFrameLength; ++i) {
        if (i == available)
            return Match::Partial;
        if (At(at + i) != quint8(kFixedDoseFrame[i]))
            return Match::None;
    }
    return Match::Full;
}

void CommandParser::Drop(int count)
{
    m_nHead += count;
    if (m_nHead == m_buffer.size()) {
        m_buffer.clear();
        m_nHead = 0;
    } else if (m_nHead > kCompactThreshold) {
        m_buffer.remove(0, m_nHead);
        m_nHead = 0;
    }
}
