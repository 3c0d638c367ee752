// Runs the console offscreen in the data folders it is given, records a
// calibration point and finishes the calibration, says so, and waits to be
// killed: what was reported written must survive.
#include "SetwiseDosegate.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
    SetwiseDosegate window;
    window.findChild<QCheckBox*>("calibration_check_box")->setChecked(true);
    for (int i = 0; i < 20; ++i)
        QMetaObject::invokeMethod(&window, "GetRealTimeDoseCount", Q_ARG(int, 1), Q_ARG(int, 18));
    QMetaObject::invokeMethod(&window, "TableTimeout");
    window.findChild<QPushButton*>("as_found_button")->click();
    window.findChild<QPushButton*>("finish_calibration_button")->click();
    std::printf("finished\n");
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}
