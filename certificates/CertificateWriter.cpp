#include "CertificateWriter.h"

#include "CalibrationSummary.h"
#include "CertificateDocument.h"
#include "RecordStore.h"
#include "RecordVerifier.h"

#include <QDir>
#include <QFileInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

const QMarginsF kMarginsMm(18, 10, 18, 10);

} // namespace

CertificateWriter::CertificateWriter(RecordStore* pStore, QObject* parent)
    : QObject(parent)
    , m_pStore(pStore)
{
}

QString CertificateWriter::Folder() const
{
    return QFileInfo(m_pStore->Path()).absoluteDir().filePath(QStringLiteral("certificates"));
}

void CertificateWriter::Issue(int /*node*/, qint64 record)
{
    const Outcome outcome = Write(record);
    if (outcome.Written())
        emit Issued(record, outcome.path);
    else
        emit Refused(record, outcome.error);
}

CertificateWriter::Outcome CertificateWriter::Write(qint64 record) const
{
    return Make(record, 1, QDate());
}

CertificateWriter::Outcome CertificateWriter::IssueAgain(qint64 record, const QDate& today) const
{
    int issue = 2;
    const QString number = CalibrationSummary::CertificateNumber(m_pStore->RowAt(record));
    while (QFileInfo::exists(QDir(Folder()).filePath(QStringLiteral("%1-%2.pdf").arg(number).arg(issue))))
        ++issue;
    return Make(record, issue, today);
}

// Whoever holds a certificate holds the file that was issued: one that
// exists is handed back as it is, never written over.
CertificateWriter::Outcome CertificateWriter::Make(qint64 record, int issue, const QDate& today) const
{
    Outcome outcome;
    if (!m_pStore->IsOpen()) {
        outcome.error = tr("the record store is not open: %1").arg(m_pStore->Error());
        return outcome;
    }
    // The rows since the last check, and the record itself with the link
    // to it from the next one, whatever its age.
    RecordStore::Check check = RecordVerifier::SinceMark(*m_pStore);
    const RecordStore::Row certified = m_pStore->RowAt(record);
    const RecordStore::Row next = m_pStore->RowAt(record + 1);
    if (check.Intact() && certified.seq == record
        && (RecordStore::HashOf(certified) != certified.hash || (next.seq > 0 && next.previousHash != certified.hash)))
        check = RecordVerifier::Full(*m_pStore);
    if (!check.Intact()) {
        outcome.error = tr("the records do not verify: %1").arg(check.reason);
        return outcome;
    }
    const RecordStore::Row& row = certified;
    if (row.kind != QLatin1String("calibration")) {
        outcome.error = tr("record %1 is no calibration").arg(record);
        return outcome;
    }
    const CertificateDocument document(row, issue, today);
    const QString folder = Folder();
    if (!QDir().mkpath(folder)) {
        outcome.error = tr("cannot create the folder %1").arg(QDir::toNativeSeparators(folder));
        return outcome;
    }
    const QString path = QDir(folder).filePath(
        document.Number() + (issue > 1 ? QStringLiteral("-%1").arg(issue) : QString()) + QStringLiteral(".pdf"));
    if (QFileInfo(path).isFile()) {
        outcome.path = path;
        return outcome;
    }
    // A certificate is whole or not there at all.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        outcome.error = tr("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return outcome;
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(QStringLiteral("Calibration certificate %1").arg(document.Number()));
        writer.setCreator(QStringLiteral("dosegate-console"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, kMarginsMm,
                                         QPageLayout::Millimeter));
        if (!document.Print(&writer)) {
            file.cancelWriting();
            outcome.error = tr("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
            return outcome;
        }
    }
    if (!file.commit()) {
        outcome.error = tr("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return outcome;
    }
    outcome.path = path;
    return outcome;
}
