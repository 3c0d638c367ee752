#include "FakeConsole.h"
#include "LoopbackController.h"
#include "PDoseProcThread.h"
#include "ReplyFrames.h"
#include "StdoutCapture.h"
#include "TcpSocket.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

const QString kConnecting = QStringLiteral("connecting...");
const QString kConnected = QStringLiteral("connected!");

// A port nobody listens on.
quint16 ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A session whose window points at a loopback controller.
struct Linked {
    Linked()
    {
        console.port = controller.Port();
        session.SetWindow(&console);
    }
    // Presses connect and waits until the decoder runs.
    bool Connect()
    {
        session.ConnectServer();
        return controller.WaitForClient() && QTest::qWaitFor([this] { return session.DecoderThread()->isRunning(); });
    }

    LoopbackController controller;
    FakeConsole console;
    TcpSocket session;
};

// Counts the queued calls an object receives, or the timer events of
// every object of the thread.
class EventCounter : public QObject
{
public:
    explicit EventCounter(QEvent::Type type)
        : m_type(type)
    {
    }
    int calls = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        calls += event->type() == m_type;
        return false;
    }

private:
    QEvent::Type m_type;
};

// Runs the event loop until done: QTRY's poll sleeps 10 ms between rounds,
// which would stretch every trip to the decoder thread and back.
bool Spin(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(1);
    if (!done())
        loop.exec();
    return done();
}

// A burst of n acknowledgements whose ids and values spell their number.
QByteArray AckBurst(int n)
{
    QByteArray burst;
    for (int i = 0; i < n; ++i)
        burst += ReplyFrames::Acknowledge(i & 0xFF, (i >> 8) & 0xFF, i % 0x0D);
    return burst;
}

} // namespace

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void nothingHappensBeforeConnectOrWithoutWindow();
    void connectShowsConnectingThenConnected();
    void refusedAttemptRetriesEverySecond();
    void pressesShareOneRetry();
    void portZeroFailsAndTheCycleContinues();
    void portTakesItsLowSixteenBits();
    void controllerClosingAndComingBack();
    void connectWhileConnectedDropsSilently();
    void repliesAreRelayedInOrder();
    void bytesLeftInTheSocketAreReadWithoutNewArrivals();
    void readyReadStartsNoSecondFollowUp();
    void burstIsReadWithoutWaitingOnAClock();
    void burstLargerThanTheBufferLosesNothing();
    void readingStopsWhileTheRelayIsBehind();
    void destructionWhileConnectedStopsTheThreadFirst();
};

// The first press makes the first attempt: one started before it would
// show as a state before its own, or as a second connection.
void TestSession::nothingHappensBeforeConnectOrWithoutWindow()
{
    LoopbackController controller;
    FakeConsole console;
    console.port = controller.Port();
    TcpSocket session;
    session.ConnectServer(); // no window: no effect
    QCOMPARE(session.GetSocket()->state(), QAbstractSocket::UnconnectedState);

    session.SetWindow(&console);
    QCOMPARE(console.states, QStringList());
    QVERIFY(!session.DecoderThread()->isRunning());
    QCOMPARE(session.GetSocket()->state(), QAbstractSocket::UnconnectedState);

    session.ConnectServer();
    QVERIFY(controller.WaitForClient());
    QTRY_COMPARE(console.states, (QStringList { kConnecting, kConnected }));
    QCOMPARE(controller.Connections(), 1);
}

void TestSession::connectShowsConnectingThenConnected()
{
    Linked link;
    link.session.ConnectServer();
    QCOMPARE(link.console.states, QStringList { kConnecting });
    QTRY_COMPARE(link.console.states, (QStringList { kConnecting, kConnected }));
    QVERIFY(link.controller.WaitForClient());
    QTRY_VERIFY(link.session.DecoderThread()->isRunning());
}

// The log says why, once for each cause, not once an attempt.
void TestSession::refusedAttemptRetriesEverySecond()
{
    FakeConsole console;
    console.port = ClosedPort();
    TcpSocket session;
    session.SetWindow(&console);
    StdoutCapture capture;
    session.ConnectServer();
    QTRY_COMPARE_WITH_TIMEOUT(console.addressRequests, 3, 5000);
    QVERIFY(!console.states.isEmpty());
    for (const QString& state : qAsConst(console.states))
        QCOMPARE(state, kConnecting);
    QVERIFY(!session.DecoderThread()->isRunning());

    console.ip = QStringLiteral("no-such-host.invalid");
    QTRY_COMPARE_WITH_TIMEOUT(console.addressRequests, 5, 5000);
    const QList<QByteArray> lines = capture.Finish().split('\n');
    QCOMPARE(lines.size(), 3); // and an empty rest
    QVERIFY2(lines[0].contains(QStringLiteral("[Warning]  no link to 127.0.0.1 port %1: Connection refused")
                                   .arg(console.port).toUtf8()), lines[0]);
    QVERIFY2(lines[1].contains(QStringLiteral("no link to no-such-host.invalid port %1: Host ")
                                   .arg(console.port).toUtf8()), lines[1]);
}

