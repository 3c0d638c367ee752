#ifndef DOSEGATE_RECORDCOPY_H
#define DOSEGATE_RECORDCOPY_H

#include <QString>

// Moves a PC's records into another store (a lab's server): each row is
// appended there anew, signed by this console, its content holding the
// original row's number, time, hash and signature as its provenance. Only
// an intact chain is copied, all of it or nothing, and both sides are
// checked again afterwards.
class RecordCopy
{
public:
    static constexpr const char* kProvenance = "copied from";

    // Why it could not, else empty; the rows copied in *pCopied.
    static QString Copy(const QString& from, const QString& to, qint64* pCopied);
};

#endif
