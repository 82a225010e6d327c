// FileTree and NetInfo read from random bytes. When a read succeeds, the
// record must write, read back its own bytes, and write them identically.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/errors.h"
#include "foundation/netinfo.h"
#include "foundation/records.h"

using namespace foundation;

namespace {

#define CHECK(cond)          \
    do {                     \
        if (!(cond)) abort(); \
    } while (0)

bool sameContent(const AccessOut& a, const AccessOut& b) {
    return a.count == b.count && std::memcmp(a.buffer->data, b.buffer->data, static_cast<size_t>(a.count)) == 0;
}

template <typename Record>
void roundTrip(const uint8_t* data, size_t size, bool withFlags) {
    AccessOut in(0);
    for (size_t i = 0; i < size; ++i) in.write(data[i]);
    Record* record = new Record();
    const bool read = withFlags ? record->read(&in, 5) : record->read(&in);
    CHECK(in.position >= 0 && in.position <= in.count);
    String* text = record->toString();
    CHECK(text != nullptr);
    releaseString(text);
    if (read) {
        AccessOut first(16);
        // A text of raw zero bytes may outgrow the length limit once written
        // as C0 80 pairs; then there is nothing to compare.
        if (record->write(&first)) {
            Record* again = new Record();
            CHECK(again->read(&first));
            CHECK(first.available() == 0);
            AccessOut second(16);
            CHECK(again->write(&second));
            CHECK(sameContent(first, second));
            again->release();
        }
    }
    // Re-reading the same record must give up what it held.
    in.position = 0;
    record->read(&in);
    record->release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t selector = data[0];
    if (selector & 1) {
        roundTrip<NetInfo>(data + 1, size - 1, (selector & 2) != 0);
    } else {
        roundTrip<FileTree>(data + 1, size - 1, (selector & 2) != 0);
    }
    return 0;
}
