#ifndef DOSEGATE_WINDOWPLACEMENT_H
#define DOSEGATE_WINDOWPLACEMENT_H

#include <QObject>
#include <QString>

class QWidget;

// The window opens where and as large as the operator left it at the last
// close, within the screen's free area; the first time, as its first page
// needs. Pages behind the first are laid out only when first shown, so
// without this the window would open narrower than the operator's pages
// want and widen on the first visit of each.
class WindowPlacement : public QObject
{
    Q_OBJECT

public:
    // Restores the window's place now; keeps it when the window is closed.
    WindowPlacement(QWidget* window, const QString& settingsPath);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_pWindow;
    QString m_sSettingsPath;
};

#endif
