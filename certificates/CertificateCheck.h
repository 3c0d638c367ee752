#ifndef DOSEGATE_CERTIFICATECHECK_H
#define DOSEGATE_CERTIFICATECHECK_H

#include <QByteArray>
#include <QString>

class Keyring;
class RecordStore;

// What whoever holds a certificate can check without the laboratory's
// store: the signed record the PDF carries is whole, signed by whoever
// performed it and approved by a second person, both trusted by the
// keyring; and the pages are the ones that record gives, made again here
// and compared stream by stream. With the store, the record is also the
// one in its chain.
class CertificateCheck
{
public:
    bool passed = false;
    QString reason; // why it is refused
    QString number;
    QString performer; // "name (function, fingerprint)"
    QString approver;
    bool inStore = false; // checked against a store's chain

    // The store may be null, or not open: then the chain is not checked.
    static CertificateCheck Of(const QByteArray& pdf, const Keyring& keyring, const RecordStore* pStore);

private:
    bool Refuse(const QString& why);
};

#endif
