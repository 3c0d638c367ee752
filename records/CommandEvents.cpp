#include "CommandEvents.h"

#include "FrameProtocol.h"
#include "LinkCommand.h"
#include "RecordWriter.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace FrameProtocol;

namespace {

constexpr int kMaxPending = 64;
constexpr int kCoefficientRead = -1; // the reply type of a read-back, which is no acknowledgement

struct CommandKind {
    quint8 code;
    const char* name;
    const char* value; // the name of the payload's value
    int reply; // 0: the node answers nothing
};

const CommandKind kCommands[] = {
    { CmdSetThreshold, "threshold", "threshold", ReplyThreshold },
    { CmdSetDisplaySwitch, "switches", "on", ReplySwitches },
    { CmdSetDetectorParameters, "detector type", "parameters", ReplyDetectorParameters },
    { CmdChangeNodeId, "node id", "new id", ReplyNodeId },
    { CmdSetLanguage, "language", "language", ReplyLanguage },
    { CmdSetPrecision, "precision", "precision", ReplyPrecision },
    { CmdSetCalibrationCoefficients, "set coefficients", "coefficients", ReplyCoefficients },
    { CmdGetCalibrationCoefficients, "get coefficients", "", kCoefficientRead },
    { CmdSetDisplayUnit, "display unit", "unit", ReplyDisplayUnit },
    { CmdSetAlarmTest, "alarm test", "on", ReplyAlarmTest },
    { CmdChangeSlaveAddress, "slave address", "new address", 0 },
    // The steps that adjust a node belong to its calibration's story too.
    { CmdPotentiometerDown, "potentiometer down", "steps", ReplyPotentiometerDown },
    { CmdPotentiometerUp, "potentiometer up", "steps", ReplyPotentiometerUp },
};

// One value as itself, several as an array.
QJsonValue ValueOf(const LinkCommand& command)
{
    const QVector<double> values = command.Values();
    if (values.size() == 1)
        return values[0];
    QJsonArray array;
    for (double value : values)
        array.append(value);
    return array.isEmpty() ? QJsonValue() : QJsonValue(array);
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
    const QJsonValue value = ValueOf(LinkCommand::FromEnvelope(frame));
    if (!value.isNull())
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
