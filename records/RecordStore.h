#ifndef DOSEGATE_RECORDSTORE_H
#define DOSEGATE_RECORDSTORE_H

#include <QJsonObject>
#include <QElapsedTimer>
#include <QObject>
#include <QVariantList>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

class CalibrationSummary;
class QSqlQuery;
class SigningKey;

// The laboratory's record: one SQLite file of rows that are only ever
// appended, each carrying the SHA-256 of its own content and of the row
// before it, so that a changed or removed row shows. Written with WAL and
// synchronous FULL: a row reported written survives a power cut. A store
// that cannot be opened or written says why and stays out of the way.
//
// The newest row's number and hash are also kept in an anchor file beside
// the store, so that rows cut off its end show too. A store that has lost
// rows from its end takes no more: new rows wait in a side file until
// someone accepts the loss, which is itself recorded.
//
// Opened from a postgresql:// address instead, the same rows are kept on a
// lab's server shared by every console (RecordServer): the server
// serialises the appends and refuses edits itself, so it has no anchor.
class RecordStore : public QObject
{
    Q_OBJECT

public:
    struct Row
    {
        qint64 seq = 0;
        QString time; // local, ISO 8601 with milliseconds and offset
        QString kind;
        int node = 0;
        QByteArray content; // compact JSON, exactly as hashed
        QByteArray previousHash;
        QByteArray hash;
        int encoding = kEncoding; // how the hashed bytes are laid out
        // Beside the row, over its hashed bytes: "PUBLIC:SIGNATURE" in hex,
        // empty for a row nobody signed (every row written before signing).
        QByteArray signature;

        QJsonObject Content() const;
    };

    struct Check
    {
        qint64 rows = 0;
        qint64 badRow = 0; // the first row that does not match, 0 when intact
        QString reason;
        bool Intact() const { return badRow == 0 && reason.isEmpty(); }
    };

    // What a row's hash is taken over: 1, the fields joined by new lines
    // (rows written before 2); 2, each field with its length before it.
    static constexpr int kEncoding = 2;

    // The newest row as last written, kept outside the store.
    struct Anchor
    {
        qint64 seq = 0;
        QByteArray hash;
    };

    explicit RecordStore(QObject* parent = nullptr);
    ~RecordStore() override;

    // records.sqlite in the console's data folder.
    static QString DefaultPath();
    // Where this console keeps its records: DefaultPath(), unless a lab's
    // server was named for this run.
    static QString Location();
    static void SetLocation(const QString& location);
    // A place was named for this run (--records): it wins over any kept.
    static bool LocationGiven();
    // The file beside which a store's own files are kept (its keyring, its
    // certificates): the store itself, or for a lab's server the console's
    // own DefaultPath().
    static QString LocalPath(const QString& location);
    // Local time with milliseconds and its offset: unambiguous across a
    // change of daylight saving time.
    static QString Now();
    static QString TimeText(qint64 ms);
    // Where the console keeps what belongs to its records between runs.
    static QString SettingsPath();
    // Beside the store: its anchor, and the rows held back after a loss.
    static QString AnchorPath(const QString& store);
    static QString HeldPath(const QString& store);
    // The console's own key, beside the store, that signs every row no
    // person signs.
    static QString ConsoleKeyPath(const QString& store);
    // "SEQ HASH" on one line; false for anything else.
    static bool ParseAnchor(const QByteArray& text, Anchor* pAnchor);
    // Why a file the console was asked to write must not be written at
    // path: it exists (unless forced), it is no regular file, or it is one
    // of the store's own files (never). Empty when it may be written.
    static QString RefusalOf(const QString& path, const QString& store, bool force);

    // Creates the store when it does not exist yet. A console's store tells
    // the log why it fails; a command line says it to whoever asked.
    bool Open(const QString& path, bool logs = true);
    // For checking and exporting: never creates or changes anything.
    bool OpenExisting(const QString& path);
    bool IsOpen() const { return m_bOpen; }
    QString Path() const { return m_sPath; }
    // Why the store is not available, or why the last write failed.
    QString Error() const { return m_sError; }

    // Appends one row in a transaction of its own, stamped with the time
    // given (ms since the epoch; now when negative); its number, or 0 when it
    // could not be written (Error() says why). After a loss the row is held
    // in the side file instead, and 0 is returned.
    // A row is signed by the key given, else by the console's own. On a
    // lab's server the row carries the id given (a new one when none is),
    // which the server takes once only: an id it holds already (a commit
    // whose answer was lost) gives that row's number, and nothing is
    // written.
    // A signature made when the row was handed over, over its unplaced
    // bytes, is kept when it holds over the row as appended; else the row is
    // signed here.
    qint64 Append(const QString& kind, int node, const QJsonObject& content, qint64 timeMs = -1,
                  const SigningKey* pSigner = nullptr, const QString& rowId = QString(),
                  const QByteArray& signature = QByteArray());
    // The number of the server's row with that id: 0 when it has none, -1
    // when it could not be asked.
    qint64 SeqOf(const QString& rowId) const;
    // A row naming the newest row and its hash, signed by the console: a
    // rebuilt chain must forge it too.
    qint64 Checkpoint();