// However often connect is pressed, one retry at a time: the attempts that
// follow keep a second apart, and the link that comes up is not rebuilt.
void TestSession::pressesShareOneRetry()
{
    Linked link;
    const quint16 port = link.controller.Port();
    link.controller.Close();
    QTcpSocket* socket = link.session.GetSocket();
    for (int i = 0; i < 20; ++i) { // each press refused before the next
        link.session.ConnectServer();
        QVERIFY(QTest::qWaitFor([socket] { return socket->state() == QAbstractSocket::UnconnectedState; }));
    }
    QElapsedTimer retries;
    retries.start();
    QTRY_VERIFY_WITH_TIMEOUT(link.console.addressRequests >= 22, 5000);
    QVERIFY2(retries.elapsed() >= 1800, qPrintable(QString::number(retries.elapsed())));

    QVERIFY(link.controller.Listen(port));
    QVERIFY(link.controller.WaitForClient());
    QTRY_COMPARE(link.console.states.last(), kConnected);
    QVERIFY(!link.session.RetryPending()); // it would rebuild the link
    QCOMPARE(link.controller.Connections(), 1);
    QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);
}

void TestSession::portZeroFailsAndTheCycleContinues()
{
    FakeConsole console;
    console.port = 0; // what the window gives for a port that is not a number
    TcpSocket session;
    session.SetWindow(&console);
    session.ConnectServer();
    QTRY_COMPARE_WITH_TIMEOUT(console.addressRequests, 2, 5000);
    QVERIFY(!console.states.contains(kConnected));
    QCOMPARE(console.states.last(), kConnecting);
}

void TestSession::portTakesItsLowSixteenBits()
{
    Linked link;
    link.console.port += 0x10000; // like 70000 going to 4464
    QVERIFY(link.Connect());
    QTRY_COMPARE(link.console.states.last(), kConnected);
}

void TestSession::controllerClosingAndComingBack()
{
    Linked link;
    QSignalSpy started(link.session.DecoderThread(), SIGNAL(started()));
    QVERIFY(link.Connect());
    QTRY_COMPARE(link.console.states.last(), kConnected);
    const QStringList& states = link.console.states;
    const int before = states.size();

    link.controller.DropClient();
    QTRY_COMPARE(states.value(before + 1), kConnecting);
    QCOMPARE(states.value(before), link.session.GetSocket()->errorString()); // the socket's own words
    QVERIFY(states.value(before) != kConnecting);

    QTRY_COMPARE_WITH_TIMEOUT(states.last(), kConnected, 4000);
    QCOMPARE(link.controller.Connections(), 2);
    QCOMPARE(started.count(), 1);
    QSignalSpy acks(&link.session, SIGNAL(AnalyticalFinished(int, int, int)));
    link.controller.Send(ReplyFrames::Acknowledge(1, 0, 2));
    QVERIFY(acks.wait(3000));
}

void TestSession::connectWhileConnectedDropsSilently()
{
    LoopbackController first;
    LoopbackController second;
    FakeConsole console;
    console.port = first.Port();
    TcpSocket session;
    session.SetWindow(&console);
    session.ConnectServer();
    QVERIFY(first.WaitForClient());
    QTRY_COMPARE(console.states.last(), kConnected);

    console.port = second.Port(); // the operator edits the port, presses connect
    console.states.clear();
    session.ConnectServer();
    QVERIFY(second.WaitForClient());
    QTRY_COMPARE(console.states, (QStringList { kConnecting, kConnected }));
    QVERIFY(!session.RetryPending()); // the drop scheduled no reconnect
    QCOMPARE(second.Connections(), 1);
    QCOMPARE(first.Connections(), 1);
}

