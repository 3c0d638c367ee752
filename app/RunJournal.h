#ifndef DOSEGATE_RUNJOURNAL_H
#define DOSEGATE_RUNJOURNAL_H

#include "LocalClock.h"

#include <QFile>
#include <QString>

// Every accepted reading of a run, one CSV line each, written through at
// once: a console that is killed loses nothing it had accepted. One file per
// run of the table, opened with the run's first reading. A journal that
// cannot be written is given up for that run with one log line naming the
// system's reason; the run itself goes on.
class RunJournal
{
public:
    explicit RunJournal(const QString& folder);

    // The next reading starts a new journal.
    void Restart();
    // nArrivalMs: when the reading arrived, ms since the epoch (UTC);
    // row: the number of the table row the reading feeds, 0 for none.
    void Append(qint64 nArrivalMs, int id, int count, double reading, int row);
    // The open journal's path, empty when none is open.
    QString Path() const;

private:
    bool Open(const QDateTime& start, int id);
    bool Write(const QByteArray& line);

    QString m_sFolder;
    QFile m_file;
    qint64 m_nWholeBytes; // the file up to its last whole line
    bool m_bFresh;  // the next reading opens a new file
    bool m_bFailed; // given up until the next run
    LocalClock m_clock;
};

#endif
