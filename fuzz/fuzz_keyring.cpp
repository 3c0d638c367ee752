// A keyring file as a laboratory hands it out, and the embedded record of a
// certificate as anyone may send one: whatever they hold, a keyring is
// taken whole or refused, and what is taken reads back the same; a
// certificate's rows come back at most two, and judging them never trusts
// what no key signed.

#include "CertificateWriter.h"
#include "FuzzCheck.h"
#include "Keyring.h"
#include "SigningKey.h"

#include <QByteArray>
#include <QDateTime>

#include <cstdint>

// Qt 5.15's JSON parser leaks a few bytes on some malformed input (a
// control character in a key); the leak is Qt's, and the reading goes on.
// Qt is built without frame pointers: the slow unwinder finds the caller.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:QJsonDocument::fromJson\n";
}

extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), int(size));
    Keyring keyring;
    if (!keyring.Parse(text).isEmpty()) {
        CHECK(keyring.IsEmpty()); // a refusal leaves nothing half taken
    } else {
        Keyring again;
        CHECK(again.Parse(keyring.Text()).isEmpty());
        CHECK(again.Text() == keyring.Text());
        for (const Keyring::Key& key : keyring.Keys())
            CHECK(key.publicKey.size() == SigningKey::kPublicBytes && key.from <= key.until);
    }
    const QVector<RecordStore::Row> rows = CertificateWriter::EmbeddedIn(text);
    CHECK(rows.size() <= 2);
    for (const RecordStore::Row& row : rows) {
        if (RecordStore::SignatureHolds(row))
            CHECK(!row.signature.isEmpty());
    }
    return 0;
}
