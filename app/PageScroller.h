#ifndef DOSEGATE_PAGESCROLLER_H
#define DOSEGATE_PAGESCROLLER_H

#include <QHash>
#include <QObject>

#include <functional>

class QStackedWidget;
class QTabWidget;
class QWidget;

// Puts the contents of every page of a tab widget, pages added later
// included, in a scroll area of its own. On a small screen a page then
// scrolls instead of pushing the window past the screen's edge, and what
// lies outside the tab widget (the state line) stays in sight; scroll bars
// appear only where a page has less room than it needs. The page keeps its
// place, title and object name; its widgets and layouts move, unchanged,
// into the scrolled contents.
//
// Only the page in front is wrapped at once: the others hold their contents
// aside, out of every size the window computes, until each is first shown,
// which spares the start-up their text layouts. A page shown first that
// wants more room than the window has widens it, within the screen.
class PageScroller : public QObject
{
    Q_OBJECT

public:
    explicit PageScroller(QTabWidget* tabs);

    // Runs once, when the page is first shown or brought to the front,
    // before it is laid out; given the widget that holds the page's layout
    // and widgets.
    using Prepare = std::function<void(QWidget* contents)>;
    void WhenFirstShown(QWidget* page, Prepare prepare);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // Also while the window is hidden, where no page is shown.
    void PrepareFront(int index);
    void Forget(QObject* page);

private:
    // Moves what the page holds into a hidden widget of the page's.
    static QWidget* Hold(QWidget* page);
    void Wrap(QWidget* page);
    void Defer(QWidget* page);
    static void Grow(QWidget* page);
    QWidget* Contents(QWidget* page) const;

    QStackedWidget* m_pStack; // holds the pages
    QHash<QWidget*, QWidget*> m_held; // page -> its contents, until shown
    QHash<QWidget*, Prepare> m_prepare;
};

#endif
