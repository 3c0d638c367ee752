#ifndef DOSEGATE_KEYRING_H
#define DOSEGATE_KEYRING_H

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVector>

// The public keys a laboratory trusts, as its quality manager hands them
// out: a JSON file of keys, each with its holder's name and function, the
// dates it is valid between, whether its holder may approve, and the
// moment from which it is revoked. Anything malformed is refused whole.
class Keyring
{
public:
    struct Key
    {
        QString name;
        QString function;
        QByteArray publicKey; // raw bytes
        bool approves = false;
        QDate from;
        QDate until;
        QDateTime revoked; // invalid: never
    };

    enum Trust { Trusted, Unknown, NotYetValid, Expired, Revoked };

    // keyring.json in the console's data folder: the one last trusted.
    static QString DefaultPath();
    // keyring.json beside a store: where it is, the laboratory approves
    // calibrations before their certificates are issued.
    static QString BesideStore(const QString& store);

    // Empty when read, else why not.
    QString Load(const QString& path);
    QString Parse(const QByteArray& text);
    QByteArray Text() const;
    // A key trusted from now on; one of the same public key is replaced.
    void Add(const Key& key);
    bool IsEmpty() const { return m_keys.isEmpty(); }
    const QVector<Key>& Keys() const { return m_keys; }

    // Whether a signature made at `when` by this key is to be trusted.
    Trust Judge(const QByteArray& publicKey, const QDateTime& when) const;
    const Key* Find(const QByteArray& publicKey) const;

private:
    QVector<Key> m_keys;
};

#endif
