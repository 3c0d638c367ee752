#ifndef DOSEGATE_RECORDSTORE_H
#define DOSEGATE_RECORDSTORE_H

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

class CalibrationSummary;

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
    static QString TimeText(qint64 ms);
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

    // Appends one row in a transaction of its own, stamped with the time
    // given (ms since the epoch; now when negative); its number, or 0 when it
    // could not be written (Error() says why).
    qint64 Append(const QString& kind, int node, const QJsonObject& content, qint64 timeMs = -1);

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
    bool Summarise(const Row& row);
    QString CatchUpSummary();

    QString m_sConnection;
    QString m_sPath;
    QString m_sError;
    bool m_bOpen;
    bool m_bLogs; // a console's store tells the log why it fails
    bool m_bBatch = false;
    Row m_newest; // the newest row of the open batch
};

#endif
