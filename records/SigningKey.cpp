#include "SigningKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <sodium.h>

#include <atomic>

namespace {

std::atomic<bool> s_bLeastWork { false };

// A key's file is small; anything larger is not one.
constexpr qint64 kLargestFile = 64 * 1024;
// What a file may ask of crypto_pwhash, so that a crafted one cannot make
// the console allocate without bound.
constexpr quint64 kMostOps = 64;
constexpr quint64 kMostMemory = quint64(1) << 30;

bool Ready()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

const unsigned char* Bytes(const QByteArray& bytes)
{
    return reinterpret_cast<const unsigned char*>(bytes.constData());
}

unsigned char* Bytes(QByteArray& bytes)
{
    return reinterpret_cast<unsigned char*>(bytes.data());
}

QByteArray Hex(const QJsonObject& object, const char* key, int size)
{
    const QByteArray bytes = QByteArray::fromHex(object.value(QLatin1String(key)).toString().toLatin1());
    return bytes.size() == size ? bytes : QByteArray();
}

// Created new, never over a file that exists, and closed to others before
// a byte is in it.
QString WriteNew(const QString& path, const QJsonObject& key)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("cannot create the folder of %1").arg(QDir::toNativeSeparators(path));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QStringLiteral("cannot create %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
    const QByteArray text = QJsonDocument(key).toJson();
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) || file.write(text) != text.size()
        || !file.flush()) {
        const QString why = file.errorString();
        file.remove();
        return QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), why);
    }
    return QString();
}

QJsonObject Identity(const QString& name, const QString& function, const QByteArray& publicKey)
{
    return { { QStringLiteral("format"), 1 },
             { QStringLiteral("name"), name },
             { QStringLiteral("function"), function },
             { QStringLiteral("created"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate) },
             { QStringLiteral("public"), QString::fromLatin1(publicKey.toHex()) } };
}

} // namespace

QString SigningKey::Folder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("keys"));
}

void SigningKey::SetLeastWorkForTests(bool least)
{
    s_bLeastWork = least;
}

QString SigningKey::Create(const QString& path, const QString& name, const QString& function,
                           const QString& passphrase)
{
    if (!Ready())
        return QStringLiteral("libsodium cannot be initialised");
    if (name.trimmed().isEmpty() || passphrase.isEmpty())
        return QStringLiteral("a key needs a name and a passphrase");
    QByteArray publicKey(crypto_sign_PUBLICKEYBYTES, '\0');
    QByteArray secret(crypto_sign_SECRETKEYBYTES, '\0');
    crypto_sign_keypair(Bytes(publicKey), Bytes(secret));
    const quint64 ops = s_bLeastWork ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE;
    const quint64 memory = s_bLeastWork ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE;
    QByteArray salt(crypto_pwhash_SALTBYTES, '\0');
    QByteArray nonce(crypto_secretbox_NONCEBYTES, '\0');
    randombytes_buf(salt.data(), std::size_t(salt.size()));
    randombytes_buf(nonce.data(), std::size_t(nonce.size()));
    const QByteArray pass = passphrase.toUtf8();
    unsigned char sealing[crypto_secretbox_KEYBYTES];
    if (crypto_pwhash(sealing, sizeof sealing, pass.constData(), quint64(pass.size()), Bytes(salt), ops,
                      std::size_t(memory), crypto_pwhash_ALG_ARGON2ID13) != 0)
        return QStringLiteral("not enough memory to seal the key");
    QByteArray sealed(crypto_secretbox_MACBYTES + secret.size(), '\0');
    crypto_secretbox_easy(Bytes(sealed), Bytes(secret), quint64(secret.size()), Bytes(nonce), sealing);
    sodium_memzero(sealing, sizeof sealing);
    sodium_memzero(secret.data(), std::size_t(secret.size()));
    QJsonObject key = Identity(name.trimmed(), function.trimmed(), publicKey);
    key.insert(QStringLiteral("sealed"), QString::fromLatin1(sealed.toHex()));
    key.insert(QStringLiteral("salt"), QString::fromLatin1(salt.toHex()));
    key.insert(QStringLiteral("nonce"), QString::fromLatin1(nonce.toHex()));
    key.insert(QStringLiteral("ops"), double(ops));
    key.insert(QStringLiteral("memory"), double(memory));
    return WriteNew(path, key);
}

QString SigningKey::CreateOpen(const QString& path, const QString& name)
{
    if (!Ready())
        return QStringLiteral("libsodium cannot be initialised");
    QByteArray publicKey(crypto_sign_PUBLICKEYBYTES, '\0');
    QByteArray secret(crypto_sign_SECRETKEYBYTES, '\0');
    crypto_sign_keypair(Bytes(publicKey), Bytes(secret));
    QJsonObject key = Identity(name, QStringLiteral("console"), publicKey);
    key.insert(QStringLiteral("secret"), QString::fromLatin1(secret.toHex()));
    return WriteNew(path, key);
}

