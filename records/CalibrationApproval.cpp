#include "CalibrationApproval.h"

#include "CalibrationRecord.h"
#include "Keyring.h"
#include "SigningKey.h"

namespace {

QByteArray SignerOf(const RecordStore::Row& row)
{
    QByteArray publicKey;
    QByteArray signature;
    return RecordStore::SignatureHolds(row)
            && SigningKey::Split(row.signature, &publicKey, &signature)
        ? publicKey
        : QByteArray();
}

} // namespace

CalibrationApproval::Person CalibrationApproval::PerformerOf(const RecordStore::Row& calibration)
{
    const CalibrationRecord::Person performer = CalibrationRecord::fromJson(calibration.Content()).performedBy;
    Person person;
    person.name = performer.name;
    person.function = performer.function;
    person.time = calibration.time;
    const QByteArray signer = SignerOf(calibration);
    // The record's word for who performed it counts only with their signature.
    if (!person.name.isEmpty() && !signer.isEmpty()
        && performer.key == QString::fromLatin1(signer.toHex()))
        person.fingerprint = SigningKey::FingerprintOf(signer);
    return person;
}

CalibrationApproval::Decision CalibrationApproval::Of(const RecordStore& store, const RecordStore::Row& calibration)
{
    Decision decision;
    const QByteArray performer = SignerOf(calibration);
    store.Scan([&](const RecordStore::Row& row) {
        const QJsonObject content = row.Content();
        const QByteArray signer = SignerOf(row);
        if (content[QStringLiteral("calibration")].toVariant().toLongLong() != calibration.seq
            || content[QStringLiteral("hash")].toString().toLatin1() != calibration.hash || signer.isEmpty()
            || signer == performer)
            return true;
        decision.seq = row.seq;
        decision.approved = content[QStringLiteral("decision")].toString() == QLatin1String("approved");
        decision.reason = content[QStringLiteral("reason")].toString();
        decision.approver.name = content[QStringLiteral("name")].toString();
        decision.approver.function = content[QStringLiteral("function")].toString();
        decision.approver.time = row.time;
        decision.approver.fingerprint = SigningKey::FingerprintOf(signer);
        return false;
    }, QLatin1String(kKind), calibration.node, calibration.seq);
    return decision;
}

QString CalibrationApproval::Refusal(const RecordStore& store, const RecordStore::Row& calibration,
                                     const SigningKey& reviewer, const Keyring& keyring, bool approve,
                                     const QString& reason)
{
    if (calibration.kind != QLatin1String("calibration"))
        return QStringLiteral("record %1 is no calibration").arg(calibration.seq);
    if (PerformerOf(calibration).fingerprint.isEmpty())
        return QStringLiteral("record %1 is not signed by whoever performed it").arg(calibration.seq);
    if (SignerOf(calibration) == reviewer.PublicKey())
        return QStringLiteral("%1 performed this calibration; a second person approves it").arg(reviewer.Name());
    if (!reviewer.CanSign())
        return QStringLiteral("the key of %1 is not unlocked").arg(reviewer.Name());
    if (keyring.Judge(reviewer.PublicKey(), QDateTime::currentDateTime()) != Keyring::Trusted)
        return QStringLiteral("the keyring does not trust the key of %1").arg(reviewer.Name());
    if (!keyring.Find(reviewer.PublicKey())->approves)
        return QStringLiteral("the keyring does not let %1 approve").arg(reviewer.Name());
    if (!approve && reason.trimmed().isEmpty())
        return QStringLiteral("a rejection needs its reason");
    const Decision decided = Of(store, calibration);
    if (decided.Decided())
        return QStringLiteral("record %1 was already %2 by %3")
            .arg(calibration.seq)
            .arg(decided.approved ? QStringLiteral("approved") : QStringLiteral("rejected"), decided.approver.name);
    return QString();
}

QJsonObject CalibrationApproval::Content(const RecordStore::Row& calibration, const SigningKey& reviewer,
                                         bool approve, const QString& reason)
{
    QJsonObject content { { QStringLiteral("calibration"), calibration.seq },
                          { QStringLiteral("hash"), QString::fromLatin1(calibration.hash) },
                          { QStringLiteral("decision"), approve ? QStringLiteral("approved")
                                                                : QStringLiteral("rejected") },
                          { QStringLiteral("name"), reviewer.Name() },
                          { QStringLiteral("function"), reviewer.Function() } };
    if (!approve)
        content.insert(QStringLiteral("reason"), reason.trimmed());
    return content;
}
