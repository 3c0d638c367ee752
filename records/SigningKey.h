#ifndef DOSEGATE_SIGNINGKEY_H
#define DOSEGATE_SIGNINGKEY_H

#include <QByteArray>
#include <QDateTime>
#include <QString>

// An Ed25519 key of one person, or of the console itself, kept in a file
// only its owner may read. A person's private key is sealed with a key
// derived from the passphrase (Argon2 through crypto_pwhash), so the file
// alone signs nothing; the console's own key is kept open, since the
// console signs its events with nobody there to type a passphrase.
class SigningKey
{
public:
    static constexpr int kPublicBytes = 32;
    static constexpr int kSignatureBytes = 64;

    // keys/ in the console's data folder.
    static QString Folder();
    // Tests derive the sealing key with the least work libsodium allows;
    // the limits are kept in each key's file, so a key opens with the
    // limits it was made with.
    static void SetLeastWorkForTests(bool least);

    // Writes a new key to path, which must not exist; empty when done,
    // else why not.
    static QString Create(const QString& path, const QString& name, const QString& function,
                          const QString& passphrase);
    static QString CreateOpen(const QString& path, const QString& name);

    // Reads the key's file, refusing one that others may read; the private
    // key stays sealed until Unlock. Empty when read, else why not.
    QString Load(const QString& path);
    // Empty when the passphrase opens the key, else why not.
    QString Unlock(const QString& passphrase);
    bool CanSign() const { return m_secret.size() == kSecretBytes; }

    QString Name() const { return m_sName; }
    QString Function() const { return m_sFunction; }
    QDateTime Created() const { return m_created; }
    QByteArray PublicKey() const { return m_public; } // raw bytes
    QString Fingerprint() const { return FingerprintOf(m_public); }

    // "PUBLIC:SIGNATURE" in hex, or empty when the key cannot sign.
    QByteArray Sign(const QByteArray& bytes) const;

    static QString FingerprintOf(const QByteArray& publicKey);
    // A signature as Sign makes it, taken apart; false for anything else.
    static bool Split(const QByteArray& signature, QByteArray* pPublicKey, QByteArray* pSignature);
    static bool Holds(const QByteArray& signature, const QByteArray& bytes);

private:
    static constexpr int kSecretBytes = 64;

    QString m_sName;
    QString m_sFunction;
    QDateTime m_created;
    QByteArray m_public;
    QByteArray m_secret; // open only once unlocked
    QByteArray m_sealed;
    QByteArray m_salt;
    QByteArray m_nonce;
    quint64 m_nOps = 0;
    quint64 m_nMemory = 0;
};

#endif
