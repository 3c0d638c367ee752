#include "SetwiseDosegate.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    SetwiseDosegate window;
    window.show();
    return application.exec();
}
