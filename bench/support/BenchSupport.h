#ifndef DOSEGATE_BENCH_BENCHSUPPORT_H
#define DOSEGATE_BENCH_BENCHSUPPORT_H

#include <QMap>
#include <QProcess>

#include <functional>
#include <vector>

// What the benchmark programs share beside what they measure. A child
// process hands its figures over as one line: "TAG key=value key=value ...".
namespace Bench {

double Median(std::vector<double> values);
double CpuMs(); // this process's user and system time so far
double PeakMib(); // this process's largest resident set
double RssMib(); // this process's resident set now

// The program's arguments, for reading before any application object exists.
QStringList Arguments(int argc, char* argv[]);

// "--name value" among the arguments, or the fallback.
QString TextArgument(const QStringList& arguments, const char* name, const QString& fallback = QString());
int IntArgument(const QStringList& arguments, const char* name, int fallback);

QString FiguresLine(const char* tag, const QMap<QString, double>& figures);
QMap<QString, double> ReadFigures(const QString& output, const char* tag);
// Runs a program to its end and reads its figures; none, with the reason,
// when it fails, prints none or outlasts the timeout.
QMap<QString, double> RunChild(const QString& program, const QStringList& arguments, const char* tag, QString* error,
                               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                               int timeoutMs = 120000);

// Runs the event loop until done() or the time is up, looking every 10 ms.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);
// Runs the event loop for a while with no timer of its own in between.
void RunEventLoop(int ms);

// Starts controller-sim on a free port; its port, or 0 if it reports none.
quint16 StartSimulator(QProcess& simulator, const QStringList& arguments);

} // namespace Bench

#endif
