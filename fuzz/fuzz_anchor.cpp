// The anchor file beside the record store, as read before a check or an
// append: whatever it holds, it is taken as one row's number and hash or
// refused, and what is taken reads back the same when written again.

#include "FuzzCheck.h"
#include "RecordStore.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), int(size));
    RecordStore::Anchor anchor;
    if (!RecordStore::ParseAnchor(text, &anchor)) {
        CHECK(anchor.seq == 0 && anchor.hash.isEmpty()); // a refusal leaves nothing half taken
        return 0;
    }
    CHECK(anchor.seq >= 1);
    CHECK(anchor.hash.size() == 64);
    for (char c : anchor.hash)
        CHECK((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
    RecordStore::Anchor again;
    CHECK(RecordStore::ParseAnchor(QByteArray::number(anchor.seq) + ' ' + anchor.hash + '\n', &again));
    CHECK(again.seq == anchor.seq && again.hash == anchor.hash);
    return 0;
}
