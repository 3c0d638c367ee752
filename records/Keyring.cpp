#include "Keyring.h"

#include "RecordStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

namespace {

constexpr qint64 kLargestFile = 4 * 1024 * 1024;
constexpr int kPublicBytes = 32;

} // namespace

QString Keyring::DefaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("keyring.json"));
}

QString Keyring::BesideStore(const QString& store)
{
    return QFileInfo(RecordStore::LocalPath(store)).absoluteDir().filePath(QStringLiteral("keyring.json"));
}

QString Keyring::Load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
    if (file.size() > kLargestFile)
        return QStringLiteral("%1 is too large for a keyring").arg(QDir::toNativeSeparators(path));
    const QString why = Parse(file.readAll());
    return why.isEmpty() ? why : QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
}

QString Keyring::Parse(const QByteArray& text)
{
    m_keys.clear();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (!document.isObject() || !document.object().value(QStringLiteral("keys")).isArray())
        return QStringLiteral("not a keyring (a JSON object with a list of keys)");
    QVector<Key> keys;
    const QJsonArray list = document.object().value(QStringLiteral("keys")).toArray();
    for (int i = 0; i < list.size(); ++i) {
        const QJsonObject entry = list.at(i).toObject();
        Key key;
        key.name = entry.value(QStringLiteral("name")).toString().trimmed();
        key.function = entry.value(QStringLiteral("function")).toString().trimmed();
        const QByteArray hex = entry.value(QStringLiteral("public")).toString().toLatin1();
        key.publicKey = QByteArray::fromHex(hex);
        key.approves = entry.value(QStringLiteral("approves")).toBool();
        const auto date = [&entry](const char* name) {
            return QDate::fromString(entry.value(QLatin1String(name)).toString(), Qt::ISODate);
        };
        key.from = date("from");
        key.until = date("until");
        const QString revoked = entry.value(QStringLiteral("revoked")).toString();
        key.revoked = QDateTime::fromString(revoked, Qt::ISODate);
        if (key.revoked.isValid() && key.revoked.timeSpec() == Qt::LocalTime && !revoked.contains(QLatin1Char('T')))
            key.revoked = QDateTime(QDate::fromString(revoked, Qt::ISODate), QTime(0, 0));
        if (key.name.isEmpty() || hex.size() != 2 * kPublicBytes || key.publicKey.size() != kPublicBytes)
            return QStringLiteral("key %1 has no name or no public key of 64 hex digits").arg(i + 1);
        if (!key.from.isValid() || !key.until.isValid() || key.until < key.from)
            return QStringLiteral("key %1 of %2 needs valid dates from and until").arg(i + 1).arg(key.name);
        if (!revoked.isEmpty() && !key.revoked.isValid())
            return QStringLiteral("key %1 of %2 has a revocation that is no date").arg(i + 1).arg(key.name);
        keys.append(key);
    }
    m_keys = keys;
    return QString();
}

QByteArray Keyring::Text() const
{
    QJsonArray list;
    for (const Key& key : m_keys) {
        QJsonObject entry { { QStringLiteral("name"), key.name },
                            { QStringLiteral("function"), key.function },
                            { QStringLiteral("public"), QString::fromLatin1(key.publicKey.toHex()) },
                            { QStringLiteral("approves"), key.approves },
                            { QStringLiteral("from"), key.from.toString(Qt::ISODate) },
                            { QStringLiteral("until"), key.until.toString(Qt::ISODate) } };
        if (key.revoked.isValid())
            entry.insert(QStringLiteral("revoked"), key.revoked.toString(Qt::ISODate));
        list.append(entry);
    }
    return QJsonDocument(QJsonObject { { QStringLiteral("keys"), list } }).toJson();
}

void Keyring::Add(const Key& key)
{
    for (Key& kept : m_keys) {
        if (kept.publicKey == key.publicKey) {
            kept = key;
            return;
        }
    }
    m_keys.append(key);
}

const Keyring::Key* Keyring::Find(const QByteArray& publicKey) const
{
    for (const Key& key : m_keys) {
        if (key.publicKey == publicKey)
            return &key;
    }
    return nullptr;
}

// Validity is judged by the day the row was signed, in the row's own time;
// a revocation from its moment on, so that what was signed before it holds.
Keyring::Trust Keyring::Judge(const QByteArray& publicKey, const QDateTime& when) const
{
    const Key* key = Find(publicKey);
    if (!key)
        return Unknown;
    if (key->revoked.isValid() && (!when.isValid() || when >= key->revoked))
        return Revoked;
    if (!when.isValid() || when.date() < key->from)
        return NotYetValid;
    if (when.date() > key->until)
        return Expired;
    return Trusted;
}
