#ifndef DOSEGATE_SIGNATUREAUDIT_H
#define DOSEGATE_SIGNATUREAUDIT_H

#include <QString>

class Keyring;
class RecordStore;

// Every row's signature against a keyring. A hash chain shows accidents;
// only signatures by keys the laboratory trusts show who wrote a row, so
// a store rebuilt by anyone without such a key does not pass.
class SignatureAudit
{
public:
    qint64 trusted = 0;
    qint64 untrusted = 0; // signed by a key the keyring does not trust then
    qint64 bad = 0; // the signature does not hold over the row
    qint64 unsigned_ = 0;
    // The first row of each sort that is not trusted, with why.
    QString firstUntrusted;
    QString firstBad;
    QString firstUnsigned;
    bool read = true;

    static SignatureAudit Of(const RecordStore& store, const Keyring& keyring);
    bool AllTrusted() const { return read && untrusted == 0 && bad == 0 && unsigned_ == 0; }
};

#endif
