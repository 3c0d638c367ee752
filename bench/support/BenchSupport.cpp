#include "BenchSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace Bench {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double CpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double PeakMib()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // KiB on Linux
}

double RssMib()
{
    QFile statm(QStringLiteral("/proc/self/statm")); // in pages: total, resident, ...
    if (!statm.open(QIODevice::ReadOnly))
        return 0.0;
    return statm.readAll().split(' ').value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / double(1 << 20);
}

QStringList Arguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

QString TextArgument(const QStringList& arguments, const char* name, const QString& fallback)
{
    const int at = arguments.indexOf(QLatin1String(name));
    return at > 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : fallback;
}

int IntArgument(const QStringList& arguments, const char* name, int fallback)
{
    bool number = false;
    const int value = TextArgument(arguments, name).toInt(&number);
    return number ? value : fallback;
}

QString FiguresLine(const char* tag, const QMap<QString, double>& figures)
{
    QString line = QLatin1String(tag);
    for (auto it = figures.cbegin(); it != figures.cend(); ++it)
        line += QStringLiteral(" %1=%2").arg(it.key()).arg(it.value(), 0, 'f', 4);
    return line;
}

QMap<QString, double> ReadFigures(const QString& output, const char* tag)
{
    QMap<QString, double> figures;
    for (const QString& line : output.split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (int i = 1; i < fields.size() && fields[0] == QLatin1String(tag); ++i)
            figures.insert(fields[i].section(QLatin1Char('='), 0, 0), fields[i].section(QLatin1Char('='), 1).toDouble());
    }
    return figures;
}

QMap<QString, double> RunChild(const QString& program, const QStringList& arguments, const char* tag, QString* error,
                               const QProcessEnvironment& environment, int timeoutMs)
{
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(program, arguments);
    const bool finished = child.waitForFinished(timeoutMs);
    const QMap<QString, double> figures = ReadFigures(QString::fromLocal8Bit(child.readAllStandardOutput()), tag);
    if (finished && child.exitCode() == 0 && !figures.isEmpty())
        return figures;
    child.kill();
    child.waitForFinished();
    *error = QStringLiteral("%1 ended with %2, no figures: %3")
                 .arg(program, finished ? QString::number(child.exitCode()) : child.errorString(),
                      QString::fromLocal8Bit(child.readAllStandardError()).trimmed());
    return {};
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= timeoutMs)
            loop.quit();
    });
    poll.start(10);
    if (!done())
        loop.exec();
    return done();
}

void RunEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

quint16 StartSimulator(QProcess& simulator, const QStringList& arguments)
{
    simulator.start(QStringLiteral(CONTROLLER_SIM), QStringList { "--port", "0" } + arguments);
    const QRegularExpression listening(QStringLiteral("listening on [0-9.]+:(\\d+)"));
    QString output;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000 && simulator.state() != QProcess::NotRunning) {
        simulator.waitForReadyRead(100);
        output += QString::fromLocal8Bit(simulator.readAllStandardOutput());
        const QRegularExpressionMatch match = listening.match(output);
        if (match.hasMatch())
            return quint16(match.captured(1).toUInt());
    }
    return 0;
}

} // namespace Bench