// Each relayed frame tells when it arrived; outside a relay nothing does.
void TestSession::repliesAreRelayedInOrder()
{
    Linked link;
    QStringList relayed;
    QList<qint64> arrivals;
    connect(&link.session, &TcpSocket::AnalyticalFinished, this, [&](int id, int y, int x) {
        relayed << QStringLiteral("ack %1 %2 %3").arg(id).arg(y).arg(x);
        arrivals << link.session.RelayedArrivalMs();
    });
    connect(&link.session, &TcpSocket::CountDoseSignl, this, [&](int id, int count) {
        relayed << QStringLiteral("dose %1 %2").arg(id).arg(count);
        arrivals << link.session.RelayedArrivalMs();
    });
    QVERIFY(link.Connect());

    const qint64 sent = QDateTime::currentMSecsSinceEpoch();
    link.controller.Send(ReplyFrames::Acknowledge(1, 0, 2) + ReplyFrames::DoseCount(1, 16, 0)
                         + ReplyFrames::Acknowledge(1, 1, 15));
    QTRY_COMPARE(relayed, (QStringList { "ack 1 0 2", "dose 1 16", "ack 1 1 15" }));
    const qint64 relayedBy = QDateTime::currentMSecsSinceEpoch();
    for (qint64 arrival : qAsConst(arrivals))
        QVERIFY2(arrival >= sent && arrival <= relayedBy, qPrintable(QString::number(arrival - sent)));
    QCOMPARE(link.session.RelayedArrivalMs(), qint64(-1));
    QTRY_COMPARE(link.console.doseLines.size(), 1);
    QCOMPARE(link.console.doseLines[0].count, 16);
    QVERIFY(!link.console.widgetCallOffGuiThread);
}

// 300 bytes at once: more than one read takes. What the first read leaves
// in the socket follows without waiting for further bytes to arrive.
void TestSession::bytesLeftInTheSocketAreReadWithoutNewArrivals()
{
    Linked link;
    QSignalSpy acks(&link.session, SIGNAL(AnalyticalFinished(int, int, int)));
    QVERIFY(link.Connect());

    QByteArray burst;
    for (int i = 0; i < 43; ++i)
        burst += ReplyFrames::Acknowledge(i, 0, 2);
    link.controller.Send(burst.left(300)); // 42 frames and 6 bytes of the 43rd
    QTRY_COMPARE(acks.count(), 42);
    QCOMPARE(link.session.GetSocket()->bytesAvailable(), qint64(0));

    link.controller.Send(burst.mid(300));
    QTRY_COMPARE(acks.count(), 43);
    QCOMPARE(acks.last().at(0).toInt(), 42);
}

// A readyRead while a follow-up read is pending leaves that one follow-up,
// and starts no second chain of them.
void TestSession::readyReadStartsNoSecondFollowUp()
{
    Linked link;
    QTcpSocket* socket = link.session.GetSocket();
    link.session.ConnectServer();
    socket->blockSignals(true); // the test makes the reads; the decoder stays idle
    QVERIFY(link.controller.WaitForClient());
    link.controller.Send(QByteArray(1000, '\0'));
    QVERIFY(QTest::qWaitFor([socket] { return socket->bytesAvailable() == 1000; }));
    socket->blockSignals(false);

    EventCounter counter(QEvent::MetaCall);
    link.session.installEventFilter(&counter);
    link.session.ReadData(); // as readyRead: 280 bytes, and a follow-up for the rest
    link.session.ReadData(); // readyRead again, before that follow-up ran
    QCoreApplication::sendPostedEvents(&link.session, QEvent::MetaCall);
    QCOMPARE(counter.calls, 1);
}

// Draining a burst many times the buffer's size never waits on a timer:
// each read that finds the buffer full is followed by the decoder's word
// that it has made room, not by a retry a moment later, which held the
// link to a buffer's worth per millisecond.
void TestSession::burstIsReadWithoutWaitingOnAClock()
{
    Linked link;
    QSignalSpy acks(&link.session, SIGNAL(AnalyticalFinished(int, int, int)));
    QVERIFY(link.Connect());
    EventCounter timers(QEvent::Timer);
    QCoreApplication::instance()->installEventFilter(&timers);
    link.controller.Send(AckBurst(5000));
    QTRY_COMPARE_WITH_TIMEOUT(acks.count(), 5000, 20000);
    QCoreApplication::instance()->removeEventFilter(&timers);
    QCOMPARE(timers.calls, 0);
    QCOMPARE(acks.last().at(0).toInt(), 4999 & 0xFF);
}

