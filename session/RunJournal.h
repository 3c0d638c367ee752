#ifndef DOSEGATE_RUNJOURNAL_H
#define DOSEGATE_RUNJOURNAL_H

#include "LocalClock.h"
#include "Reading.h"

#include <QFile>
#include <QObject>
#include <QString>

// Every accepted reading of a run, one CSV line each, written through at
// once: a console that is killed loses nothing it had accepted. One file per
// run of the table, opened with the run's first reading. A journal that
// cannot be written is given up for that run with one log line naming the
// system's reason; the run itself goes on.
class RunJournal : public QObject
{
    Q_OBJECT

public:
    explicit RunJournal(const QString& folder, QObject* parent = nullptr);

    // The next reading starts a new journal.
    void Restart();
    // The open journal's path, empty when none is open.
    QString Path() const;
    // The number of the journal's last line, its header being line 1.
    int LastLine() const { return m_nLines; }

public slots:
    // Stamped with its arrival; a row of 0 names no table row.
    void Append(const Reading& reading);

private:
    bool Open(const QDateTime& start, int id);
    bool Write(const QByteArray& line);

    QString m_sFolder;
    QFile m_file;
    qint64 m_nWholeBytes; // the file up to its last whole line
    bool m_bFresh;  // the next reading opens a new file
    bool m_bFailed; // given up until the next run
    int m_nLines;
    LocalClock m_clock;
};

#endif
