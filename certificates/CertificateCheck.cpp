#include "CertificateCheck.h"

#include "CalibrationApproval.h"
#include "CalibrationSummary.h"
#include "CertificateDocument.h"
#include "CertificateWriter.h"
#include "Keyring.h"
#include "RecordStore.h"
#include "SigningKey.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>

namespace {

// Far more than the pages of a certificate inflate to; a stream that
// claims more is no page of this console's.
constexpr int kLargestStream = 64 * 1024 * 1024;

QByteArray Inflated(const QByteArray& stream)
{
    if (!stream.startsWith("x\x9c"))
        return stream;
    char size[4];
    qToBigEndian<quint32>(quint32(qMin<qint64>(qint64(stream.size()) * 8, kLargestStream)), size);
    const QByteArray inflated = qUncompress(QByteArray(size, sizeof size) + stream);
    return inflated.isEmpty() ? stream : inflated;
}

// What a PDF shows, as far as the same record must give the same: the
// glyphs each page shows, in their order, and the fonts and images they
// come from, in any order. Where on the page a line falls, and which
// number a font got, depend on the fonts of the machine and the order a
// process met them in; what is written does not. The metadata that
// carries the record is left out: it is checked by itself.
struct Shown
{
    QList<QByteArray> pages;
    QList<QByteArray> resources;
    bool operator!=(const Shown& other) const { return pages != other.pages || resources != other.resources; }
};

Shown ShownIn(const QByteArray& pdf)
{
    static const QRegularExpression glyphs(QStringLiteral("<([0-9A-Fa-f]*)> Tj"));
    Shown shown;
    for (int at = pdf.indexOf("stream\n"); at >= 0; at = pdf.indexOf("stream\n", at)) {
        if (at >= 3 && pdf.mid(at - 3, 3) == "end") { // "endstream\n" is no start
            at += 7;
            continue;
        }
        const int start = at + 7;
        const int end = pdf.indexOf("endstream", start);
        if (end < 0)
            break;
        at = end + 9;
        const QByteArray stream = pdf.mid(start, end - start);
        const QByteArray inflated = Inflated(stream);
        if (inflated.contains("<x:xmpmeta"))
            continue;
        if (!inflated.contains(" Tf ")) {
            shown.resources.append(stream);
            continue;
        }
        QByteArray page;
        auto match = glyphs.globalMatch(QString::fromLatin1(inflated));
        while (match.hasNext())
            page += match.next().captured(1).toLatin1() + ' ';
        shown.pages.append(page);
    }
    std::sort(shown.resources.begin(), shown.resources.end());
    return shown;
}

QString Who(const CalibrationApproval::Person& person)
{
    return QStringLiteral("%1 (%2, %3)").arg(person.name, person.function, person.fingerprint);
}

// Whether the row's signature holds and its key was trusted when it was
// signed; why not, else empty.
QString SignedByTrusted(const RecordStore::Row& row, const Keyring& keyring, const char* what, QByteArray* pSigner)
{
    QByteArray signature;
    if (row.signature.isEmpty())
        return QStringLiteral("the %1 is not signed").arg(QLatin1String(what));
    if (!RecordStore::SignatureHolds(row)
        || !SigningKey::Split(row.signature, pSigner, &signature))
        return QStringLiteral("the %1's signature does not hold").arg(QLatin1String(what));
    const Keyring::Trust trust = keyring.Judge(*pSigner, QDateTime::fromString(row.time, Qt::ISODateWithMs));
    if (trust != Keyring::Trusted)
        return QStringLiteral("the %1 is signed by a key the keyring does not trust (%2)")
            .arg(QLatin1String(what), SigningKey::FingerprintOf(*pSigner));
    return QString();
}

} // namespace

bool CertificateCheck::Refuse(const QString& why)
{
    passed = false;
    reason = why;
    return false;
}

CertificateCheck CertificateCheck::Of(const QByteArray& pdf, const Keyring& keyring, const RecordStore* pStore)
{
    CertificateCheck check;
    int issue = 1;
    QDate reissued;
    const QVector<RecordStore::Row> rows = CertificateWriter::EmbeddedIn(pdf, &issue, &reissued);
    if (rows.size() != 2) {
        check.Refuse(QStringLiteral("the certificate carries no approved, signed record"));
        return check;
    }
    const RecordStore::Row& calibration = rows[0];
    const RecordStore::Row& approval = rows[1];
    if (calibration.kind != QLatin1String("calibration") || RecordStore::HashOf(calibration) != calibration.hash
        || RecordStore::HashOf(approval) != approval.hash) {
        check.Refuse(QStringLiteral("the record the certificate carries was changed: it does not match its hash"));
        return check;
    }
    QByteArray performerKey;
    QByteArray approverKey;
    QString why = SignedByTrusted(calibration, keyring, "calibration", &performerKey);
    if (why.isEmpty())
        why = SignedByTrusted(approval, keyring, "approval", &approverKey);
    if (!why.isEmpty()) {
        check.Refuse(why);
        return check;
    }
    const CalibrationApproval::Person performer = CalibrationApproval::PerformerOf(calibration);
    const QJsonObject decided = approval.Content();
    if (performer.fingerprint.isEmpty() || approverKey == performerKey || !keyring.Find(approverKey)->approves
        || approval.kind != QLatin1String(CalibrationApproval::kKind)
        || decided[QStringLiteral("calibration")].toVariant().toLongLong() != calibration.seq
        || decided[QStringLiteral("hash")].toString().toLatin1() != calibration.hash
        || decided[QStringLiteral("decision")].toString() != QLatin1String("approved")) {
        check.Refuse(QStringLiteral("the record is not approved by a second person the keyring lets approve"));
        return check;
    }
    CertificateDocument::Signoff signoff;
    signoff.required = true;
    signoff.performer = performer;
    signoff.decision.seq = approval.seq;
    signoff.decision.approved = true;
    signoff.decision.approver.name = decided[QStringLiteral("name")].toString();
    signoff.decision.approver.function = decided[QStringLiteral("function")].toString();
    signoff.decision.approver.time = approval.time;
    signoff.decision.approver.fingerprint = SigningKey::FingerprintOf(approverKey);
    const CertificateDocument document(calibration, signoff, issue, reissued);
    QBuffer again;
    again.open(QIODevice::WriteOnly);
    if (!CertificateWriter::Render(document, CertificateWriter::Embedded(rows, issue, reissued), &again)
        || ShownIn(again.data()) != ShownIn(pdf)) {
        check.Refuse(QStringLiteral("the printed pages are not the ones the signed record gives: they were changed"));
        return check;
    }
    check.number = document.Number();
    check.performer = Who(performer);
    check.approver = Who(signoff.decision.approver);
    if (pStore && pStore->IsOpen()) {
        const RecordStore::Row stored = pStore->RowAt(calibration.seq);
        if (stored.hash != calibration.hash) {
            check.Refuse(QStringLiteral("record %1 in the store is not the certificate's").arg(calibration.seq));
            return check;
        }
        const RecordStore::Check chain = pStore->Verify();
        if (!chain.Intact()) {
            check.Refuse(QStringLiteral("the store's chain does not verify: %1").arg(chain.reason));
            return check;
        }
        check.inStore = true;
    }
    check.passed = true;
    return check;
}
