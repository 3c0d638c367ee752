// Runs the console offscreen in the data folders it is given and waits to
// be killed once it has said how far it got: what was reported written
// must survive.
//   (no argument)  records a calibration point and finishes the calibration
//   reply PORT     connects to the controller at PORT and says when a reply's
//                  box is open
//   append N [AT]  appends N rows to the record store (or the one at AT),
//                  without a window, and ends
//   keep N AT      appends N rows through the console's writer to the lab
//                  server at AT, which is away, and waits to be killed once
//                  they are in the outbox
//   --hold [AT]    holds the store's write lock, as a second console in the
//                  middle of a write would, until killed; with AT, in the
//                  middle of appending rows there
#include "RecordStore.h"
#include "RecordWriter.h"
#include "SetwiseDosegate.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>

#include <cstdio>

// With --hold, a second console in the middle of a write instead: it holds
// the store's write lock until killed.
int Hold(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
    RecordStore store;
    if (argc > 2) {
        if (!store.Open(QString::fromLocal8Bit(argv[2])) || !store.Begin())
            return 1;
        for (int i = 0; i < 3; ++i) {
            if (store.Append(QStringLiteral("event"), 1, { { QStringLiteral("never"), i } }) == 0)
                return 1;
        }
        std::printf("holding\n");
        std::fflush(stdout);
        for (;;)
            QThread::sleep(1);
    }
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
    const QByteArray mode = argc > 2 ? argv[1] : "";
    if (mode == "append") {
        QCoreApplication application(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
        RecordStore store;
        if (!store.Open(argc > 3 ? QString::fromLocal8Bit(argv[3]) : RecordStore::DefaultPath()))
            return 1;
        for (int i = 0, rows = QByteArray(argv[2]).toInt(); i < rows; ++i) {
            if (store.Append(QStringLiteral("event"), int(QCoreApplication::applicationPid()),
                             { { QStringLiteral("value"), i } }) == 0)
                return 1;
        }
        return 0;
    }
    if (mode == "keep" && argc > 3) {
        QCoreApplication application(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
        RecordWriter writer;
        writer.Open(QString::fromLocal8Bit(argv[3]));
        const int rows = QByteArray(argv[2]).toInt();
        for (int i = 0; i < rows; ++i)
            writer.Append(QStringLiteral("event"), 2, { { QStringLiteral("value"), 100 + i } });
        while (writer.Outboxed() < rows)
            QThread::msleep(10);
        std::printf("kept\n");
        std::fflush(stdout);
        for (;;)
            QThread::sleep(1);
    }
    if (argc > 1 && qstrcmp(argv[1], "--hold") == 0)
        return Hold(argc, argv);
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
    SetwiseDosegate window;
    if (mode == "reply") {
        window.FillConnectPage(QStringLiteral("127.0.0.1"), QString::fromLatin1(argv[2]));
        QMetaObject::invokeMethod(&window, "OnConnectButtonClicked", Qt::QueuedConnection);
        QTimer watch;
        RecordStore store;
        // Said once the box is open and the reply committed behind it.
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget())
                && (store.IsOpen() || store.OpenExisting(RecordStore::DefaultPath()))
                && store.Rows(QStringLiteral("acknowledgement")).size() == 1) {
                std::printf("box open\n");
                std::fflush(stdout);
                watch.stop();
            }
        });
        watch.start(10);
        return application.exec();
    }
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
