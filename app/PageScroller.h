#ifndef DOSEGATE_PAGESCROLLER_H
#define DOSEGATE_PAGESCROLLER_H

#include <QObject>

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
class PageScroller : public QObject
{
    Q_OBJECT

public:
    explicit PageScroller(QTabWidget* tabs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void Wrap(QWidget* page);

    QStackedWidget* m_pStack; // holds the pages
};

#endif
