// FileTree and NetInfo read from random bytes. Each read is compared with
// a reference model of the wire layout, a small reader written from the
// layout alone: both must agree on success, on the shape of what was read
// and on the bytes consumed. When a read succeeds, the record must write,
// read back its own bytes, and write them identically.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

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

// The layout as the readers must take it. A value cut off by the end of the
// data consumes what is left. A text is a two-byte length and that many
// bytes of modified UTF-8. A FileTree is a text, 17 bytes of numbers and
// flag, and a child count: a count cut off or not above 0 means no list; a
// count larger than the bytes left could hold at 23 bytes a record, or any
// count above 0 at the nesting limit (the root is level 0), breaks the read where it stands.
// Children that the end of the data cuts off leave empty slots; a child
// broken otherwise breaks every record above it. A NetInfo is three texts
// and four numbers, with an address count (not above 0: none; more than
// the bytes left could hold at 2 bytes a text: broken) and that many texts
// before the last number; it reads only when all of it is there.
//
// Shapes: a FileTree without a list is "n", with one "(" + each slot +
// ")", an empty slot "-"; a NetInfo's addresses "n" or "[count]".
class Model {
public:
    enum Outcome { READ, CUT_OFF, BROKEN };

    Model(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    Outcome tree(int32_t level, std::string& shape) {
        const Outcome name = text();
        if (name != READ) return name;
        if (!take(17)) return CUT_OFF;
        int32_t count = 0;
        if (!number(count) || count <= 0) {
            shape += 'n';
            return READ;
        }
        if (static_cast<size_t>(count) > left() / 23 || level >= FILE_TREE_MAX_DEPTH) return BROKEN;
        shape += '(';
        for (int32_t i = 0; i < count; ++i) {
            std::string child;
            const Outcome read = tree(level + 1, child);
            if (read == BROKEN) return BROKEN;
            if (read == CUT_OFF) {
                shape.append(static_cast<size_t>(count - i), '-');
                break;
            }
            shape += child;
        }
        shape += ')';
        return READ;
    }

    Outcome net(std::string& shape) {
        int32_t ignored = 0;
        for (int field = 0; field < 2; ++field) {
            const Outcome read = text();
            if (read != READ) return read;
        }
        if (!number(ignored) || !number(ignored)) return CUT_OFF;
        const Outcome parent = text();
        if (parent != READ) return parent;
        int32_t count = 0;
        if (!number(ignored) || !number(count)) return CUT_OFF;
        if (count <= 0) {
            shape += 'n';
        } else {
            if (static_cast<size_t>(count) > left() / 2) return BROKEN;
            for (int32_t i = 0; i < count; ++i) {
                const Outcome read = text();
                if (read != READ) return read;
            }
            shape += '[' + std::to_string(count) + ']';
        }
        return number(ignored) ? READ : CUT_OFF;
    }

    size_t consumed() const { return pos_; }

private:
    size_t left() const { return size_ - pos_; }

    bool take(size_t n) {
        if (left() < n) {
            pos_ = size_;
            return false;
        }
        pos_ += n;
        return true;
    }

    bool number(int32_t& value) {
        if (!take(4)) return false;
        const uint8_t* p = data_ + pos_ - 4;
        value = static_cast<int32_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]);
        return true;
    }

    Outcome text() {
        if (!take(2)) return CUT_OFF;
        const size_t length = (size_t{data_[pos_ - 2]} << 8) | data_[pos_ - 1];
        if (!take(length)) return CUT_OFF;
        const uint8_t* p = data_ + pos_ - length;
        for (size_t i = 0; i < length;) {
            size_t width = 0;
            if (p[i] < 0x80) {
                width = 1;
            } else if ((p[i] & 0xE0) == 0xC0) {
                width = 2;
            } else if ((p[i] & 0xF0) == 0xE0) {
                width = 3;
            } else {
                return BROKEN;
            }
            if (i + width > length) return BROKEN;
            for (size_t k = 1; k < width; ++k) {
                if ((p[i + k] & 0xC0) != 0x80) return BROKEN;
            }
            i += width;
        }
        return READ;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

void shapeOf(const FileTree* t, std::string& shape) {
    if (t->files == nullptr) {
        shape += 'n';
        return;
    }
    shape += '(';
    for (int32_t i = 0; i < t->files->count; ++i) {
        const auto* child = static_cast<const FileTree*>(t->files->items[i]);
        if (child == nullptr) {
            shape += '-';
        } else {
            shapeOf(child, shape);
        }
    }
    shape += ')';
}

void shapeOf(const NetInfo* n, std::string& shape) {
    shape += n->addresses == nullptr ? std::string("n") : '[' + std::to_string(n->addresses->count) + ']';
}

Model::Outcome modelRead(Model& model, FileTree*, std::string& shape) {
    return model.tree(0, shape);
}

Model::Outcome modelRead(Model& model, NetInfo*, std::string& shape) {
    return model.net(shape);
}

template <typename Record>
void roundTrip(const uint8_t* data, size_t size, bool withFlags) {
    AccessOut in(0);
    for (size_t i = 0; i < size; ++i) in.write(data[i]);
    Record* record = new Record();
    const bool read = withFlags ? record->read(&in, 5) : record->read(&in);
    CHECK(in.position >= 0 && in.position <= in.count);

    Model model(data, size);
    std::string expected;
    CHECK(read == (modelRead(model, record, expected) == Model::READ));
    CHECK(static_cast<size_t>(in.position) == model.consumed());
    std::string actual;
    shapeOf(record, actual);
    if (read) {
        CHECK(actual == expected);
    } else if (std::is_same<Record, FileTree>::value) {
        CHECK(actual == "n");  // a failed FileTree keeps no partly read children
    }
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
