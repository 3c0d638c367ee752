// The least a Qt Widgets program does to show a window, with the same
// start-up milestones as the console.
#include "StartupProbe.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    StartupProbe probe(argc, argv);
    QApplication application(argc, argv);
    probe.Mark("app");
    QWidget window;
    probe.Mark("window");
    window.show();
    probe.Mark("shown");
    probe.WatchFirstExpose(&window);
    return application.exec();
}
