#ifndef DOSEGATE_SIM_NODEBANK_H
#define DOSEGATE_SIM_NODEBANK_H

#include "DetectorNode.h"

#include <QByteArrayList>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <vector>

class CommandFrame;
class DoseModel;
class NodeSchedule;
class SimLog;

// The controller's detector nodes: routes each command to the node it
// addresses and gathers the frames the nodes answer with.
class NodeBank
{
public:
    struct Result {
        QByteArrayList frames;
        QString note; // how the command ended, when not simply taken over
    };

    // "1-8", "1,3,5" or a mix; every id from 1 to 255, none twice.
    static bool ParseIds(const QString& text, QList<quint8>& ids, QString& error);

    NodeBank(const QList<quint8>& ids, DoseModel* pModel, SimLog* pLog = nullptr);

    void SetCoefficientCheck(bool on);
    // Silences and dose steps of single nodes, timed by `clock` (ms from
    // the simulator's start). The schedule is not owned.
    void SetSchedule(const NodeSchedule* pSchedule, std::function<qint64()> clock);

    Result Handle(const CommandFrame& command);
    // One dose-count frame, from the nodes in turn; silent ones are passed
    // over, and while all are silent it is empty.
    QByteArray NextFloodFrame();

    int Count() const { return int(m_nodes.size()); }
    const DetectorNode* NodeById(quint8 id) const;
    const DetectorNode* NodeByAddress(quint8 address) const;

private:
    DetectorNode* FindById(quint8 id);
    DetectorNode* FindByAddress(quint8 address);
    int IndexOf(quint8 (DetectorNode::*key)() const, quint8 value) const;
    Result ChangeSlaveAddress(const CommandFrame& command);
    Result ChangeNodeId(DetectorNode& node, const CommandFrame& command);
    Result AnswerDoseRequest();
    QByteArray DoseCountOf(const DetectorNode& node);
    bool IsSilent(const DetectorNode& node) const;

    std::vector<DetectorNode> m_nodes;
    DoseModel* m_pModel; // not owned
    SimLog* m_pLog;      // not owned; may be null
    QSet<quint8> m_warnedIds;
    std::size_t m_nNextFloodNode = 0;
    const NodeSchedule* m_pSchedule = nullptr; // not owned
    std::function<qint64()> m_clock;
};

#endif
