#ifndef DOSEGATE_RECORDOUTBOX_H
#define DOSEGATE_RECORDOUTBOX_H

#include <QJsonObject>
#include <QString>
#include <QVector>

// Rows for a lab's server kept on the console's own disk while the server
// is away, in the order they were handed over, each synced before it counts
// as kept: a console killed in between sends them at its next start. Each
// carries the id the server takes once only, so a row sent before a crash
// is recognised rather than sent twice. Used by one thread.
class RecordOutbox
{
public:
    struct Row
    {
        qint64 id = 0; // the outbox's own order
        QString rowId;
        qint64 timeMs = 0;
        QString kind;
        int node = 0;
        QJsonObject content;
        // Names the row (by its id) whose number goes into the content under
        // the key, once the server has given it one.
        QString referenceKey;
        QString referenceRowId;
        // Made when handed over, over the row's unplaced bytes, by its
        // person or the console: it outlives the run that made it. Empty
        // for a row nobody could sign.
        QByteArray signature;
    };

    RecordOutbox();
    ~RecordOutbox();

    // Beside the console's own store: one outbox for each server.
    static QString PathFor(const QString& location);

    // Why it could not be opened, else empty.
    QString Open(const QString& path);
    bool IsOpen() const { return m_bOpen; }
    // In one transaction; false when none was kept.
    bool Put(const QVector<Row>& rows);
    // The oldest row; id 0 when there is none.
    Row Front() const;
    bool Remove(qint64 id);
    int Count() const { return m_nCount; }
    QString Error() const { return m_sError; }

private:
    QString m_sConnection;
    QString m_sError;
    bool m_bOpen = false;
    int m_nCount = 0;
};

#endif
