#include "RunJournal.h"

#include "Log.h"

#include <QDateTime>
#include <QDir>

namespace {

const char* const kHeader = "time,id,count,reading_uSv_h,row\n";

// Local time with its offset from UTC, so a line stays unambiguous across a
// change to or from daylight saving time.
QString Stamp(const QDateTime& time)
{
    QDateTime local = time.toLocalTime();
    local.setOffsetFromUtc(local.offsetFromUtc());
    return local.toString(Qt::ISODateWithMs);
}

} // namespace

RunJournal::RunJournal(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_sFolder(folder)
    , m_bFresh(true)
    , m_bFailed(false)
    , m_nLines(0)
{
}

void RunJournal::Restart()
{
    m_file.close();
    m_bFresh = true;
    m_bFailed = false;
    m_nLines = 0;
}

QString RunJournal::Path() const
{
    return m_file.isOpen() ? m_file.fileName() : QString();
}

void RunJournal::Append(const Reading& reading)
{
    if (m_bFresh) {
        m_bFresh = false;
        m_bFailed = !Open(reading.time, reading.id);
    }
    if (m_bFailed)
        return;
    const QString line = QStringLiteral("%1,%2,%3,%4,%5\n")
                             .arg(Stamp(reading.time))
                             .arg(reading.id)
                             .arg(reading.count)
                             .arg(double(reading.value), 0, 'f', 4)
                             .arg(reading.row > 0 ? QString::number(reading.row) : QString());
    m_bFailed = !Write(line.toUtf8());
}

// Named after the run's start and the node; a second run within the same
// second gets a number rather than overwriting the first.
bool RunJournal::Open(const QDateTime& start, int id)
{
    const QString base = QStringLiteral("%1_id%2").arg(start.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"))).arg(id);
    if (!QDir().mkpath(m_sFolder)) {
        LogPrint(LOG_WARNING, "run journal: cannot create %s; the run goes on without a journal\n",
                 qPrintable(QDir::toNativeSeparators(m_sFolder)));
        return false;
    }
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? base : QStringLiteral("%1_%2").arg(base).arg(n);
        m_file.setFileName(QDir(m_sFolder).filePath(name + QStringLiteral(".csv")));
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!m_file.exists() || n >= 100) {
            LogPrint(LOG_WARNING, "run journal: cannot create %s: %s; the run goes on without a journal\n",
                     qPrintable(QDir::toNativeSeparators(m_file.fileName())), qPrintable(m_file.errorString()));
            return false;
        }
    }
    LogPrint(LOG_NOTICE, "run journal: %s\n", qPrintable(QDir::toNativeSeparators(m_file.fileName())));
    return Write(kHeader);
}

// Straight to the file: a line held in a buffer would die with the process.
bool RunJournal::Write(const QByteArray& line)
{
    if (m_file.write(line) == line.size() && m_file.flush()) {
        ++m_nLines;
        return true;
    }
    LogPrint(LOG_WARNING, "run journal: cannot write %s: %s; the run goes on without it\n",
             qPrintable(QDir::toNativeSeparators(m_file.fileName())), qPrintable(m_file.errorString()));
    m_file.close();
    return false;
}
