#ifndef DOSEGATE_BENCH_STARTUPPROBE_H
#define DOSEGATE_BENCH_STARTUPPROBE_H

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>
#include <QWindow>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

// Milestones of a start-up child in ms since --t0, a CLOCK_MONOTONIC stamp
// (ns) the parent takes just before it spawns the child: fork, exec, the
// dynamic loader and static initialisers all count. The child prints one
// line and quits once the window's first expose has been handled, since
// Qt Widgets paints and flushes the whole window while handling it.
class StartupProbe : public QObject
{
public:
    StartupProbe(int argc, char* argv[])
    {
        for (int i = 1; i + 1 < argc; ++i)
            if (std::strcmp(argv[i], "--t0") == 0)
                m_t0 = std::strtoll(argv[i + 1], nullptr, 10);
        Mark("main");
    }

    static long long Now()
    {
        timespec ts {};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
    }

    void Mark(const char* name)
    {
        char field[64];
        std::snprintf(field, sizeof field, " %s=%.3f", name, double(Now() - m_t0) / 1e6);
        m_line += field;
    }

    // Call after show(): the expose event is delivered by the event loop.
    void WatchFirstExpose(QWidget* window)
    {
        window->windowHandle()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QWindow*>(watched);
        if (event->type() == QEvent::Expose && window && window->isExposed()) {
            window->removeEventFilter(this);
            Mark("exposed");
            QMetaObject::invokeMethod(this, [this] { Finish(); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void Finish()
    {
        Mark("painted");
        rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("startup%s maxrss_kb=%ld\n", m_line.c_str(), usage.ru_maxrss);
        std::fflush(stdout);
        QCoreApplication::quit();
    }

    long long m_t0 = Now();
    std::string m_line;
};

#endif
