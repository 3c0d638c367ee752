#ifndef DOSEGATE_WINDOWRIG_H
#define DOSEGATE_WINDOWRIG_H

#include "LoopbackController.h"
#include "SetwiseDosegate.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <functional>

// The console window beside a loopback controller, with short ways to reach
// its controls by object name and to drive its slots.
class WindowRig
{
public:
    WindowRig();

    template <class T>
    T* Find(const char* name) const
    {
        T* widget = window.findChild<T*>(QLatin1String(name));
        if (!widget) { // on a tab whose form is made when first shown
            MakeTabs();
            widget = window.findChild<T*>(QLatin1String(name));
        }
        if (!widget)
            qFatal("no widget named %s", name);
        return widget;
    }

    QString Text(const char* name) const;
    void SetText(const char* name, const QString& text);
    void Click(const char* button);
    // Brings a tab to the front, as the operator would: what only its page
    // shows is made then.
    void Open(const char* page) const;
    // Brings every tab to the front once, the first one back in front.
    void MakeTabs() const;

    // Points the connect page at the loopback controller, or at another
    // port, presses connect and waits for the link.
    bool Connect();
    bool ConnectTo(quint16 port);
    bool WaitForState(const QString& state, int timeoutMs = 5000);
    // Takes what the window has put on the wire: a dose request queued
    // behind it marks the end, so nothing it wrote can still be on its way.
    QByteArray Wire();

    // The protected slots, called as the timers and the link would.
    void Reading(int id, int count);
    void Readings(int id, int count, int times);
    void Tick();

    // Run journals, records and alarm levels go to a folder of the rig's,
    // not the user's.
    struct DataHome {
        DataHome();
        QTemporaryDir folder;
        // Run on each new folder before the window is made, while set.
        static std::function<void(const QString& folder)> prepare;
    } dataHome;
    LoopbackController controller;
    SetwiseDosegate window;
};

#endif
