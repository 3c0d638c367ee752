// Runs the console offscreen in the data folders it is given and waits to
// be killed once it has said how far it got: what was reported written
// must survive.
//   (no argument)  records a calibration point and finishes the calibration,
//                  through a session without a window
//   reply PORT     connects to the controller at PORT and says when a reply's
//                  box is open
//   append N [AT]  appends N rows to the record store (or the one at AT),
//                  without a window, and ends
//   keep N AT [KEY] appends N rows through the console's writer to the lab
//                  server at AT, which is away, signed by the open key in
//                  the file KEY if given, and waits to be killed once they
//                  are in the outbox
//   --hold [AT]    holds the store's write lock, as a second console in the
//                  middle of a write would, until killed; with AT, in the
//                  middle of appending rows there
#include "CertificateWriter.h"
#include "ConsoleSession.h"
#include "RecordStore.h"
#include "RecordWriter.h"
#include "SetwiseDosegate.h"
#include "SigningKey.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
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
        auto person = std::make_shared<SigningKey>();
        if (argc > 4 && !person->Load(QString::fromLocal8Bit(argv[4])).isEmpty())
            return 1;
        for (int i = 0; i < rows; ++i) {
            RecordWriter::Entry entry;
            entry.kind = QStringLiteral("event");
            entry.node = 2;
            entry.content = { { QStringLiteral("value"), 100 + i } };
            entry.signer = person;
            writer.Append(QVector<RecordWriter::Entry> { entry });
        }
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
    if (mode == "reply") {
        SetwiseDosegate window;
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
    ConsoleSession session;
    for (int i = 0; i < 20; ++i)
        session.AcceptCount(1, 18);
    session.EvaluateFigures(CalibrationFigures::Inputs());
    session.TakePoint(1, QString(), CalibrationBook::AsFound);
    // The certificate is issued once the record is written.
    QEventLoop issued;
    QObject::connect(session.Certificates(), SIGNAL(Issued(qint64, QString)), &issued, SLOT(quit()));
    QObject::connect(session.Certificates(), SIGNAL(Refused(qint64, QString)), &issued, SLOT(quit()));
    QTimer::singleShot(30000, &issued, SLOT(quit()));
    session.Finish(1, CalibrationBook::Conditions());
    issued.exec();
    std::printf("finished\n");
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}
