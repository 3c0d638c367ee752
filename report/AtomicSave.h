#ifndef DOSEGATE_ATOMICSAVE_H
#define DOSEGATE_ATOMICSAVE_H

#include <QCoreApplication>
#include <QString>

#include <functional>

// Saves a file that a writer can only produce under a name of its own: the
// writer builds it beside the target, and the target is replaced in one
// piece once all of it is on disk. A failed save leaves an existing file as
// it was and no partial file behind.
class AtomicSave
{
    Q_DECLARE_TR_FUNCTIONS(AtomicSave)

public:
    using Writer = std::function<bool(const QString& fileName, QString* pReason)>;

    // The reason is for the operator.
    static bool Save(const QString& path, const Writer& write, QString* pReason);
};

#endif
