#include "NodeTrendDelegate.h"

#include "ConsoleSession.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr qreal kInset = 3.0;
constexpr qreal kDotRadius = 1.5;
} // namespace

void NodeTrendDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index); // background and selection
    const QVector<float> points = index.data(ConsoleSession::NodeTrendRole()).value<QVector<float>>();
    float low = std::numeric_limits<float>::infinity();
    float high = -low;
    for (float point : points) {
        if (std::isfinite(point)) {
            low = std::min(low, point);
            high = std::max(high, point);
        }
    }
    if (points.size() < 2 || !(low <= high))
        return;

    const QRectF area = QRectF(option.rect).adjusted(kInset, kInset, -kInset, -kInset);
    const qreal span = high > low ? qreal(high - low) : 0.0;
    const auto at = [&](int i) {
        const qreal x = area.left() + area.width() * i / (points.size() - 1);
        const qreal y = span > 0.0 ? area.bottom() - area.height() * qreal(points[i] - low) / span : area.center().y();
        return QPointF(x, y);
    };
    QPainterPath path;
    bool drawing = false;
    for (int i = 0; i < points.size(); ++i) {
        if (!std::isfinite(points[i])) {
            drawing = false;
        } else if (drawing) {
            path.lineTo(at(i));
        } else {
            path.moveTo(at(i));
            drawing = true;
            const bool alone = i + 1 == points.size() || !std::isfinite(points[i + 1]);
            if (alone) // a lone point between gaps: a dot, not an invisible line
                path.addEllipse(at(i), kDotRadius, kDotRadius);
        }
    }

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(QPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text), 1.0));
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(path);
    painter->restore();
}
