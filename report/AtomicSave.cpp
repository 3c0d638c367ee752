#include "AtomicSave.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

bool AtomicSave::Save(const QString& path, const Writer& write, QString* pReason)
{
    if (!CheckTarget(path, pReason))
        return false;
    const QFileInfo info(path);
    QSaveFile target(path);
    // Built in the target's folder, so that nothing of it lands elsewhere.
    QTemporaryFile built(info.absolutePath() + QStringLiteral("/.~") + info.fileName() + QStringLiteral("-XXXXXX"));
    if (!target.open(QIODevice::WriteOnly) || !built.open()) {
        *pReason = target.isOpen() ? built.errorString() : target.errorString();
        return false;
    }
    built.close();
    if (!write(built.fileName(), pReason))
        return false;
    const QByteArray bytes = built.open() ? built.read(built.size()) : QByteArray();
    if (built.error() != QFileDevice::NoError) {
        *pReason = built.errorString();
        return false;
    }
    if (target.write(bytes) != bytes.size() || !target.commit()) {
        *pReason = target.errorString();
        return false;
    }
    return true;
}

bool AtomicSave::CheckTarget(const QString& path, QString* pReason)
{
    const QFileInfo info(path);
    if (path.isEmpty())
        *pReason = QStringLiteral("no file name was given");
    else if (info.isDir())
        *pReason = QStringLiteral("it is a folder");
    else if (!QFileInfo(info.absolutePath()).isDir())
        *pReason = QStringLiteral("the folder %1 does not exist").arg(QDir::toNativeSeparators(info.absolutePath()));
    else
        return true;
    return false;
}
