#include "RecordWriter.h"

#include "Log.h"
#include "RecordOutbox.h"
#include "RecordServer.h"
#include "RecordStore.h"
#include "SigningKey.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QThread>
#include <QUuid>

#include <climits>

namespace {

// Far more than a reply lags behind its command, even with a whole network
// changing state four times a second in between.
constexpr std::size_t kTicketsKept = std::size_t(1) << 16;

// SQLite's word for a store whose write lock another connection holds,
// after the busy timeout has run out.
bool HeldElsewhere(const QString& error)
{
    // A lab's server out of reach holds them too, until it answers.
    return error.contains(QLatin1String("database is locked")) || error.contains(QLatin1String("cannot reach"));
}

} // namespace

RecordWriter::RecordWriter(QObject* parent)
    : QObject(parent)
{
}

// What is queued is written before the thread ends; a store still held by
// another console gets one more try, and what it refuses is said in the log.
RecordWriter::~RecordWriter()
{
    if (!m_pThread) {
        if (!m_queue.empty())
            LogPrint(LOG_WARNING, "records: %d rows not written: the record store was never opened\n",
                     int(m_queue.size()));
        return;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_bStop = true;
        m_wake.wakeAll();
    }
    m_pThread->wait();
    delete m_pThread;
}

void RecordWriter::Open(const QString& path, RecordStore* pReader)
{
    if (m_pThread)
        return;
    m_sPath = path;
    m_pReader = pReader;
    m_pThread = QThread::create([this] { Run(); });
    m_pThread->setObjectName(QStringLiteral("records"));
    m_pThread->start();
}

qint64 RecordWriter::Append(const QString& kind, int node, const QJsonObject& content, const QString& referenceKey,
                            qint64 reference, qint64 timeMs)
{
    Entry entry;
    entry.timeMs = timeMs;
    entry.kind = kind;
    entry.node = node;
    entry.content = content;
    entry.referenceKey = referenceKey;
    entry.reference = reference;
    return Append(QVector<Entry> { entry });
}

qint64 RecordWriter::Append(const QVector<Entry>& entries)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QMutexLocker lock(&m_mutex);
    for (const Entry& entry : entries) {
        m_queue.push_back({ m_nNextTicket++, entry, &entry != entries.constData() });
        if (entry.timeMs < 0)
            m_queue.back().entry.timeMs = now;
        if (entry.rowId.isEmpty())
            m_queue.back().entry.rowId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    }
    m_wake.wakeAll();
    return m_nNextTicket - 1;
}

bool RecordWriter::IsOpen() const
{
    QMutexLocker lock(&m_mutex);
    return m_bOpen;
}

bool RecordWriter::IsWaiting() const
{
    QMutexLocker lock(&m_mutex);
    return m_bWaiting;
}

QString RecordWriter::Error() const
{
    QMutexLocker lock(&m_mutex);
    return m_sError;
}

qint64 RecordWriter::Rows() const
{
    QMutexLocker lock(&m_mutex);
    return m_nRows;
}

int RecordWriter::Queued() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_queue.size());
}

int RecordWriter::Outboxed() const
{
    QMutexLocker lock(&m_mutex);
    return m_nOutboxed;
}

void RecordWriter::OpenReader()
{
    if (m_pReader)
        m_pReader->OpenExisting(m_sPath);
    emit Opened();
}

void RecordWriter::SetState(bool open, bool waiting, const QString& error)
{
    {
        QMutexLocker lock(&m_mutex);
        if (open == m_bOpen && waiting == m_bWaiting && error == m_sError)
            return;
        m_bOpen = open;
        m_bWaiting = waiting;
        m_sError = error;
    }
    emit StateChanged();
}

