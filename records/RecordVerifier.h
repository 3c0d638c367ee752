#ifndef DOSEGATE_RECORDVERIFIER_H
#define DOSEGATE_RECORDVERIFIER_H

#include "RecordStore.h"

#include <QObject>
#include <QString>

class QThread;

// Checks the chain of the record store without reading it all each time:
// the newest row found intact is marked, with its hash, in a small file of
// its own beside the store, and the next check reads only the rows after
// it. A row the mark names that no longer has its hash, or a break after
// it, gets the whole chain checked, so the reason is the full check's own.
class RecordVerifier : public QObject
{
    Q_OBJECT

public:
    explicit RecordVerifier(const QString& storePath = QString(), QObject* parent = nullptr);
    ~RecordVerifier() override;

    // records.verified beside records.sqlite.
    static QString MarkPath(const QString& storePath);
    // From the first row; `progress` as in RecordStore::Verify.
    static RecordStore::Check Full(const RecordStore& store,
                                   const std::function<void(qint64 rows)>& progress = nullptr);
    // The rows after the mark; the whole chain when there is none.
    static RecordStore::Check SinceMark(const RecordStore& store);

    // Once the console's start-up is over: the check does not compete with
    // it for the processor.
    static constexpr int kSettleMs = 3000;

public slots:
    // The whole chain on a thread of its own, with a connection of its own,
    // after kSettleMs; the window's thread goes on meanwhile. The log tells
    // of a break.
    void Start();

signals:
    // Rows checked of the total: at the start, every
    // RecordStore::kProgressRows rows and at the end.
    void Progressed(qint64 rows, qint64 total);
    void Finished(qint64 rows, qint64 badRow, const QString& reason);

private:
    static void Mark(const RecordStore& store, qint64 seq, const QByteArray& hash);
    void Run();

    QString m_sPath;
    QThread* m_pThread = nullptr;
};

#endif
