#ifndef DOSEGATE_CERTIFICATEDOCUMENT_H
#define DOSEGATE_CERTIFICATEDOCUMENT_H

#include "RecordStore.h"

#include <QDate>
#include <QString>

class QPagedPaintDevice;

// The calibration certificate of one stored calibration record: what was
// calibrated, against what, how, with what result, and by whom. Made from
// the record alone, in fixed English and Chinese words, so that a
// certificate issued again, in whatever language the console runs, says
// exactly what the first one said.
class CertificateDocument
{
public:
    // Issue 1 is the certificate issued when the calibration was finished;
    // a later issue says on its page that it is one, and when it was made.
    explicit CertificateDocument(const RecordStore::Row& row, int issue = 1, const QDate& reissued = QDate());

    QString Number() const { return m_sNumber; }
    QString Html() const { return m_sHtml; }

    // Lays the document out on the device's pages, each with the
    // certificate's number and "page x of y"; false when the device could
    // not be painted on.
    bool Print(QPagedPaintDevice* device) const;

private:
    RecordStore::Row m_row;
    QString m_sNumber;
    QString m_sHtml;
};

#endif
