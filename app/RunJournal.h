#ifndef DOSEGATE_RUNJOURNAL_H
#define DOSEGATE_RUNJOURNAL_H

#include <QFile>
#include <QString>

class QDateTime;

// Every accepted reading of a run, one CSV line each, written through at
// once: a console that is killed loses nothing it had accepted. One file per
// run of the table, opened with the run's first reading. A journal that
// cannot be written is given up for that run with one log line; the run
// itself goes on.
class RunJournal
{
public:
    explicit RunJournal(const QString& folder);

    // The next reading starts a new journal.
    void Restart();
    // row: the number of the table row the reading feeds, 0 for none.
    void Append(const QDateTime& time, int id, int count, double reading, int row);
    // The open journal's path, empty when none is open.
    QString Path() const;

private:
    bool Open(const QDateTime& start, int id);
    bool Write(const QByteArray& line);

    QString m_sFolder;
    QFile m_file;
    bool m_bFresh;  // the next reading opens a new file
    bool m_bFailed; // given up until the next run
};

#endif
