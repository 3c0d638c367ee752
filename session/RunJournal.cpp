#include "RunJournal.h"

#include "Log.h"

#include <QDir>

namespace {

const char* const kHeader = "time,id,count,reading_uSv_h,row\n";

} // namespace

RunJournal::RunJournal(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_sFolder(folder)
    , m_nWholeBytes(0)
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

// Local time with its offset from UTC, so a line stays unambiguous across a
// change to or from daylight saving time.
void RunJournal::Append(const Reading& reading)
{
    const QDateTime time = m_clock.Local(reading.arrivalMs);
    if (m_bFresh) {
        m_bFresh = false;
        m_bFailed = !Open(time, reading.id);
    }
    if (m_bFailed)
        return;
    const QString line = QStringLiteral("%1,%2,%3,%4,%5\n")
                             .arg(time.toString(Qt::ISODateWithMs))
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
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        if (!m_file.exists() || n >= 100) {
            LogPrint(LOG_WARNING, "run journal: cannot create %s: %s; the run goes on without a journal\n",
                     qPrintable(QDir::toNativeSeparators(m_file.fileName())), qPrintable(m_file.errorString()));
            return false;
        }
    }
    LogPrint(LOG_NOTICE, "run journal: %s\n", qPrintable(QDir::toNativeSeparators(m_file.fileName())));
    m_nWholeBytes = 0;
    return Write(kHeader);
}

// Straight to the file, unbuffered: a line held in a buffer would die with
// the process. A line is on disk whole or not at all: what a full disk lets
// through of it is cut off again. A short write sets no error of its own;
// the write of the rest that follows it names the system's reason.
bool RunJournal::Write(const QByteArray& line)
{
    qint64 written = 0;
    while (written < line.size()) {
        const qint64 n = m_file.write(line.constData() + written, line.size() - written);
        if (n <= 0)
            break;
        written += n;
    }
    if (written == line.size()) {
        m_nWholeBytes += written;
        ++m_nLines;
        return true;
    }
    QString reason = m_file.errorString();
    if (written > 0 && !m_file.resize(m_nWholeBytes))
        reason += QStringLiteral(", and its last line stays cut short: ") + m_file.errorString();
    LogPrint(LOG_WARNING, "run journal: cannot write %s: %s; the run goes on without it\n",
             qPrintable(QDir::toNativeSeparators(m_file.fileName())), qPrintable(reason));
    m_file.close();
    return false;
}
