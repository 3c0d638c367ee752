#ifndef DOSEGATE_CERTIFICATEDOCUMENT_H
#define DOSEGATE_CERTIFICATEDOCUMENT_H

#include "CalibrationApproval.h"
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
    // Where the laboratory approves before issue, who performed the
    // calibration and what was decided on it: undecided, it is a draft.
    struct Signoff
    {
        bool required = false;
        CalibrationApproval::Person performer;
        CalibrationApproval::Decision decision;
        bool Draft() const { return required && !(decision.Decided() && decision.approved); }
    };
    static constexpr const char* kDraft = "DRAFT — not approved";

    explicit CertificateDocument(const RecordStore::Row& row, int issue = 1, const QDate& reissued = QDate());
    CertificateDocument(const RecordStore::Row& row, const Signoff& signoff, int issue = 1,
                        const QDate& reissued = QDate());

    // Empty for a draft: a draft carries no certificate number.
    QString Number() const { return m_sNumber; }
    QString Html() const { return m_sHtml; }

    // Lays the document out on the device's pages, each with the
    // certificate's number and "page x of y"; false when the device could
    // not be painted on.
    bool Print(QPagedPaintDevice* device) const;

private:
    RecordStore::Row m_row;
    QString m_sNumber;
    bool m_bDraft = false;
    QString m_sHtml;
};

#endif
