#include "CommandEvents.h"

#include "FrameProtocol.h"
#include "RecordWriter.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QtEndian>

#include <cstring>

using namespace FrameProtocol;

namespace {

constexpr int kMaxPending = 64;
constexpr int kPayloadOffset = 2 + kInnerHeaderLength; // envelope marker and length, then the inner header
constexpr int kCoefficientRead = -1; // the reply type of a read-back, which is no acknowledgement

enum class Payload { None, Byte, FloatLE, ThreeU16, ThreeCoefficients };

struct CommandKind {
    quint8 code;
    const char* name;
    const char* value; // the name of the payload's value
    Payload payload;
    int reply; // 0: the node answers nothing
};

const CommandKind kCommands[] = {
    { CmdSetThreshold, "threshold", "threshold", Payload::FloatLE, ReplyThreshold },
    { CmdSetDisplaySwitch, "switches", "on", Payload::Byte, ReplySwitches },
    { CmdSetDetectorParameters, "detector type", "parameters", Payload::ThreeU16, ReplyDetectorParameters },
    { CmdChangeNodeId, "node id", "new id", Payload::Byte, ReplyNodeId },
    { CmdSetLanguage, "language", "language", Payload::Byte, ReplyLanguage },
    { CmdSetPrecision, "precision", "precision", Payload::Byte, ReplyPrecision },
    { CmdSetCalibrationCoefficients, "set coefficients", "coefficients", Payload::ThreeCoefficients,
      ReplyCoefficients },
    { CmdGetCalibrationCoefficients, "get coefficients", "", Payload::None, kCoefficientRead },
    { CmdSetDisplayUnit, "display unit", "unit", Payload::Byte, ReplyDisplayUnit },
    { CmdSetAlarmTest, "alarm test", "on", Payload::Byte, ReplyAlarmTest },
    { CmdChangeSlaveAddress, "slave address", "new address", Payload::Byte, 0 },
    // The steps that adjust a node belong to its calibration's story too.
    { CmdPotentiometerDown, "potentiometer down", "steps", Payload::Byte, ReplyPotentiometerDown },
    { CmdPotentiometerUp, "potentiometer up", "steps", Payload::Byte, ReplyPotentiometerUp },
};

QJsonValue ValueOf(Payload payload, const char* data, int size)
{
    switch (payload) {
    case Payload::Byte:
        return size >= 1 ? QJsonValue(int(quint8(data[0]))) : QJsonValue();
    case Payload::FloatLE: {
        if (size < 4)
            return QJsonValue();
        const quint32 bits = qFromLittleEndian<quint32>(data);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return double(value);
    }
    case Payload::ThreeU16:
        if (size < 6)
            return QJsonValue();
        return QJsonArray { qFromBigEndian<quint16>(data), qFromBigEndian<quint16>(data + 2),
                            qFromBigEndian<quint16>(data + 4) };
    case Payload::ThreeCoefficients:
        if (size < 12)
            return QJsonValue();
        return QJsonArray { qFromBigEndian<qint32>(data) / kCoefficientScale,
                            qFromBigEndian<qint32>(data + 4) / kCoefficientScale,
                            qFromBigEndian<qint32>(data + 8) / kCoefficientScale };
    case Payload::None:
        break;
    }
    return QJsonValue();
}

const CommandKind* KindOf(int code)
{
    for (const CommandKind& kind : kCommands) {
        if (kind.code == code)
            return &kind;
    }
    return nullptr;
}

} // namespace

CommandEvents::CommandEvents(RecordWriter* pWriter, QObject* parent)
    : QObject(parent)
    , m_pWriter(pWriter)
{
}

QJsonObject CommandEvents::Describe(int code, const QByteArray& frame)
{
    const CommandKind* kind = KindOf(code);
    if (!kind)
        return QJsonObject();
    QJsonObject content { { QStringLiteral("command"), QLatin1String(kind->name) },
                          { QStringLiteral("frame"), QString::fromLatin1(frame.toHex(' ')) } };
    const QJsonValue value
        = ValueOf(kind->payload, frame.constData() + kPayloadOffset, frame.size() - kPayloadOffset - 1);
    if (!value.isUndefined() && !value.isNull())
        content.insert(QLatin1String(kind->value), value);
    return content;
}

void CommandEvents::CommandSent(int code, int target, const QByteArray& frame)
{
    const CommandKind* kind = KindOf(code);
    if (!kind)
        return;
    const qint64 ticket = m_pWriter->Append(QStringLiteral("command"), target, Describe(code, frame));
    if (kind->reply != 0) {
        m_listPending.append({ ticket, kind->reply, target });
        if (m_listPending.size() > kMaxPending)
            m_listPending.removeFirst();
    }
}

// The oldest command of the node that this reply answers; a node whose id
// was just changed answers under its new id, so failing the node, the
// oldest of the kind.
qint64 CommandEvents::TakePending(int reply, int id)
{
    int match = -1;
    for (int i = 0; i < m_listPending.size(); ++i) {
        if (m_listPending[i].reply != reply)
            continue;
        if (m_listPending[i].target == id) {
            match = i;
            break;
        }
        if (match < 0)
            match = i;
    }
    return match < 0 ? 0 : m_listPending.takeAt(match).ticket;
}

void CommandEvents::Acknowledged(int id, int y, int x)
{
    const QJsonObject content { { QStringLiteral("reply"), x }, { QStringLiteral("value"), y } };
    m_pWriter->Append(QStringLiteral("acknowledgement"), id, content, QStringLiteral("acknowledges"),
                      TakePending(x, id), ArrivalMs());
}

void CommandEvents::NodeStatesChanged(const QVector<int>& ids, const QStringList& states)
{
    QVector<RecordWriter::Entry> rows;
    for (int i = 0; i < ids.size() && i < states.size(); ++i) {
        RecordWriter::Entry row;
        row.kind = QStringLiteral("node state");
        row.node = ids[i];
        row.content = { { QStringLiteral("state"), states[i] } };
        rows.append(row);
    }
    if (!rows.isEmpty())
        m_pWriter->Append(rows);
}

void CommandEvents::CoefficientsRead(int id, double c1, double c2, double c3)
{
    const QJsonObject content { { QStringLiteral("coefficients"), QJsonArray { c1, c2, c3 } } };
    m_pWriter->Append(QStringLiteral("coefficients read"), id, content, QStringLiteral("answers"),
                      TakePending(kCoefficientRead, id), ArrivalMs());
}
