#include "SignatureAudit.h"

#include "Keyring.h"
#include "RecordStore.h"
#include "SigningKey.h"

namespace {

QString TrustText(Keyring::Trust trust)
{
    switch (trust) {
    case Keyring::Unknown:
        return QStringLiteral("a key the keyring does not hold");
    case Keyring::NotYetValid:
        return QStringLiteral("a key not yet valid then");
    case Keyring::Expired:
        return QStringLiteral("a key no longer valid then");
    case Keyring::Revoked:
        return QStringLiteral("a key revoked by then");
    case Keyring::Trusted:
        break;
    }
    return QString();
}

} // namespace

SignatureAudit SignatureAudit::Of(const RecordStore& store, const Keyring& keyring)
{
    SignatureAudit audit;
    audit.read = store.Scan([&](const RecordStore::Row& row) {
        if (row.signature.isEmpty()) {
            if (audit.unsigned_++ == 0)
                audit.firstUnsigned = QStringLiteral("row %1 is not signed").arg(row.seq);
            return true;
        }
        if (!RecordStore::SignatureHolds(row)) {
            if (audit.bad++ == 0)
                audit.firstBad = QStringLiteral("row %1's signature does not hold over the row").arg(row.seq);
            return true;
        }
        QByteArray publicKey;
        QByteArray signature;
        SigningKey::Split(row.signature, &publicKey, &signature);
        const Keyring::Trust trust = keyring.Judge(publicKey, QDateTime::fromString(row.time, Qt::ISODateWithMs));
        if (trust == Keyring::Trusted) {
            ++audit.trusted;
            return true;
        }
        if (audit.untrusted++ == 0)
            audit.firstUntrusted = QStringLiteral("row %1 is signed by %2 (%3)")
                                       .arg(row.seq)
                                       .arg(TrustText(trust), SigningKey::FingerprintOf(publicKey));
        return true;
    });
    return audit;
}
