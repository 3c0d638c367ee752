// A start-up child of bench_startup: the console as main() builds it, or
// (STARTUP_BARE) the least a Qt Widgets program does to show a window. It
// prints its milestones in ms since --t0, a steady-clock stamp (ns) the
// parent takes just before it spawns the child, so fork, exec, the loader
// and static initialisers count; it quits once the first expose is handled,
// since Qt Widgets paints and flushes the whole window while handling it.
#include "BenchSupport.h"

#include <QApplication>
#include <QWindow>

#include <chrono>
#include <cstdio>

#ifdef STARTUP_BARE
#include <QWidget>
using Window = QWidget;
#else
#include "SetwiseDosegate.h"
using Window = SetwiseDosegate;
#endif

namespace {

long long Now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class Probe : public QObject
{
public:
    explicit Probe(long long t0)
        : m_t0(t0)
    {
        Mark("main");
    }
    void Mark(const char* name) { m_figures.insert(QLatin1String(name), double(Now() - m_t0) / 1e6); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            Mark("exposed");
            QMetaObject::invokeMethod(this, [this] {
                Mark("painted");
                m_figures.insert(QStringLiteral("rss"), Bench::PeakMib());
                std::printf("%s\n", qPrintable(Bench::FiguresLine("startup", m_figures)));
                QCoreApplication::quit();
            }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    long long m_t0;
    QMap<QString, double> m_figures;
};

} // namespace

int main(int argc, char* argv[])
{
    Probe probe(argc == 3 ? std::atoll(argv[2]) : Now()); // --t0 NS
    QApplication application(argc, argv);
    probe.Mark("app");
    Window window;
    probe.Mark("window");
    window.show();
    probe.Mark("shown");
    window.windowHandle()->installEventFilter(&probe);
    return application.exec();
}
