#ifndef DOSEGATE_RECORDSTORE_H
#define DOSEGATE_RECORDSTORE_H

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVector>

// The laboratory's record: one SQLite file of rows that are only ever
// appended, each carrying the SHA-256 of its own content and of the row
// before it, so that a changed or removed row shows. Written with WAL and
// synchronous FULL: a row reported written survives a power cut. A store
// that cannot be opened or written says why and stays out of the way.
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

        QJsonObject Content() const;
    };

    struct Check
    {
        qint64 rows = 0;
        qint64 badRow = 0; // the first row that does not match, 0 when intact
        QString reason;
        bool Intact() const { return badRow == 0 && reason.isEmpty(); }
    };

    explicit RecordStore(QObject* parent = nullptr);
    ~RecordStore() override;

    // records.sqlite in the console's data folder.
    static QString DefaultPath();
    // Local time with milliseconds and its offset: unambiguous across a
    // change of daylight saving time.
    static QString Now();
    // Where the console keeps what belongs to its records between runs.
    static QString SettingsPath();

    // Creates the store when it does not exist yet.
    bool Open(const QString& path);
    // For checking and exporting: never creates or changes anything.
    bool OpenExisting(const QString& path);
    bool IsOpen() const { return m_bOpen; }
    QString Path() const { return m_sPath; }
    // Why the store is not available, or why the last write failed.
    QString Error() const { return m_sError; }

    // Appends one row in a transaction of its own; its number, or 0 when it
    // could not be written (Error() says why).
    qint64 Append(const QString& kind, int node, const QJsonObject& content);

    // Oldest first; only rows after the given one, when one is given.
    QVector<Row> Rows(const QString& kind = QString(), int node = -1, qint64 after = 0) const;
    Row RowAt(qint64 seq) const;
    qint64 Count() const;

    // The whole chain, from the first row to the newest one written here.
    Check Verify() const;
    // Every row, with a header; an empty string when written, else why not.
    QString ExportCsv(const QString& path) const;

    static QByteArray HashOf(const Row& row);

signals:
    void StateChanged();

private:
    bool OpenConnection(const QString& path, bool create);
    QString Connect(bool create);
    bool Fail(const QString& why);
    void Close();
    QString AnchorKey() const;

    QString m_sConnection;
    QString m_sPath;
    QString m_sError;
    bool m_bOpen;
    bool m_bLogs; // a console's store tells the log why it fails
};

#endif