// The writer's thread: the store is opened, and used, only here.
void RecordWriter::Run()
{
    RecordStore store;
    RecordOutbox outbox;
    if (RecordServer::IsServer(m_sPath)) {
        const QString why = outbox.Open(RecordOutbox::PathFor(m_sPath));
        if (!why.isEmpty())
            LogPrint(LOG_WARNING, "records: %s\n", qPrintable(why));
        else if (outbox.Count() > 0)
            LogPrint(LOG_NOTICE, "records: %d rows in the outbox go to the lab server first\n", outbox.Count());
        QString unsigned_;
        m_pConsoleKey = RecordStore::ConsoleKey(m_sPath, &unsigned_);
        if (!m_pConsoleKey)
            LogPrint(LOG_WARNING, "records: rows kept for the lab server are not signed: %s\n", qPrintable(unsigned_));
        QMutexLocker lock(&m_mutex);
        m_nOutboxed = outbox.Count();
    }
    bool opened = false;
    QElapsedTimer sinceCheckpoint;
    sinceCheckpoint.start();
    qint64 rowsAtCheckpoint = -1; // as the count stood at the last one, or at opening
    for (;;) {
        std::deque<Waiting> batch;
        bool stopping = false;
        {
            QMutexLocker lock(&m_mutex);
            while (opened && !m_bStop && m_queue.empty() && outbox.Count() == 0
                   && m_wake.wait(&m_mutex, (unsigned long)std::max<qint64>(1, kCheckpointMs - sinceCheckpoint.elapsed())))
                ;
            stopping = m_bStop;
            while (!m_queue.empty() && (batch.size() < std::size_t(kBatchRows) || m_queue.front().joined)) {
                batch.push_back(std::move(m_queue.front()));
                m_queue.pop_front();
            }
        }
        // Behind the rows the outbox holds, so that the order is kept.
        if (!batch.empty() && outbox.Count() > 0 && Keep(outbox, batch))
            batch.clear();
        if (!opened) {
            opened = store.Open(m_sPath);
            if (opened) {
                // Rows are only ever appended: the newest one's number is their count.
                const qint64 rows = store.Newest();
                {
                    QMutexLocker lock(&m_mutex);
                    m_nRows = rows;
                }
                rowsAtCheckpoint = rows;
                SetState(true, false, QString());
                QMetaObject::invokeMethod(this, "OpenReader", Qt::QueuedConnection);
            }
        }
        // Only when rows came since the last one: an idle store needs none.
        if (opened && batch.empty() && (stopping || sinceCheckpoint.elapsed() >= kCheckpointMs)
            && Rows() > rowsAtCheckpoint && store.Loss().isEmpty() && outbox.Count() == 0) {
            if (store.Checkpoint() > 0) {
                QMutexLocker lock(&m_mutex);
                ++m_nRows;
            }
            rowsAtCheckpoint = Rows();
            sinceCheckpoint.restart();
        }
        if (opened && outbox.Count() > 0 && !Send(store, outbox)) {
            if (!batch.empty() && Keep(outbox, batch))
                batch.clear();
            if (batch.empty()) {
                // Kept on the disk: a stop leaves them for the next start.
                SetState(opened, true, store.Error());
                if (stopping) {
                    if (Queued() == 0)
                        break;
                    continue;
                }
                QMutexLocker lock(&m_mutex);
                if (!m_bStop)
                    m_wake.wait(&m_mutex, kRetryMs);
                continue;
            }
        }
        if (opened && !batch.empty() && Write(store, batch))
            continue;
        const QString why = store.Error();
        const bool held = HeldElsewhere(why) || m_bCommitInDoubt;
        if (batch.empty()) {
            if (stopping) {
                if (Queued() == 0)
                    break;
                continue; // what the outbox took was one batch of several
            }
            if (!opened) { // tried again after a while when held, else with the next rows
                const bool retry = held || outbox.Count() > 0;
                SetState(false, retry, why);
                QMutexLocker lock(&m_mutex);
                if (!m_bStop && m_queue.empty())
                    m_wake.wait(&m_mutex, retry ? (unsigned long)kRetryMs : ULONG_MAX);
            }
            continue;
        }
        // Whatever kept the server from taking them, they are on the disk
        // until it does: none waits in memory only.
        if (outbox.IsOpen() && Keep(outbox, batch)) {
            SetState(opened, true, why);
            if (stopping)
                continue;
            QMutexLocker lock(&m_mutex);
            if (!m_bStop)
                m_wake.wait(&m_mutex, kRetryMs);
            continue;
        }
        if (held && !stopping) {
            // Back at the head of the queue, in their order, for the next try.
            SetState(opened, true, why);
            QMutexLocker lock(&m_mutex);
            for (auto row = batch.rbegin(); row != batch.rend(); ++row)
                m_queue.push_front(std::move(*row));
            m_wake.wait(&m_mutex, kRetryMs);
            continue;
        }
        SetState(opened, false, why);
        if (stopping) { // the store had its last chance
            QMutexLocker lock(&m_mutex);
            for (Waiting& row : m_queue)
                batch.push_back(std::move(row));
            m_queue.clear();
        }
        GiveUp(batch, why);
    }
}

