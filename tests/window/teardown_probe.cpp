// Runs the console the way main() does, connects to the controller whose
// port is given, starts a reading run, then closes the window: the process
// must end on its own with the event loop's exit code.
#include "SetwiseDosegate.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    SetwiseDosegate window;
    window.show();
    window.findChild<QLineEdit*>("m_pLineEdit_ip")->setText("127.0.0.1");
    window.findChild<QLineEdit*>("m_pLineEdit_port")->setText(QString::fromLatin1(argv[1]));
    window.findChild<QPushButton*>("m_pPushButton_connect")->click();

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.findChild<QLabel*>("m_pLabel_state")->text() != QLatin1String("connected!"))
            return;
        poll.stop();
        window.findChild<QCheckBox*>("calibration_check_box")->click();
        QTimer::singleShot(2500, &window, &QWidget::close); // after the first dose request
    });
    poll.start(10);
    const int code = application.exec();
    std::printf("loop returned %d\n", code);
    return code;
}
