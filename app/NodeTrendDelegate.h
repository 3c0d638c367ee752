#ifndef DOSEGATE_NODETRENDDELEGATE_H
#define DOSEGATE_NODETRENDDELEGATE_H

#include <QStyledItemDelegate>

// Draws a node's ten-minute trend in its cell as one small line, scaled to
// the node's own range; a gap where the node sent nothing. One path per
// visible row costs far less than a chart per row.
class NodeTrendDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

#endif
