// The board of nodes: the tab views the model, which the link feeds, from
// when the tab is first shown.
#include "SetwiseDosegate.h"

#include "NodeTrendDelegate.h"

#include <QHeaderView>

namespace {

constexpr int kTrendWidth = 140;
constexpr int kCellPadding = 12;

} // namespace

void SetwiseDosegate::AttachNodeBoard()
{
    ui.nodes_table->setModel(m_pSession->NodeModel());
    ui.nodes_table->setItemDelegateForColumn(ConsoleSession::NodeTrendColumn(), new NodeTrendDelegate(ui.nodes_table));
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
    const QAbstractItemModel* board = table->model();
    for (int column = 0; column < board->columnCount(); ++column) {
        int sample = column == ConsoleSession::NodeTrendColumn() ? kTrendWidth : 0;
        for (const QString& text : ConsoleSession::NodeColumnSamples(column))
            sample = qMax(sample, cells.horizontalAdvance(text) + kCellPadding);
        header->resizeSection(column, qMax(sample, header->sectionSizeHint(column)));
    }
    header->setStretchLastSection(true);
    // The page asks for every column; the window opens that wide where the
    // screen allows.
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
}
