// The console as main() builds it, with start-up milestones.
#include "SetwiseDosegate.h"
#include "StartupProbe.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    StartupProbe probe(argc, argv);
    QApplication application(argc, argv);
    probe.Mark("app");
    SetwiseDosegate window;
    probe.Mark("window");
    window.show();
    probe.Mark("shown");
    probe.WatchFirstExpose(&window);
    return application.exec();
}
