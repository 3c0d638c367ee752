#include "CertificateWriter.h"

#include "CertificateDocument.h"
#include "RecordStore.h"

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
    Outcome outcome;
    if (!m_pStore->IsOpen()) {
        outcome.error = tr("the record store is not open: %1").arg(m_pStore->Error());
        return outcome;
    }
    const RecordStore::Check check = m_pStore->Verify();
    if (!check.Intact()) {
        outcome.error = tr("the records do not verify: %1").arg(check.reason);
        return outcome;
    }
    const RecordStore::Row row = m_pStore->RowAt(record);
    if (row.kind != QLatin1String("calibration")) {
        outcome.error = tr("record %1 is no calibration").arg(record);
        return outcome;
    }
    const CertificateDocument document(row);
    const QString folder = Folder();
    if (!QDir().mkpath(folder)) {
        outcome.error = tr("cannot create the folder %1").arg(QDir::toNativeSeparators(folder));
        return outcome;
    }
    const QString path = QDir(folder).filePath(document.Number() + QStringLiteral(".pdf"));
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
