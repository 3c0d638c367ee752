// Floods the link with dose-count frames from the simulator at each rate for
// a few seconds and compares the frames the session reported with the
// frames the simulator sent, with the CPU time the receiving process used.
//
// usage: bench_flood [SECONDS] [RATE...]   (default 5 s at 1000 10000 50000)
#include "LinkConsole.h"
#include "PDoseProcThread.h"
#include "TcpSocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

#include <sys/resource.h>

#include <functional>

#include <cstdio>

namespace {

class CountingConsole : public QObject, public LinkConsole
{
    Q_OBJECT

public:
    explicit CountingConsole(quint16 port)
        : m_nPort(port)
    {
    }
    QString GetServerIp() const override { return QStringLiteral("127.0.0.1"); }
    int GetServerPort() const override { return m_nPort; }
    void SetStateText(const QString& text) override { state = text; }
    void ShowDoseLine(int, int, int) override { ++lines; }
    int GetCalibrationId() const override { return 1; }
    void SetLastCoefficients(double, double, double) override {}

    QString state;
    qint64 counts = 0;
    qint64 lines = 0;

public slots:
    void Count(int, int) { ++counts; }

private:
    quint16 m_nPort;
};

double CpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop (without spinning, so the CPU figure is the link's)
// until done() or the time is up, checking every 10 ms.
bool WaitFor(const std::function<bool()>& done, int ms)
{
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= ms)
            loop.quit();
    });
    poll.start(10);
    if (!done())
        loop.exec();
    return done();
}

void Wait(int ms)
{
    WaitFor([] { return false; }, ms);
}

struct Result {
    qint64 sent = 0;
    qint64 received = 0;
    double cpu = 0;
    double seconds = 0;
};

QProcess* StartSim(int rate, quint16& port)
{
    auto* sim = new QProcess;
    sim->setProcessChannelMode(QProcess::SeparateChannels);
    sim->start(QStringLiteral(CONTROLLER_SIM),
               { "--port", "0", "--quiet", "--nodes", "1-8", "--seed", "1", "--flood", QString::number(rate) });
    QString out;
    const QRegularExpression listening(QStringLiteral("listening on [0-9.]+:(\\d+)"));
    WaitFor([&] {
        out += QString::fromUtf8(sim->readAllStandardOutput());
        return listening.match(out).hasMatch();
    }, 5000);
    port = quint16(listening.match(out).captured(1).toUInt());
    return sim;
}

qint64 StopSim(QProcess* sim)
{
    sim->terminate();
    sim->waitForFinished(5000);
    const QRegularExpression sent(QStringLiteral("sent (\\d+) dose frames"));
    const qint64 frames = sent.match(QString::fromUtf8(sim->readAllStandardOutput())).captured(1).toLongLong();
    delete sim;
    return frames;
}

Result Flood(int rate, int seconds)
{
    quint16 port = 0;
    QProcess* sim = StartSim(rate, port);
    CountingConsole console(port);
    TcpSocket session;
    session.SetWindow(&console);
    QObject::connect(&session, SIGNAL(CountDoseSignl(int, int)), &console, SLOT(Count(int, int)));
    session.ConnectServer();
    WaitFor([&] { return console.state == QLatin1String("connected!"); }, 5000);

    Result result;
    const double cpuBefore = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    Wait(seconds * 1000);
    result.sent = StopSim(sim);
    // What is still on its way through the socket and the decoder.
    WaitFor([&] { return console.counts >= result.sent; }, 2000);
    result.received = console.counts;
    result.seconds = clock.elapsed() / 1000.0;
    result.cpu = CpuSeconds() - cpuBefore;
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const int seconds = args.isEmpty() ? 5 : args[0].toInt();
    QList<int> rates;
    for (const QString& rate : args.mid(1))
        rates << rate.toInt();
    if (rates.isEmpty())
        rates = { 1000, 10000, 50000 };

    std::printf("%10s %10s %10s %8s %10s %8s\n", "rate/s", "sent", "received", "loss %", "cpu s", "cpu %");
    for (int rate : rates) {
        const Result r = Flood(rate, seconds);
        const double loss = r.sent ? 100.0 * double(r.sent - r.received) / double(r.sent) : 0.0;
        std::printf("%10d %10lld %10lld %8.3f %10.2f %8.1f\n", rate, static_cast<long long>(r.sent),
                    static_cast<long long>(r.received), loss, r.cpu, 100.0 * r.cpu / r.seconds);
        std::fflush(stdout);
    }
    return 0;
}

#include "bench_flood.moc"
