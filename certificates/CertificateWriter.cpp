#include "CertificateWriter.h"

#include "CalibrationSummary.h"
#include "CertificateDocument.h"
#include "Keyring.h"
#include "RecordStore.h"
#include "RecordVerifier.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

const QMarginsF kMarginsMm(18, 10, 18, 10);
// The record travels in the PDF's XMP metadata, which every PDF reader
// keeps and nothing renders.
const QByteArray kRecordOpen = "<dosegate:record>";
const QByteArray kRecordClose = "</dosegate:record>";
constexpr int kMostEmbeddedRows = 2;

} // namespace

CertificateWriter::CertificateWriter(RecordStore* pStore, QObject* parent)
    : QObject(parent)
    , m_pStore(pStore)
{
}

// Named before the store is open too: beside the store this run will open,
// not in whatever folder the console was started from.
QString CertificateWriter::Folder() const
{
    const QString store = m_pStore->Path().isEmpty() ? RecordStore::Location() : m_pStore->Path();
    return QFileInfo(RecordStore::LocalPath(store)).absoluteDir().filePath(QStringLiteral("certificates"));
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
    CertificateDocument::Signoff signoff;
    signoff.required = QFileInfo::exists(Keyring::BesideStore(m_pStore->Path()));
    if (signoff.required) {
        signoff.performer = CalibrationApproval::PerformerOf(row);
        signoff.decision = CalibrationApproval::Of(*m_pStore, row);
    }
    const CertificateDocument document(row, signoff, issue, today);
    outcome.draft = signoff.Draft();
    const QString folder = Folder();
    if (!QDir().mkpath(folder)) {
        outcome.error = tr("cannot create the folder %1").arg(QDir::toNativeSeparators(folder));
        return outcome;
    }
    const QString path = QDir(folder).filePath(
        (outcome.draft ? QStringLiteral("draft-record-%1").arg(row.seq) : document.Number())
        + (issue > 1 ? QStringLiteral("-%1").arg(issue) : QString()) + QStringLiteral(".pdf"));
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
    const QByteArray xmp = signoff.required && !outcome.draft
        ? Embedded({ row, m_pStore->RowAt(signoff.decision.seq) }, issue, today)
        : QByteArray();
    if (!Render(document, xmp, &file)) {
        file.cancelWriting();
        outcome.error = tr("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return outcome;
    }
    if (!file.commit()) {
        outcome.error = tr("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return outcome;
    }
    outcome.path = path;
    return outcome;
}

bool CertificateWriter::Render(const CertificateDocument& document, const QByteArray& xmp, QIODevice* device)
{
    QPdfWriter writer(device);
    writer.setTitle(document.Number().isEmpty()
                        ? QString::fromUtf8(CertificateDocument::kDraft)
                        : QStringLiteral("Calibration certificate %1").arg(document.Number()));
    writer.setCreator(QStringLiteral("dosegate-console"));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, kMarginsMm,
                                     QPageLayout::Millimeter));
    if (!xmp.isEmpty())
        writer.setDocumentXmpMetadata(xmp);
    return document.Print(&writer);
}

QByteArray CertificateWriter::Embedded(const QVector<RecordStore::Row>& rows, int issue, const QDate& reissued)
{
    QJsonArray list;
    for (const RecordStore::Row& row : rows) {
        list.append(QJsonObject { { QStringLiteral("seq"), row.seq },
                                  { QStringLiteral("time"), row.time },
                                  { QStringLiteral("kind"), row.kind },
                                  { QStringLiteral("node"), row.node },
                                  { QStringLiteral("content"), QString::fromUtf8(row.content) },
                                  { QStringLiteral("previousHash"), QString::fromLatin1(row.previousHash) },
                                  { QStringLiteral("hash"), QString::fromLatin1(row.hash) },
                                  { QStringLiteral("encoding"), row.encoding },
                                  { QStringLiteral("signature"), QString::fromLatin1(row.signature) } });
    }
    const QByteArray record = QJsonDocument(QJsonObject { { QStringLiteral("rows"), list },
                                                          { QStringLiteral("issue"), issue },
                                                          { QStringLiteral("reissued"),
                                                            reissued.toString(Qt::ISODate) } })
                                  .toJson(QJsonDocument::Compact)
                                  .toBase64();
    return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
           "<rdf:Description rdf:about=\"\" xmlns:dosegate=\"urn:dosegate:certificate-record:1\">"
        + kRecordOpen + record + kRecordClose
        + "</rdf:Description></rdf:RDF></x:xmpmeta>\n<?xpacket end=\"r\"?>";
}

// Whatever the file holds, at most a few rows come back, each only as
// whole as its fields are.
QVector<RecordStore::Row> CertificateWriter::EmbeddedIn(const QByteArray& pdf, int* pIssue, QDate* pReissued)
{
    QVector<RecordStore::Row> rows;
    const int start = pdf.indexOf(kRecordOpen);
    const int end = start < 0 ? -1 : pdf.indexOf(kRecordClose, start);
    if (end < 0)
        return rows;
    const int from = start + kRecordOpen.size();
    const QJsonObject embedded = QJsonDocument::fromJson(QByteArray::fromBase64(pdf.mid(from, end - from))).object();
    const QJsonArray list = embedded.value(QStringLiteral("rows")).toArray();
    if (pIssue)
        *pIssue = embedded.value(QStringLiteral("issue")).toInt();
    if (pReissued)
        *pReissued = QDate::fromString(embedded.value(QStringLiteral("reissued")).toString(), Qt::ISODate);
    for (const QJsonValue& value : list) {
        const QJsonObject object = value.toObject();
        RecordStore::Row row;
        row.seq = object.value(QStringLiteral("seq")).toVariant().toLongLong();
        row.time = object.value(QStringLiteral("time")).toString();
        row.kind = object.value(QStringLiteral("kind")).toString();
        row.node = object.value(QStringLiteral("node")).toInt();
        row.content = object.value(QStringLiteral("content")).toString().toUtf8();
        row.previousHash = object.value(QStringLiteral("previousHash")).toString().toLatin1();
        row.hash = object.value(QStringLiteral("hash")).toString().toLatin1();
        row.encoding = object.value(QStringLiteral("encoding")).toInt();
        row.signature = object.value(QStringLiteral("signature")).toString().toLatin1();
        rows.append(row);
        if (rows.size() == kMostEmbeddedRows)
            break;
    }
    return rows;
}
