#include "SimLog.h"

#include <QTime>

#include <cstdio>

namespace {

void WriteLine(std::FILE* stream, const QString& line)
{
    std::fputs(line.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

SimLog::SimLog(bool quiet)
    : m_bQuiet(quiet)
{
}

void SimLog::Plain(const QString& line)
{
    WriteLine(stdout, line);
}

void SimLog::Event(const QString& line)
{
    WriteLine(stdout, Stamped(line));
}

void SimLog::Received(const QString& line)
{
    if (!m_bQuiet)
        WriteLine(stdout, Stamped(line));
}

void SimLog::Problem(const QString& line)
{
    WriteLine(stderr, Stamped(line));
}

QString SimLog::Stamped(const QString& line)
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")) + QLatin1Char(' ') + line;
}