    // Rows missing from the end, as the anchor tells: empty while none are.
    QString Loss() const { return m_sLoss; }
    // Rows held in the side file since a loss.
    int HeldCount() const;
    // Records who accepted the loss, then the rows held since; false when
    // there is nothing to accept or it could not be written (Error() says
    // why).
    bool AcceptLoss(const QString& operatorName);

    // Rows appended between Begin() and Commit() share one transaction and
    // one sync; after a failed Append, Rollback().
    bool Begin();
    bool Commit();
    void Rollback();

    // Hands the rows over one at a time, oldest first, until the visitor
    // returns false; false when they could not be read.
    bool Scan(const std::function<bool(const Row&)>& visit, const QString& kind = QString(), int node = -1,
              qint64 after = 0) const;
    // Every node the rows name, and the calibrations of one node (of all
    // when -1) after the given row, oldest first: from the summary kept as
    // rows are appended, never from the rows themselves.
    QVector<int> Nodes() const;
    // The newest row's number, found without reading the others.
    qint64 Newest() const;
    QVector<CalibrationSummary> Calibrations(int node = -1, qint64 after = 0) const;
    // The newest calibration of each node that has one after the given row.
    QVector<CalibrationSummary> LastCalibrations(qint64 after = 0) const;

    // Oldest first; only rows after the given one, when one is given.
    QVector<Row> Rows(const QString& kind = QString(), int node = -1, qint64 after = 0) const;
    Row RowAt(qint64 seq) const;
    qint64 Count() const;

    // The whole chain, from the first row to the newest one written here;
    // `progress` hears the rows checked so far every kProgressRows rows.
    static constexpr qint64 kProgressRows = 50000;
    Check Verify(const std::function<void(qint64 rows)>& progress = nullptr) const;
    // Every row, with a header; an empty string when written, else why not.
    QString ExportCsv(const QString& path) const;

    static QByteArray HashOf(const Row& row);
    // The bytes a row's hash is taken over, by the row's own encoding.
    static QByteArray HashedBytes(const Row& row);
    // What a row waiting for a lab's server is signed over when it is
    // handed over: everything but its place in the chain (its number and
    // the hash before it), which only the server gives it.
    static QByteArray UnplacedBytes(const Row& row);
    // The row's signature holds over its hashed bytes, or over its unplaced
    // ones.
    static bool SignatureHolds(const Row& row);
    // The console's own key for the store at location, made when there is
    // none yet; null, with why, when it cannot be read.
    static std::unique_ptr<SigningKey> ConsoleKey(const QString& location, QString* pWhy);

signals:
    void StateChanged();

private:
    bool OpenConnection(const QString& path, bool create);
    QString Connect(bool create);
    bool Fail(const QString& why);
    void Close();
    QString AnchorKey() const;
    // The anchor file, else what an earlier console kept in its settings.
    bool ReadAnchor(Anchor* pAnchor, QString* pWhy) const;
    void WriteAnchor(const Row& row);
    // The loss the anchor shows against the rows now in the store.
    QString LossNow() const;
    qint64 AppendRow(Row row, const SigningKey* pSigner = nullptr, const QString& rowId = QString(),
                     const QByteArray& signature = QByteArray());
    void LoadConsoleKey();
    bool Hold(const Row& row);
    QString Columns() const;
    QString Where() const; // the store, as a message names it
    // Why the write transaction could not be opened, else empty.
    QString BeginWrite(QSqlQuery& query);
    // For writing, or only for reading, which gets less time to connect.
    QString ConnectServer(bool create);
    // Prepares and runs a reading statement with the values given; a lab
    // server's broken connection is made again, once. False when it failed.
    bool Read(QSqlQuery& query, const QString& statement, const QVariantList& values = QVariantList()) const;
    static constexpr int kReconnectMs = 10000;
    bool Summarise(const Row& row);
    QString CatchUpSummary();
    // Replaces the anchor with the newest row committed, under the write lock.
    void AnchorCommitted(const Row& newest);

    QString m_sConnection;
    QString m_sPath;
    QString m_sError;
    QString m_sLoss;
    bool m_bOpen;
    bool m_bServer = false; // a lab's server, not a file
    bool m_bEncodingColumn; // stores written before encoding 2 have none until opened for writing
    bool m_bSignatureColumn = false; // nor before signatures
    std::unique_ptr<SigningKey> m_pConsoleKey; // only while open for writing
    bool m_bLogs; // a console's store tells the log why it fails
    bool m_bBatch = false;
    Row m_newest; // the newest row of the open batch
    mutable QElapsedTimer m_reconnected; // the last try at a fresh connection for reading
};

#endif
