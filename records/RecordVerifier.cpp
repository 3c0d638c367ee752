#include "RecordVerifier.h"

#include "Log.h"
#include "RecordServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>
#include <QTimer>

namespace {

} // namespace

RecordVerifier::RecordVerifier(const QString& storePath, QObject* parent)
    : QObject(parent)
    , m_sPath(storePath)
{
}

RecordVerifier::~RecordVerifier()
{
    if (!m_pThread)
        return;
    m_pThread->wait();
    delete m_pThread;
}

QString RecordVerifier::MarkPath(const QString& storePath)
{
    // A server's mark is kept beside the console's own store.
    if (RecordServer::IsServer(storePath))
        return QFileInfo(RecordStore::DefaultPath()).absoluteDir().filePath(RecordServer::LocalName(storePath)
                                                                              + QStringLiteral(".verified"));
    const QFileInfo store(storePath);
    return store.absoluteDir().filePath(store.completeBaseName() + QStringLiteral(".verified"));
}

// Whole or not at all: a mark cut short would name no row.
void RecordVerifier::Mark(const RecordStore& store, qint64 seq, const QByteArray& hash)
{
    if (seq <= 0)
        return;
    QSaveFile file(MarkPath(store.Path()));
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::number(seq) + ' ' + hash + '\n') < 0
        || !file.commit())
        LogPrint(LOG_NOTICE, "records: cannot keep the mark of the rows verified: %s\n", qPrintable(file.errorString()));
}

// The chain from the row after `after`, which had the hash `previous`;
// false at the first break. The newest row checked comes back in `newest`.
static bool Follows(const RecordStore& store, qint64 after, QByteArray previous, RecordStore::Row& newest)
{
    qint64 expected = after + 1;
    bool intact = true;
    const bool read = store.Scan([&](const RecordStore::Row& row) {
        intact = row.seq == expected && row.previousHash == previous && RecordStore::HashOf(row) == row.hash;
        if (!intact)
            return false;
        previous = row.hash;
        newest = row;
        ++expected;
        return true;
    }, QString(), -1, after);
    return read && intact;
}

// The store's own check, which also compares the newest row with the
// anchor.
RecordStore::Check RecordVerifier::Full(const RecordStore& store, const std::function<void(qint64 rows)>& progress)
{
    const RecordStore::Check check = store.Verify(progress);
    if (check.Intact())
        Mark(store, check.rows, store.RowAt(check.rows).hash);
    return check;
}

RecordStore::Check RecordVerifier::SinceMark(const RecordStore& store)
{
    QFile file(MarkPath(store.Path()));
    const QList<QByteArray> mark = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().split(' ')
                                                                  : QList<QByteArray>();
    const qint64 seq = mark.value(0).toLongLong();
    const RecordStore::Row marked = seq > 0 ? store.RowAt(seq) : RecordStore::Row();
    if (mark.size() != 2 || marked.seq != seq || marked.hash != mark[1] || RecordStore::HashOf(marked) != marked.hash)
        return Full(store);
    RecordStore::Row newest = marked;
    if (!Follows(store, seq, marked.hash, newest))
        return Full(store);
    RecordStore::Check check;
    check.rows = newest.seq;
    if (newest.seq != seq)
        Mark(store, newest.seq, newest.hash);
    return check;
}

void RecordVerifier::Start()
{
    QTimer::singleShot(kSettleMs, this, &RecordVerifier::Run);
}

void RecordVerifier::Run()
{
    if (m_pThread)
        return;
    m_pThread = QThread::create([this] {
        RecordStore store;
        if (!store.OpenExisting(m_sPath)) {
            emit Finished(0, 0, store.Error());
            return;
        }
        const qint64 total = store.Newest();
        emit Progressed(0, total);
        const RecordStore::Check check = Full(store, [this, total](qint64 rows) { emit Progressed(rows, total); });
        emit Progressed(check.rows, total);
        if (!check.Intact()) // an intact chain is no news
            LogPrint(LOG_WARNING, "records: the chain does not verify: %s\n", qPrintable(check.reason));
        emit Finished(check.rows, check.badRow, check.reason);
    });
    m_pThread->setObjectName(QStringLiteral("verifier"));
    m_pThread->start();
}