// One transaction; false, with the rows still in the batch, when it failed.
bool RecordWriter::Write(RecordStore& store, std::deque<Waiting>& batch)
{
    if (!store.Begin())
        return false;
    // After a loss every row goes to the side file, in its order, until
    // someone accepts the loss; none is written and none is dropped.
    if (!store.Loss().isEmpty()) {
        for (const Waiting& row : batch)
            store.Append(row.entry.kind, row.entry.node, row.entry.content, row.entry.timeMs, row.entry.signer.get());
        store.Rollback();
        SetState(true, false, store.Error());
        GiveUp(batch, store.Error());
        return true;
    }
    QVector<qint64> tickets;
    QVector<qint64> seqs;
    qint64 seq = 0;
    m_bCommitInDoubt = false;
    for (const Waiting& row : batch) {
        QJsonObject content = row.entry.content;
        if (row.entry.reference > 0 && m_seqOfTicket.contains(row.entry.reference))
            content.insert(row.entry.referenceKey, m_seqOfTicket.value(row.entry.reference));
        seq = store.Append(row.entry.kind, row.entry.node, content, row.entry.timeMs, row.entry.signer.get(),
                           row.entry.rowId);
        if (seq == 0)
            break;
        m_seqOfTicket.insert(row.ticket, seq);
        tickets.append(row.ticket);
        seqs.append(seq);
    }
    if (seq == 0 || !store.Commit()) {
        // The server may have committed what it was sent before the
        // connection went: tried again, the rows it holds are found by
        // their ids, so they are neither lost nor written twice.
        m_bCommitInDoubt = seq != 0 && RecordServer::IsServer(m_sPath);
        store.Rollback();
        for (qint64 ticket : tickets)
            m_seqOfTicket.remove(ticket);
        return false;
    }
    for (qint64 ticket : tickets) {
        m_listTickets.push_back(ticket);
        if (m_listTickets.size() > kTicketsKept) {
            m_seqOfTicket.remove(m_listTickets.front());
            m_listTickets.pop_front();
        }
    }
    {
        QMutexLocker lock(&m_mutex);
        m_nRows += qint64(batch.size());
    }
    SetState(true, false, QString());
    // Rows the server held already (a lost answer to an earlier commit) are
    // not in a run with the rows written now.
    int first = 0;
    for (int i = 1; i <= tickets.size(); ++i) {
        if (i == tickets.size() || seqs[i] != seqs[i - 1] + 1) {
            emit Written(tickets[first], tickets[i - 1], seqs[i - 1]);
            first = i;
        }
    }
    return true;
}

// Said until the next rows are written: the state keeps the reason.
void RecordWriter::GiveUp(const std::deque<Waiting>& batch, const QString& why)
{
    LogPrint(LOG_WARNING, "records: %d rows not written: %s\n", int(batch.size()), qPrintable(why));
    emit NotWritten(batch.front().ticket, batch.back().ticket, why);
}

