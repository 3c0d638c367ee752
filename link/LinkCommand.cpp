#include "LinkCommand.h"

#include "FrameProtocol.h"

#include <QtEndian>

#include <cstring>

using namespace FrameProtocol;

namespace {

enum class Layout { None, Byte, FloatLE, ThreeWords, ThreeCoefficients };

struct Shape {
    quint8 code;
    Layout layout;
};

const Shape kShapes[] = {
    { CmdSetThreshold, Layout::FloatLE },
    { CmdSetDisplaySwitch, Layout::Byte },
    { CmdSetDetectorParameters, Layout::ThreeWords },
    { CmdChangeNodeId, Layout::Byte },
    { CmdSetLanguage, Layout::Byte },
    { CmdSetPrecision, Layout::Byte },
    { CmdSetCalibrationCoefficients, Layout::ThreeCoefficients },
    { CmdGetCalibrationCoefficients, Layout::None },
    { CmdSetDisplayUnit, Layout::Byte },
    { CmdSetAlarmTest, Layout::Byte },
    { CmdChangeSlaveAddress, Layout::Byte },
    { CmdPotentiometerDown, Layout::Byte },
    { CmdPotentiometerUp, Layout::Byte },
};

constexpr int kEnvelopeHeaderLength = 2; // marker, length

const Shape* ShapeOf(int code)
{
    for (const Shape& shape : kShapes) {
        if (shape.code == code)
            return &shape;
    }
    return nullptr;
}

int PayloadLength(Layout layout)
{
    switch (layout) {
    case Layout::None:
        return 0;
    case Layout::Byte:
        return 1;
    case Layout::FloatLE:
        return 4;
    case Layout::ThreeWords:
        return 6;
    case Layout::ThreeCoefficients:
        return 12;
    }
    return 0;
}

QByteArray Encode(Layout layout, const QVector<double>& values)
{
    const auto value = [&values](int i) { return i < values.size() ? values[i] : 0.0; };
    QByteArray payload(PayloadLength(layout), '\0');
    char* out = payload.data();
    switch (layout) {
    case Layout::None:
        break;
    case Layout::Byte:
        out[0] = char(quint8(qint64(value(0))));
        break;
    case Layout::FloatLE: {
        // The one little-endian field of the protocol.
        const float threshold = float(value(0));
        quint32 bits;
        std::memcpy(&bits, &threshold, sizeof bits);
        qToLittleEndian(bits, out);
        break;
    }
    case Layout::ThreeWords:
        for (int i = 0; i < 3; ++i)
            qToBigEndian(quint16(qint64(value(i))), out + 2 * i);
        break;
    case Layout::ThreeCoefficients:
        for (int i = 0; i < 3; ++i)
            qToBigEndian(ScaleCoefficient(value(i)), out + 4 * i);
        break;
    }
    return payload;
}

} // namespace

LinkCommand::LinkCommand(int code, int target, const QVector<double>& values)
{
    if (const Shape* shape = ShapeOf(code)) {
        m_nCode = quint8(code);
        m_nTarget = quint8(target);
        m_payload = Encode(shape->layout, values);
    }
}

LinkCommand LinkCommand::FromEnvelope(const QByteArray& envelope)
{
    const int payloadOffset = kEnvelopeHeaderLength + kInnerHeaderLength;
    if (envelope.size() <= payloadOffset || quint8(envelope[0]) != kEnvelopeMarker)
        return LinkCommand();
    const int codeOffset = kEnvelopeHeaderLength + kZeroPrefixLength + 1;
    // Up to the frame check and the envelope check.
    return FromPayload(quint8(envelope[codeOffset]), quint8(envelope[codeOffset + 1]),
                       envelope.mid(payloadOffset, envelope.size() - payloadOffset - 2));
}

LinkCommand LinkCommand::FromPayload(int code, int target, const QByteArray& payload)
{
    const Shape* shape = ShapeOf(code);
    if (!shape || payload.size() < PayloadLength(shape->layout))
        return LinkCommand();
    LinkCommand command;
    command.m_nCode = quint8(code);
    command.m_nTarget = quint8(target);
    command.m_payload = payload.left(PayloadLength(shape->layout));
    return command;
}

int LinkCommand::InnerLengthOf(int code)
{
    const Shape* shape = ShapeOf(code);
    return shape ? kInnerHeaderLength + PayloadLength(shape->layout) + 1 : -1;
}

QVector<double> LinkCommand::Values() const
{
    const Shape* shape = ShapeOf(m_nCode);
    if (!shape)
        return {};
    const char* in = m_payload.constData();
    switch (shape->layout) {
    case Layout::None:
        return {};
    case Layout::Byte:
        return { double(quint8(in[0])) };
    case Layout::FloatLE: {
        const quint32 bits = qFromLittleEndian<quint32>(in);
        float threshold;
        std::memcpy(&threshold, &bits, sizeof threshold);
        return { double(threshold) };
    }
    case Layout::ThreeWords:
        return { double(qFromBigEndian<quint16>(in)), double(qFromBigEndian<quint16>(in + 2)),
                 double(qFromBigEndian<quint16>(in + 4)) };
    case Layout::ThreeCoefficients:
        return { qFromBigEndian<qint32>(in) / kCoefficientScale, qFromBigEndian<qint32>(in + 4) / kCoefficientScale,
                 qFromBigEndian<qint32>(in + 8) / kCoefficientScale };
    }
    return {};
}

double LinkCommand::Value(int i) const
{
    const QVector<double> values = Values();
    return i >= 0 && i < values.size() ? values[i] : 0.0;
}

QByteArray LinkCommand::Inner() const
{
    if (!IsValid())
        return QByteArray();
    QByteArray inner(kInnerHeaderLength, '\0'); // the zero prefix
    inner[kZeroPrefixLength] = char(kFrameMarker);
    inner[kZeroPrefixLength + 1] = char(m_nCode);
    inner[kZeroPrefixLength + 2] = char(m_nTarget);
    inner += m_payload;
    // From the command code to the last payload byte.
    inner += char(XorOf(inner.constData() + kZeroPrefixLength + 1, inner.size() - kZeroPrefixLength - 1));
    return inner;
}
