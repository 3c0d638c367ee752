// The board of nodes: the tab views the model, which the link feeds.
#include "SetwiseDosegate.h"

#include "AlarmLevels.h"
#include "CalibrationRegister.h"
#include "NodeBoard.h"
#include "NodeTrendDelegate.h"
#include "TcpSocket.h"
#include "WatchRequests.h"

#include <QHeaderView>
#include <QStandardPaths>
#include <QTcpSocket>

#include <cmath>

namespace {

// The widest realistic text of each column, '8' standing for any digit;
// the trend takes a fixed width. The age and the state are in the board's
// words, which depend on the language.
const char* const kNodeSamples[] = { "888", "8888.8888", "", "88888", "8888.8888", "8888.8888",
                                     "8888.8888", "", "8888.8888", "" };
constexpr int kTrendWidth = 140;
constexpr int kCellPadding = 12;

QStringList NodeSamples(int column)
{
    switch (column) {
    case NodeBoard::ColumnAge:
        return { NodeBoard::tr("%1 s ago").arg(88), NodeBoard::tr("%1 min ago").arg(888),
                 NodeBoard::tr("%1 h ago").arg(888) };
    case NodeBoard::ColumnState:
        return { NodeBoard::tr("live"), NodeBoard::tr("stale"), QStringLiteral("\u2715 ") + NodeBoard::tr("lost"),
                 QStringLiteral("\u25B2 ") + NodeBoard::tr("above alarm"), NodeBoard::tr("not heard since start") };
    default:
        return { QLatin1String(kNodeSamples[column]) };
    }
}

} // namespace

void SetwiseDosegate::AttachNodeBoard()
{
    m_pAlarmLevels = std::make_unique<AlarmLevels>(
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/alarm-levels.ini"));
    m_pNodeBoard = new NodeBoard(m_pAlarmLevels.get(), this);
    m_pWatchRequests = new WatchRequests(this);
    m_pNodeBoard->KnowNodesOf(m_pRegister, CalibrationRegister::ColumnNode);
    ui.nodes_table->setModel(m_pNodeBoard);
    ui.nodes_table->setItemDelegateForColumn(NodeBoard::ColumnTrend, new NodeTrendDelegate(ui.nodes_table));
    FitNodesTable();
}

// Fixed widths from the fonts at hand: sizing to contents would measure
// every row at every refresh.
void SetwiseDosegate::FitNodesTable()
{
    QTableView* table = ui.nodes_table;
    QHeaderView* header = table->horizontalHeader();
    QFont bold = table->font();
    bold.setBold(true); // an alarm's dose and state
    const QFontMetrics cells(bold);
    for (int column = 0; column < NodeBoard::ColumnCount; ++column) {
        int sample = column == NodeBoard::ColumnTrend ? kTrendWidth : 0;
        for (const QString& text : NodeSamples(column))
            sample = qMax(sample, cells.horizontalAdvance(text) + kCellPadding);
        header->resizeSection(column, qMax(sample, header->sectionSizeHint(column)));
    }
    header->setStretchLastSection(true);
    // The page asks for every column; the window opens that wide where the
    // screen allows.
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
}

void SetwiseDosegate::OnLinkUp()
{
    const QTcpSocket* socket = m_pSocket->GetSocket();
    m_pNodeBoard->SetController(QStringLiteral("%1:%2").arg(socket->peerName()).arg(socket->peerPort()));
}
