#include "PageScroller.h"

#include <QChildEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
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
    for (int index = 0; index < tabs->count(); ++index) {
        QWidget* page = tabs->widget(index);
        if (page == tabs->currentWidget()) {
            Wrap(page);
        } else {
            m_held.insert(page, Hold(page));
            Defer(page);
        }
    }
    m_pStack->installEventFilter(this);
    connect(tabs, SIGNAL(currentChanged(int)), this, SLOT(PrepareFront(int)));
}

void PageScroller::PrepareFront(int index)
{
    QWidget* page = m_pStack->widget(index);
    if (Prepare prepare = m_prepare.take(page))
        prepare(Contents(page));
}

void PageScroller::WhenFirstShown(QWidget* page, Prepare prepare)
{
    if (page->isVisible() || m_pStack->currentWidget() == page)
        prepare(Contents(page));
    else
        m_prepare.insert(page, std::move(prepare));
}

QWidget* PageScroller::Contents(QWidget* page) const
{
    if (QWidget* held = m_held.value(page))
        return held;
    QLayout* own = page->layout();
    if (own && own->count() == 1)
        if (auto* area = dynamic_cast<FittingScrollArea*>(own->itemAt(0)->widget()))
            return area->widget();
    return page;
}

void PageScroller::Defer(QWidget* page)
{
    page->installEventFilter(this);
    connect(page, SIGNAL(destroyed(QObject*)), this, SLOT(Forget(QObject*)), Qt::UniqueConnection);
}

// A page deleted before it was shown takes its held widgets along.
void PageScroller::Forget(QObject* page)
{
    m_held.remove(static_cast<QWidget*>(page));
    m_prepare.remove(static_cast<QWidget*>(page));
}

// A page added later is held aside when it is first polished, once it is
// filled (pages are mostly filled by then; an empty one is filled
// afterwards), and wrapped when it is first shown.
bool PageScroller::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pStack) {
        if (event->type() == QEvent::ChildAdded) {
            QObject* child = static_cast<QChildEvent*>(event)->child();
            if (child->isWidgetType())
                Defer(static_cast<QWidget*>(child));
        }
        return QObject::eventFilter(watched, event);
    }
    auto* page = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::Polish && !m_held.contains(page) && !page->children().isEmpty()
        && m_pStack->currentWidget() != page) {
        m_held.insert(page, Hold(page));
    } else if (event->type() == QEvent::Show) {
        page->removeEventFilter(this);
        const bool later = page->window()->isVisible();
        if (Prepare prepare = m_prepare.take(page))
            prepare(Contents(page));
        Wrap(page);
        if (later)
            Grow(page);
    }
    return QObject::eventFilter(watched, event);
}

QWidget* PageScroller::Hold(QWidget* page)
{
    auto* contents = new QWidget(page);
    contents->hide();
    if (QLayout* layout = page->layout())
        contents->setLayout(layout); // takes the widgets it holds along
    // Widgets placed by hand move too, to the same places, and the contents
    // keep room for them.
    QRect placed;
    for (QWidget* child : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child == contents)
            continue;
        const bool shown = !child->isHidden();
        placed |= child->geometry();
        child->setParent(contents);
        if (shown)
            child->show();
    }
    if (!contents->layout())
        contents->setMinimumSize(placed.right() + 1, placed.bottom() + 1);
    return contents;
}

void PageScroller::Wrap(QWidget* page)
{
    // A page taken out and put back in scrolls already.
    QLayout* own = page->layout();
    if (own && own->count() == 1 && dynamic_cast<FittingScrollArea*>(own->itemAt(0)->widget()))
        return;
    QWidget* contents = m_held.take(page);
    if (!contents)
        contents = Hold(page);
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
    if (page->isVisible())
        area->show(); // now, not after the page's first paint
}

// As the window opened: as large as the page needs, within the screen's
// free area less a title bar; never smaller than the operator left it.
void PageScroller::Grow(QWidget* page)
{
    QWidget* window = page->window();
    if (window->isMaximized() || window->isFullScreen())
        return;
    QSize room = window->screen()->availableGeometry().size();
    room.rheight() -= window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    // The sizes cached on the way up predate the page's scroll area.
    for (QWidget* widget = page; widget; widget = widget->parentWidget()) {
        if (QLayout* layout = widget->layout())
            layout->invalidate();
        widget->updateGeometry();
        if (widget == window)
            break;
    }
    const QSize wanted = window->size().expandedTo(window->sizeHint().boundedTo(room));
    if (wanted != window->size())
        window->resize(wanted);
}
