#ifndef DOSEGATE_RECORDWRITER_H
#define DOSEGATE_RECORDWRITER_H

#include <QHash>
#include <QJsonObject>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVector>
#include <QWaitCondition>

#include <deque>
#include <memory>

class QThread;
class RecordOutbox;
class RecordStore;
class SigningKey;

// Appends to the record store on a thread of its own, with a connection of
// its own, so that no disk write, no sync and no lock held by another
// console ever holds up the window. Rows are queued in the order they are
// handed over and committed in that order, a few in each transaction; rows
// handed over together share one. Each
// row gets a ticket when queued; Written names the tickets once they are
// committed, never before. A store held by another console is tried again
// until it is free; what is queued at the end is written before the thread
// stops. Rows for a lab's server that is away go to the outbox on the
// console's disk, and from there to the server, in their order, once it
// answers: first of all at the next start.
class RecordWriter : public QObject
{
    Q_OBJECT

public:
    struct Entry
    {
        QString kind;
        int node = 0;
        QJsonObject content;
        // The row that an earlier ticket became goes into the content under
        // this key; the key is left out when that row was not written.
        QString referenceKey;
        qint64 reference = 0;
        // When it happened, ms since the epoch: when handed over, if not
        // given. The row says so, however long it waited for the store.
        qint64 timeMs = -1;
        // Who signs the row, when a person does; else the console.
        std::shared_ptr<const SigningKey> signer;
        // The id a lab's server takes once only: given when handed over.
        QString rowId;
    };

    static constexpr int kBatchRows = 256;
    static constexpr int kRetryMs = 1000;
    // A signed checkpoint of the newest row, while rows are written, and
    // at the close.
    static constexpr int kCheckpointMs = 3600 * 1000;

    explicit RecordWriter(QObject* parent = nullptr);
    ~RecordWriter() override;

    // Opens the store on the writer's thread, and once it is open the
    // reader too, read-only, on the caller's.
    void Open(const QString& path, RecordStore* pReader = nullptr);
    QString Path() const { return m_sPath; }

    // The row's ticket.
    qint64 Append(const QString& kind, int node, const QJsonObject& content, const QString& referenceKey = QString(),
                  qint64 reference = 0, qint64 timeMs = -1);
    // Rows that go into one transaction together; the last one's ticket.
    qint64 Append(const QVector<Entry>& entries);

    bool IsOpen() const;
    // Another console holds the store, or a lab's server is out of reach:
    // the rows wait, in their order.
    bool IsWaiting() const;
    // Why the store is not open, or why the last rows were not written.
    QString Error() const;
    // The rows in the store, kept count of as they are committed.
    qint64 Rows() const;
    int Queued() const;
    // Rows kept in the outbox for a lab's server.
    int Outboxed() const;

signals:
    void Opened();
    // Tickets first to last were committed, the last as row lastSeq: they
    // are consecutive rows.
    void Written(qint64 firstTicket, qint64 lastTicket, qint64 lastSeq);
    void NotWritten(qint64 firstTicket, qint64 lastTicket, const QString& why);
    void StateChanged();

private slots:
    void OpenReader();

private:
    struct Waiting
    {
        qint64 ticket;
        Entry entry;
        bool joined; // in one transaction with the row before
    };

    void Run();
    bool Write(RecordStore& store, std::deque<Waiting>& batch);
    void SetState(bool open, bool waiting, const QString& error);
    void GiveUp(const std::deque<Waiting>& batch, const QString& why);
    // Into the outbox, after whatever it holds; false when it could not.
    bool Keep(RecordOutbox& outbox, const std::deque<Waiting>& batch);
    // The outbox's rows to the server, oldest first, each in a transaction
    // of its own; false when the server did not take them all.
    bool Send(RecordStore& store, RecordOutbox& outbox);

    QString m_sPath;
    RecordStore* m_pReader = nullptr; // not owned
    QThread* m_pThread = nullptr;

    mutable QMutex m_mutex; // guards what follows
    QWaitCondition m_wake;
    std::deque<Waiting> m_queue;
    qint64 m_nNextTicket = 1;
    bool m_bStop = false;
    bool m_bOpen = false;
    bool m_bWaiting = false;
    QString m_sError;
    qint64 m_nRows = 0;
    int m_nOutboxed = 0;

    // The writer thread's own: the rows recent tickets became.
    QHash<qint64, qint64> m_seqOfTicket;
    std::deque<qint64> m_listTickets; // oldest first, bounded
    // Of the rows this run put in the outbox, until they are sent.
    QHash<qint64, QString> m_rowIdOfTicket;
    QHash<QString, qint64> m_ticketOfRowId;
    QHash<QString, std::shared_ptr<const SigningKey>> m_signerOfRowId;
    // Signs what goes into the outbox that no person signs; the writer
    // thread's own.
    std::unique_ptr<SigningKey> m_pConsoleKey;
    // The last commit failed after its rows were sent: tried again, not
    // given up.
    bool m_bCommitInDoubt = false;
};

#endif
