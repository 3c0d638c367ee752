#include "AtomicSave.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

bool AtomicSave::Save(const QString& path, const Writer& write, QString* pReason)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (path.isEmpty() || info.isDir() || !QFileInfo(folder).isDir()) {
        const QString missing = tr("the folder %1 does not exist").arg(QDir::toNativeSeparators(folder));
        *pReason = path.isEmpty() ? tr("no file name was given") : info.isDir() ? tr("it is a folder") : missing;
        return false;
    }
    QSaveFile target(path);
    // Built in the target's folder, so that nothing of it lands elsewhere.
    QTemporaryFile built(folder + QStringLiteral("/.~") + info.fileName() + QStringLiteral("-XXXXXX"));
    if (!target.open(QIODevice::WriteOnly) || !built.open()) {
        *pReason = target.isOpen() ? built.errorString() : target.errorString();
        return false;
    }
    built.close(); // the writer opens it by name
    if (!write(built.fileName(), pReason))
        return false;
    // The save file's commit puts the bytes on the disk before they take
    // the target's name, so that not even a crash leaves a damaged report.
    const QByteArray bytes = built.open() ? built.readAll() : QByteArray();
    const bool bRead = built.error() == QFileDevice::NoError;
    const bool bSaved = bRead && target.write(bytes) == bytes.size() && target.commit();
    if (!bSaved)
        *pReason = bRead ? target.errorString() : built.errorString();
    return bSaved;
}
