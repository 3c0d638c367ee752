#include "NodeBank.h"

#include "CommandFrame.h"
#include "DoseModel.h"
#include "NodeSchedule.h"
#include "SimLog.h"

#include <QStringList>

using namespace FrameProtocol;

namespace {

constexpr int kMinId = 1;
constexpr int kMaxId = 255;
// The byte the console's decoder takes for a coefficient reply at offset 5
// of a slice, which is where a dose-count frame carries its count's top byte.
constexpr quint32 kMisreadTopByte = CmdGetCalibrationCoefficients;

bool ParseId(const QString& text, int& id)
{
    bool ok = false;
    id = text.trimmed().toInt(&ok);
    return ok && id >= kMinId && id <= kMaxId;
}

bool ParsePart(const QString& part, int& first, int& last)
{
    const QStringList bounds = part.split(QLatin1Char('-'));
    if (bounds.size() > 2 || !ParseId(bounds.first(), first))
        return false;
    if (bounds.size() == 1) {
        last = first;
        return true;
    }
    return ParseId(bounds.last(), last) && first <= last;
}

} // namespace

bool NodeBank::ParseIds(const QString& text, QList<quint8>& ids, QString& error)
{
    ids.clear();
    for (const QString& part : text.split(QLatin1Char(','))) {
        int first = 0, last = 0;
        if (!ParsePart(part, first, last)) {
            error = QStringLiteral("bad node list part \"%1\": ids run from 1 to 255").arg(part);
            return false;
        }
        for (int id = first; id <= last; ++id) {
            if (ids.contains(quint8(id))) {
                error = QStringLiteral("node %1 is listed twice").arg(id);
                return false;
            }
            ids << quint8(id);
        }
    }
    return true;
}

NodeBank::NodeBank(const QList<quint8>& ids, DoseModel* pModel, SimLog* pLog)
    : m_pModel(pModel)
    , m_pLog(pLog)
{
    for (quint8 id : ids)
        m_nodes.emplace_back(id);
}

void NodeBank::SetCoefficientCheck(bool on)
{
    for (DetectorNode& node : m_nodes)
        node.SetCoefficientCheck(on);
}

void NodeBank::SetSchedule(const NodeSchedule* pSchedule, std::function<qint64()> clock)
{
    m_pSchedule = pSchedule;
    m_clock = std::move(clock);
}

bool NodeBank::IsSilent(const DetectorNode& node) const
{
    return m_pSchedule && m_pSchedule->Silent(node.Id(), m_clock());
}

NodeBank::Result NodeBank::Handle(const CommandFrame& command)
{
    if (command.kind() == CommandFrame::Kind::DoseRequest)
        return AnswerDoseRequest();
    if (command.code() == CmdChangeSlaveAddress)
        return ChangeSlaveAddress(command);
    DetectorNode* node = FindById(command.target());
    if (!node)
        return { {}, QStringLiteral("no such node, no reply") };
    if (IsSilent(*node))
        return { {}, QStringLiteral("node silenced, no reply") };
    if (command.code() == CmdChangeNodeId)
        return ChangeNodeId(*node, command);
    return { { node->Apply(command) }, QString() };
}

// Two nodes on one address or id would both answer; the node refuses the
// change instead, and says nothing, as for any command it does not take.
NodeBank::Result NodeBank::ChangeSlaveAddress(const CommandFrame& command)
{
    DetectorNode* node = FindByAddress(command.target());
    if (!node)
        return { {}, QStringLiteral("no such address, no reply") };
    if (IsSilent(*node))
        return { {}, QStringLiteral("node silenced, no reply") };
    const quint8 address = quint8(command.Value(0));
    const DetectorNode* holder = FindByAddress(address);
    if (holder && holder != node)
        return { {}, QStringLiteral("refused: node %1 has address %2, no reply").arg(holder->Id()).arg(address) };
    node->Apply(command);
    return { {}, QStringLiteral("taken over by node %1, no reply").arg(node->Id()) };
}

NodeBank::Result NodeBank::ChangeNodeId(DetectorNode& node, const CommandFrame& command)
{
    const quint8 id = quint8(command.Value(0));
    const DetectorNode* holder = FindById(id);
    if (id < kMinId || (holder && holder != &node))
        return { {}, QStringLiteral("refused: id %1 is not free, no reply").arg(id) };
    return { { node.Apply(command) }, QString() };
}

NodeBank::Result NodeBank::AnswerDoseRequest()
{
    Result result;
    for (const DetectorNode& node : m_nodes) {
        if (!IsSilent(node))
            result.frames << DoseCountOf(node);
    }
    return result;
}

QByteArray NodeBank::NextFloodFrame()
{
    for (std::size_t tried = 0; tried < m_nodes.size(); ++tried) {
        if (m_nNextFloodNode >= m_nodes.size())
            m_nNextFloodNode = 0;
        const DetectorNode& node = m_nodes[m_nNextFloodNode++];
        if (!IsSilent(node))
            return DoseCountOf(node);
    }
    return QByteArray();
}

// Counts are sent as drawn: no change to them could avoid the console's
// misreading without bending the readings around 4.8 to 5.1 mSv/h, and a
// draw lands there only when the mean does. The operator is told once per
// node instead.
QByteArray NodeBank::DoseCountOf(const DetectorNode& node)
{
    const double rate = m_pSchedule ? m_pSchedule->RateAt(node.Id(), m_clock(), m_pModel->TrueRate())
                                     : m_pModel->TrueRate();
    const quint32 count
        = m_pModel->DrawCountAt(rate, node.GainFactor(), node.Coefficient(DoseModel::RangeOf(rate)));
    if (count >> 16 == kMisreadTopByte && m_pLog && !m_warnedIds.contains(node.Id())) {
        m_warnedIds << node.Id();
        m_pLog->Problem(QStringLiteral("node %1 sent count %2, whose top byte 0x0D the console takes for a "
                                       "coefficient reply")
                            .arg(node.Id())
                            .arg(count));
    }
    return node.DoseCountFrame(count);
}

const DetectorNode* NodeBank::NodeById(quint8 id) const
{
    const int index = IndexOf(&DetectorNode::Id, id);
    return index < 0 ? nullptr : &m_nodes[std::size_t(index)];
}

const DetectorNode* NodeBank::NodeByAddress(quint8 address) const
{
    const int index = IndexOf(&DetectorNode::SlaveAddress, address);
    return index < 0 ? nullptr : &m_nodes[std::size_t(index)];
}

DetectorNode* NodeBank::FindById(quint8 id)
{
    const int index = IndexOf(&DetectorNode::Id, id);
    return index < 0 ? nullptr : &m_nodes[std::size_t(index)];
}

DetectorNode* NodeBank::FindByAddress(quint8 address)
{
    const int index = IndexOf(&DetectorNode::SlaveAddress, address);
    return index < 0 ? nullptr : &m_nodes[std::size_t(index)];
}

int NodeBank::IndexOf(quint8 (DetectorNode::*key)() const, quint8 value) const
{
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        if ((m_nodes[i].*key)() == value)
            return int(i);
    }
    return -1;
}