// Far more than the 345-byte receive buffer holds, in one write: reads
// never exceed the room the buffer has, so nothing overflows or is lost.
// The dose line follows at its own pace, ending with the newest count.
void TestSession::burstLargerThanTheBufferLosesNothing()
{
    Linked link;
    QList<int> counts;
    connect(&link.session, &TcpSocket::CountDoseSignl, this, [&](int, int count) { counts << count; });
    QVERIFY(link.Connect());

    QByteArray burst;
    QList<int> sent;
    for (int i = 0; i < 3000; ++i) {
        burst += ReplyFrames::DoseCount(1, i, 0);
        sent << i;
    }
    StdoutCapture capture;
    link.controller.Send(burst);
    QTRY_COMPARE_WITH_TIMEOUT(counts.size(), sent.size(), 10000);
    QCOMPARE(capture.Finish(), QByteArray()); // no overflow line
    QCOMPARE(counts, sent);
    QTRY_COMPARE(link.console.doseLines.last().count, sent.last());
    QVERIFY2(link.console.doseLines.size() < sent.size() / 10, qPrintable(QString::number(link.console.doseLines.size())));
}

// A relay that does not take what the decoder hands over: the session reads
// until the bound of frames waiting, then nothing, however much arrives;
// TCP holds the controller back. Once the relay takes them, reading goes
// on and every frame comes, in order.
void TestSession::readingStopsWhileTheRelayIsBehind()
{
    Linked link;
    QList<int> values;
    connect(&link.session, &TcpSocket::AnalyticalFinished, this,
            [&](int id, int y, int) { values << (y << 8 | id); });
    QVERIFY(link.Connect());
    PDoseProcThread* decoder = link.session.DecoderThread();
    QVERIFY(disconnect(decoder, SIGNAL(FramesReady()), &link.session, SLOT(RelayFrames())));

    const int frames = TcpSocket::kMaxFramesBehind + 20000;
    link.controller.Send(AckBurst(frames));
    QVERIFY(Spin([&] { return link.session.FramesBehind() >= TcpSocket::kMaxFramesBehind; }, 30000));
    int passes = 0; // whole passes of the decoder since
    connect(decoder, &PDoseProcThread::RoomMade, this, [&] { ++passes; });
    decoder->WantRoom();
    decoder->WakeUp();
    QVERIFY(Spin([&] { return passes > 0; }, 10000));
    const int behind = link.session.FramesBehind();
    // Past the bound by what the receive buffer held at most.
    QVERIFY2(behind <= TcpSocket::kMaxFramesBehind + int(TcpSocket::kBufferPackageNum) / 7, qPrintable(QString::number(behind)));
    // Whatever calls for a read now, nothing more is taken from the socket,
    // whose own buffer stays within its bound.
    QTcpSocket* socket = link.session.GetSocket();
    const qint64 unread = socket->bytesAvailable();
    QVERIFY(unread > 0 && unread <= TcpSocket::kSocketBufferBytes);
    for (int i = 0; i < 3; ++i)
        link.session.ReadData();
    QCOMPARE(socket->bytesAvailable(), unread);
    QCOMPARE(link.session.FramesBehind(), behind);

    QVERIFY(connect(decoder, SIGNAL(FramesReady()), &link.session, SLOT(RelayFrames())));
    QMetaObject::invokeMethod(&link.session, "RelayFrames");
    QVERIFY(Spin([&] { return values.size() >= frames; }, 30000));
    QCOMPARE(values.size(), frames);
    for (int i = 0; i < frames; ++i) {
        if (values[i] != (i & 0xFFFF))
            QFAIL(qPrintable(QStringLiteral("frame %1 reads %2").arg(i).arg(values[i])));
    }
}

void TestSession::destructionWhileConnectedStopsTheThreadFirst()
{
    LoopbackController controller;
    FakeConsole console;
    console.port = controller.Port();
    auto* session = new TcpSocket;
    session->SetWindow(&console);
    session->ConnectServer();
    QVERIFY(controller.WaitForClient());
    QTRY_VERIFY(session->DecoderThread()->isRunning());

    QStringList order;
    QPointer<PDoseProcThread> thread = session->DecoderThread();
    connect(thread, &QThread::finished, this, [&] { order << "finished"; }, Qt::DirectConnection);
    connect(thread, &QObject::destroyed, this, [&] { order << "destroyed"; });
    delete session;
    QCOMPARE(order, (QStringList { "finished", "destroyed" }));
    QVERIFY(thread.isNull());
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
