#ifndef DOSEGATE_CALIBRATIONAPPROVAL_H
#define DOSEGATE_CALIBRATIONAPPROVAL_H

#include "RecordStore.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

class Keyring;
class SigningKey;

// A finished calibration is a draft until a second person, whose key the
// laboratory trusts to approve, approves it or rejects it with a reason:
// a row of its own, signed by that person, naming the calibration's row
// and hash. Who performed it is the key that signed the calibration.
class CalibrationApproval
{
public:
    static constexpr const char* kKind = "approval";

    struct Person
    {
        QString name;
        QString function;
        QString time; // as the signed row has it
        QString fingerprint;
    };

    struct Decision
    {
        qint64 seq = 0; // the decision's row; 0 while it is a draft
        bool approved = false;
        QString reason; // of a rejection
        Person approver;
        bool Decided() const { return seq > 0; }
    };

    // Who signed the calibration, by its record and its signature; no
    // fingerprint when nobody but the console did.
    static Person PerformerOf(const RecordStore::Row& calibration);
    // The first decision on the calibration whose signature holds; none
    // while it is a draft.
    static Decision Of(const RecordStore& store, const RecordStore::Row& calibration);

    // Why the reviewer may not decide on the calibration now; empty when
    // they may. A rejection needs its reason.
    static QString Refusal(const RecordStore& store, const RecordStore::Row& calibration, const SigningKey& reviewer,
                           const Keyring& keyring, bool approve, const QString& reason);
    // The decision's row content, to be appended signed by the reviewer.
    static QJsonObject Content(const RecordStore::Row& calibration, const SigningKey& reviewer, bool approve,
                               const QString& reason);
};

#endif
