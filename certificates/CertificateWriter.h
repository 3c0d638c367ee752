#ifndef DOSEGATE_CERTIFICATEWRITER_H
#define DOSEGATE_CERTIFICATEWRITER_H

#include <QDate>
#include <QObject>
#include <QString>
#include <QVector>

#include "RecordStore.h"

class CertificateDocument;
class QIODevice;


// Issues calibration certificates as PDF files in a folder beside the record
// store, named by their numbers; the same record always gives the same
// certificate. Only from records whose chain verifies (the rows since the
// last check, and the record itself): a certificate must not vouch for a
// record that may have been changed.
class CertificateWriter : public QObject
{
    Q_OBJECT

public:
    struct Outcome
    {
        QString path; // the certificate written, empty when refused
        QString error; // why not
        bool draft = false; // awaiting approval: no number, and says so
        bool Written() const { return !path.isEmpty(); }
    };

    // The store is not owned.
    explicit CertificateWriter(RecordStore* pStore, QObject* parent = nullptr);

    // certificates/ in the store's folder.
    QString Folder() const;
    // The certificate of the record: the one issued, never written again,
    // or a first issue when there is none yet.
    Outcome Write(qint64 record) const;
    // A further issue beside the first, NUMBER-2.pdf and on, saying so on
    // its page; the issues before it stay as they are.
    Outcome IssueAgain(qint64 record, const QDate& today) const;

    // The signed rows a certificate was made from, as its PDF carries them:
    // the calibration, and the approval when there is one.
    // The issue and its date go along, so the pages can be made again.
    static QByteArray Embedded(const QVector<RecordStore::Row>& rows, int issue, const QDate& reissued);
    static QVector<RecordStore::Row> EmbeddedIn(const QByteArray& pdf, int* pIssue = nullptr,
                                                QDate* pReissued = nullptr);
    // The PDF of a document as this console lays it out; the same document
    // gives the same pages, byte for byte.
    static bool Render(const CertificateDocument& document, const QByteArray& xmp, QIODevice* device);

public slots:
    // A calibration just finished.
    void Issue(int node, qint64 record);

signals:
    void Issued(qint64 record, const QString& path);
    void Refused(qint64 record, const QString& reason);

private:
    Outcome Make(qint64 record, int issue, const QDate& today) const;

    RecordStore* m_pStore; // not owned
};

#endif
