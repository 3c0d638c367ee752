// Floods the link session with dose-count frames from the simulator at each
// rate for a few seconds, and compares the frames the session reported with
// those the simulator sent, beside the CPU time this process took.
//
//   bench_flood [--seconds S] [--rates R1,R2,...]   (default 5 s at 1000,10000,50000)
#include "BenchConsole.h"
#include "BenchSupport.h"
#include "TcpSocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int seconds = Bench::IntArgument(arguments, "--seconds", 5);
    std::printf("%10s %10s %10s %8s %10s %8s\n", "rate/s", "sent", "received", "loss %", "cpu s", "cpu %");
    for (const QString& rate : Bench::TextArgument(arguments, "--rates", "1000,10000,50000").split(',')) {
        QProcess simulator;
        BenchConsole console;
        console.port = Bench::StartSimulator(simulator, { "--quiet", "--nodes", "1-8", "--seed", "1", "--flood", rate });
        TcpSocket session;
        session.SetWindow(&console);
        qint64 counts = 0;
        QObject::connect(&session, &TcpSocket::CountDoseSignl, [&counts] { ++counts; });
        session.ConnectServer();
        if (!console.port || !Bench::WaitFor([&] { return console.state == QLatin1String("connected!"); }, 5000)) {
            std::fprintf(stderr, "no link to the simulator at %s frames/s\n", qPrintable(rate));
            return 1;
        }
        const double cpuBefore = Bench::CpuMs();
        QElapsedTimer clock;
        clock.start();
        Bench::RunEventLoop(seconds * 1000);
        simulator.terminate();
        simulator.waitForFinished();
        const QRegularExpression sentLine(QStringLiteral("sent (\\d+) dose frames"));
        const qint64 sent = sentLine.match(QString::fromLocal8Bit(simulator.readAllStandardOutput())).captured(1).toLongLong();
        // What is still on its way through the socket and the decoder.
        Bench::WaitFor([&] { return counts >= sent; }, 2000);
        const double cpu = (Bench::CpuMs() - cpuBefore) / 1e3;
        std::printf("%10s %10lld %10lld %8.3f %10.2f %8.1f\n", qPrintable(rate), static_cast<long long>(sent),
                    static_cast<long long>(counts),
                    sent ? 100.0 * double(sent - counts) / double(sent) : 0.0, cpu,
                    100.0 * cpu / (double(clock.elapsed()) / 1e3));
        std::fflush(stdout);
    }
    return 0;
}