bool RecordWriter::Keep(RecordOutbox& outbox, const std::deque<Waiting>& batch)
{
    QVector<RecordOutbox::Row> rows;
    for (const Waiting& waiting : batch) {
        const Entry& entry = waiting.entry;
        RecordOutbox::Row row;
        row.rowId = entry.rowId;
        row.timeMs = entry.timeMs;
        row.kind = entry.kind;
        row.node = entry.node;
        row.content = entry.content;
        // A row the server has not numbered yet is named by its id.
        if (entry.reference > 0 && m_seqOfTicket.contains(entry.reference)) {
            row.content.insert(entry.referenceKey, m_seqOfTicket.value(entry.reference));
        } else if (entry.reference > 0 && m_rowIdOfTicket.contains(entry.reference)) {
            row.referenceKey = entry.referenceKey;
            row.referenceRowId = m_rowIdOfTicket.value(entry.reference);
        }
        // Signed now, over everything but the place the server gives it: a
        // console killed before sending leaves the row signed by its person.
        RecordStore::Row unplaced;
        unplaced.time = RecordStore::TimeText(entry.timeMs);
        unplaced.kind = entry.kind;
        unplaced.node = entry.node;
        unplaced.content = QJsonDocument(row.content).toJson(QJsonDocument::Compact);
        const SigningKey* signer = entry.signer && entry.signer->CanSign() ? entry.signer.get() : m_pConsoleKey.get();
        if (signer)
            row.signature = signer->Sign(RecordStore::UnplacedBytes(unplaced));
        m_rowIdOfTicket.insert(waiting.ticket, entry.rowId);
        rows.append(row);
    }
    if (!outbox.Put(rows)) {
        for (const Waiting& waiting : batch)
            m_rowIdOfTicket.remove(waiting.ticket);
        LogPrint(LOG_WARNING, "records: %d rows not kept in the outbox: %s\n", int(batch.size()),
                 qPrintable(outbox.Error()));
        return false;
    }
    for (const Waiting& waiting : batch) {
        m_ticketOfRowId.insert(waiting.entry.rowId, waiting.ticket);
        if (waiting.entry.signer)
            m_signerOfRowId.insert(waiting.entry.rowId, waiting.entry.signer);
    }
    {
        QMutexLocker lock(&m_mutex);
        m_nOutboxed = outbox.Count();
    }
    emit StateChanged();
    return true;
}

bool RecordWriter::Send(RecordStore& store, RecordOutbox& outbox)
{
    while (outbox.Count() > 0) {
        const RecordOutbox::Row row = outbox.Front();
        if (row.id == 0 || !store.Begin())
            return false;
        // Under the appending lock: no other console sends it meanwhile.
        qint64 seq = store.SeqOf(row.rowId);
        const bool already = seq > 0;
        if (seq == 0) {
            QJsonObject content = row.content;
            const qint64 reference = row.referenceKey.isEmpty() ? 0 : store.SeqOf(row.referenceRowId);
            if (reference > 0)
                content.insert(row.referenceKey, reference);
            seq = store.Append(row.kind, row.node, content, row.timeMs, m_signerOfRowId.value(row.rowId).get(),
                               row.rowId, row.signature);
            if (seq == 0 || !store.Commit()) {
                store.Rollback();
                return false;
            }
        } else {
            store.Rollback();
            if (seq < 0)
                return false;
        }
        // Only once the server has committed it: a crash before this finds
        // it there at the next try, and drops it then.
        if (!outbox.Remove(row.id)) {
            LogPrint(LOG_WARNING, "records: the outbox keeps a sent row: %s\n", qPrintable(outbox.Error()));
            return false;
        }
        m_signerOfRowId.remove(row.rowId);
        const qint64 ticket = m_ticketOfRowId.take(row.rowId);
        if (ticket > 0) {
            m_rowIdOfTicket.remove(ticket);
            m_seqOfTicket.insert(ticket, seq);
            m_listTickets.push_back(ticket);
            if (m_listTickets.size() > kTicketsKept) {
                m_seqOfTicket.remove(m_listTickets.front());
                m_listTickets.pop_front();
            }
        }
        {
            QMutexLocker lock(&m_mutex);
            // A row of an earlier run was counted when the store opened.
            if (!already || ticket > 0)
                ++m_nRows;
            m_nOutboxed = outbox.Count();
        }
        emit StateChanged();
        if (ticket > 0)
            emit Written(ticket, ticket, seq);
    }
    SetState(true, false, QString());
    return true;
}
