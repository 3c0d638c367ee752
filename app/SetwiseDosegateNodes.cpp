// The board of nodes: the tab views the model, which the link feeds, from
// when the tab is first shown.
#include "SetwiseDosegate.h"
#include "ui_NodesPage.h"

#include "NodeTrendDelegate.h"

#include <QHeaderView>

namespace {

constexpr int kTrendWidth = 140;
constexpr int kCellPadding = 12;

} // namespace

// The tab's own form, made when the tab is first shown.
void SetwiseDosegate::BuildNodesPage(QWidget* contents)
{
    m_pNodesPage = std::make_unique<Ui::NodesPage>();
    m_pNodesPage->setupUi(contents);
    connect(m_pNodesPage->nodes_watch_check_box, SIGNAL(toggled(bool)), m_pSession, SLOT(SetWatching(bool)));
    AttachNodeBoard();
}

void SetwiseDosegate::AttachNodeBoard()
{
    m_pNodesPage->nodes_table->setModel(m_pSession->NodeModel());
    m_pNodesPage->nodes_table->setItemDelegateForColumn(ConsoleSession::NodeTrendColumn(), new NodeTrendDelegate(m_pNodesPage->nodes_table));
    FitNodesTable();
}

// Fixed widths from the fonts at hand: sizing to contents would measure
// every row at every refresh.
void SetwiseDosegate::FitNodesTable()
{
    QTableView* table = m_pNodesPage->nodes_table;
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
