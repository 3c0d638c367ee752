#ifndef DOSEGATE_TESTMAIN_H
#define DOSEGATE_TESTMAIN_H

// Given to every test's compiler ahead of its source (dosegate_add_test), so
// that QTEST_MAIN and QTEST_GUILESS_MAIN run the test under
// ConnectWarnings, this project's tests and those still to come alike.
#include "ConnectWarnings.h"

#include <QtTest/qtest.h>

#if defined(QT_WIDGETS_LIB)
#include <QApplication>
#define DOSEGATE_TEST_APPLICATION QApplication
#elif defined(QT_GUI_LIB)
#include <QGuiApplication>
#define DOSEGATE_TEST_APPLICATION QGuiApplication
#else
#define DOSEGATE_TEST_APPLICATION QCoreApplication
#endif

#define DOSEGATE_TEST_MAIN_WITH(Application, TestObject, setup)                                                        \
    int main(int argc, char* argv[])                                                                                   \
    {                                                                                                                  \
        Application app(argc, argv);                                                                                   \
        setup TestObject tc;                                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return ConnectWarnings::Exec(&tc, argc, argv);                                                                 \
    }

#undef QTEST_MAIN
#undef QTEST_GUILESS_MAIN
// As Qt's own: widgets laid out at 96 dpi whatever the screen says.
#define QTEST_MAIN(TestObject)                                                                                         \
    DOSEGATE_TEST_MAIN_WITH(DOSEGATE_TEST_APPLICATION, TestObject, app.setAttribute(Qt::AA_Use96Dpi, true);)
#define QTEST_GUILESS_MAIN(TestObject) DOSEGATE_TEST_MAIN_WITH(QCoreApplication, TestObject, )

#endif
