#include "WindowPlacement.h"

#include <QEvent>
#include <QSettings>
#include <QWidget>

namespace {
const char kGeometryKey[] = "window/geometry";
} // namespace

WindowPlacement::WindowPlacement(QWidget* window, const QString& settingsPath)
    : QObject(window)
    , m_pWindow(window)
    , m_sSettingsPath(settingsPath)
{
    // Qt moves a place that lies off every screen back onto one, and
    // shrinks it to the screen where the screen is smaller.
    const QByteArray kept = QSettings(m_sSettingsPath, QSettings::IniFormat).value(kGeometryKey).toByteArray();
    if (!kept.isEmpty())
        m_pWindow->restoreGeometry(kept);
    m_pWindow->installEventFilter(this);
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pWindow && event->type() == QEvent::Close) {
        QSettings settings(m_sSettingsPath, QSettings::IniFormat);
        settings.setValue(kGeometryKey, m_pWindow->saveGeometry());
    }
    return QObject::eventFilter(watched, event);
}
