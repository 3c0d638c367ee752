#include "PageScroller.h"

#include <QChildEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Prefers the size at which its contents need no scrolling, where a plain
// scroll area asks for no more than about 36 by 24 lines of text: the window
// then opens as large as its pages need, where the screen allows. Screens
// run short of height first, so room is kept for a vertical scroll bar
// rather than have it push the contents' right edge out of sight.
class FittingScrollArea : public QScrollArea
{
public:
    explicit FittingScrollArea(QWidget* parent)
        : QScrollArea(parent)
    {
    }

    QSize sizeHint() const override
    {
        const int frame = 2 * frameWidth();
        const QWidget* contents = widget();
        if (!contents)
            return QScrollArea::sizeHint();
        QSize needed = contents->minimumSizeHint().expandedTo(contents->minimumSize());
        // As wide as the page would like, where it would like more.
        needed.setWidth(qMax(needed.width(), contents->sizeHint().width()));
        return needed + QSize(frame + verticalScrollBar()->sizeHint().width(), frame);
    }
};

} // namespace

PageScroller::PageScroller(QTabWidget* tabs)
    : QObject(tabs)
    , m_pStack(tabs->findChild<QStackedWidget*>(QString(), Qt::FindDirectChildrenOnly))
{
    for (int index = 0; index < tabs->count(); ++index)
        Wrap(tabs->widget(index));
    m_pStack->installEventFilter(this);
}

// A page added later is wrapped as it is added when it is filled by then,
// as pages mostly are; an empty one is filled afterwards, so it is wrapped
// when it is first polished, before it is first laid out.
bool PageScroller::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pStack && event->type() == QEvent::ChildAdded) {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType() && child->children().isEmpty())
            child->installEventFilter(this);
        else if (child->isWidgetType())
            Wrap(static_cast<QWidget*>(child));
    } else if (watched != m_pStack && event->type() == QEvent::Polish) {
        watched->removeEventFilter(this);
        Wrap(static_cast<QWidget*>(watched));
    }
    return QObject::eventFilter(watched, event);
}

void PageScroller::Wrap(QWidget* page)
{
    // A page taken out and put back in scrolls already.
    QLayout* own = page->layout();
    if (own && own->count() == 1 && dynamic_cast<FittingScrollArea*>(own->itemAt(0)->widget()))
        return;
    auto* contents = new QWidget;
    if (QLayout* layout = page->layout())
        contents->setLayout(layout); // takes the widgets it holds along
    // Widgets placed by hand move too, to the same places, and the contents
    // keep room for them.
    QRect placed;
    for (QWidget* child : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const bool shown = !child->isHidden();
        placed |= child->geometry();
        child->setParent(contents);
        if (shown)
            child->show();
    }
    if (!contents->layout())
        contents->setMinimumSize(placed.right() + 1, placed.bottom() + 1);

    auto* area = new FittingScrollArea(page);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(contents);
    // The page's own background shows through, as before.
    area->viewport()->setAutoFillBackground(false);
    contents->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(QMargins());
    layout->addWidget(area);
}