QString SigningKey::Load(const QString& path)
{
    *this = SigningKey();
    const QString where = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(where, file.errorString());
#ifdef Q_OS_UNIX
    if (file.permissions()
        & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther))
        return QStringLiteral("%1 may be read or written by others than its owner; it is not used until only its "
                              "owner may (chmod 600)").arg(where);
#endif
    if (!Ready())
        return QStringLiteral("libsodium cannot be initialised");
    const QJsonObject key = QJsonDocument::fromJson(file.read(kLargestFile)).object();
    m_public = Hex(key, "public", kPublicBytes);
    m_sName = key.value(QStringLiteral("name")).toString();
    m_sFunction = key.value(QStringLiteral("function")).toString();
    m_created = QDateTime::fromString(key.value(QStringLiteral("created")).toString(), Qt::ISODate);
    m_secret = Hex(key, "secret", kSecretBytes);
    m_sealed = Hex(key, "sealed", crypto_secretbox_MACBYTES + kSecretBytes);
    m_salt = Hex(key, "salt", crypto_pwhash_SALTBYTES);
    m_nonce = Hex(key, "nonce", crypto_secretbox_NONCEBYTES);
    m_nOps = quint64(key.value(QStringLiteral("ops")).toDouble());
    m_nMemory = quint64(key.value(QStringLiteral("memory")).toDouble());
    const bool sealed = !m_sealed.isEmpty() && !m_salt.isEmpty() && !m_nonce.isEmpty()
        && m_nOps >= crypto_pwhash_OPSLIMIT_MIN && m_nOps <= kMostOps && m_nMemory >= crypto_pwhash_MEMLIMIT_MIN
        && m_nMemory <= kMostMemory;
    // An open key must be the one its public half names.
    QByteArray derived(kPublicBytes, '\0');
    const bool open = !m_secret.isEmpty() && crypto_sign_ed25519_sk_to_pk(Bytes(derived), Bytes(m_secret)) == 0
        && derived == m_public;
    if (m_public.isEmpty() || m_sName.isEmpty() || (!sealed && !open)) {
        *this = SigningKey();
        return QStringLiteral("%1 is not a signing key").arg(where);
    }
    return QString();
}

QString SigningKey::Unlock(const QString& passphrase)
{
    if (CanSign())
        return QString();
    if (m_sealed.isEmpty())
        return QStringLiteral("no key is loaded");
    const QByteArray pass = passphrase.toUtf8();
    unsigned char sealing[crypto_secretbox_KEYBYTES];
    if (crypto_pwhash(sealing, sizeof sealing, pass.constData(), quint64(pass.size()), Bytes(m_salt), m_nOps,
                      std::size_t(m_nMemory), crypto_pwhash_ALG_ARGON2ID13) != 0)
        return QStringLiteral("not enough memory to open the key");
    QByteArray secret(kSecretBytes, '\0');
    const bool opened = crypto_secretbox_open_easy(Bytes(secret), Bytes(m_sealed), quint64(m_sealed.size()),
                                                   Bytes(m_nonce), sealing) == 0;
    sodium_memzero(sealing, sizeof sealing);
    QByteArray derived(kPublicBytes, '\0');
    if (!opened || crypto_sign_ed25519_sk_to_pk(Bytes(derived), Bytes(secret)) != 0 || derived != m_public)
        return QStringLiteral("the passphrase does not open the key of %1").arg(m_sName);
    m_secret = secret;
    return QString();
}

QByteArray SigningKey::Sign(const QByteArray& bytes) const
{
    if (!CanSign())
        return QByteArray();
    QByteArray signature(kSignatureBytes, '\0');
    crypto_sign_detached(Bytes(signature), nullptr, Bytes(bytes), quint64(bytes.size()), Bytes(m_secret));
    return m_public.toHex() + ':' + signature.toHex();
}

QString SigningKey::FingerprintOf(const QByteArray& publicKey)
{
    Ready();
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, Bytes(publicKey), quint64(publicKey.size()));
    const QByteArray hex = QByteArray(reinterpret_cast<const char*>(digest), 10).toHex();
    QString grouped;
    for (int i = 0; i < hex.size(); i += 4)
        grouped += (i ? QStringLiteral(" ") : QString()) + QString::fromLatin1(hex.mid(i, 4));
    return grouped;
}

bool SigningKey::Split(const QByteArray& signature, QByteArray* pPublicKey, QByteArray* pSignature)
{
    const QList<QByteArray> parts = signature.split(':');
    if (parts.size() != 2 || parts[0].size() != 2 * kPublicBytes || parts[1].size() != 2 * kSignatureBytes)
        return false;
    for (const QByteArray& part : parts) {
        for (char c : part) {
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
                return false;
        }
    }
    *pPublicKey = QByteArray::fromHex(parts[0]);
    *pSignature = QByteArray::fromHex(parts[1]);
    return true;
}

bool SigningKey::Holds(const QByteArray& signature, const QByteArray& bytes)
{
    QByteArray publicKey;
    QByteArray raw;
    return Ready() && Split(signature, &publicKey, &raw)
        && crypto_sign_verify_detached(Bytes(raw), Bytes(bytes), quint64(bytes.size()), Bytes(publicKey)) == 0;
}
