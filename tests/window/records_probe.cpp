// Runs the console offscreen in the data folders it is given, records a
// calibration point and finishes the calibration, says so once the record is
// written, and waits to be killed: what was reported written must survive.
#include "RecordStore.h"
#include "SetwiseDosegate.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <cstdio>

// With --hold, a second console in the middle of a write instead: it holds
// the store's write lock until killed.
int Hold(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(RecordStore::DefaultPath());
    if (!db.open() || !QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE")))
        return 1;
    std::printf("holding\n");
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--hold") == 0)
        return Hold(argc, argv);
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
    SetwiseDosegate window;
    window.findChild<QCheckBox*>("calibration_check_box")->setChecked(true);
    for (int i = 0; i < 20; ++i)
        QMetaObject::invokeMethod(&window, "GetRealTimeDoseCount", Q_ARG(int, 1), Q_ARG(int, 18));
    QMetaObject::invokeMethod(&window, "TableTimeout");
    window.findChild<QPushButton*>("as_found_button")->click();
    window.findChild<QPushButton*>("finish_calibration_button")->click();
    // The certificate is issued once the record is written.
    QLabel* certificate = window.findChild<QLabel*>("certificate_state");
    QElapsedTimer waited;
    waited.start();
    while (!certificate->text().startsWith(QLatin1String("Certificate of record")) && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    std::printf("finished\n");
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}
