// Random sequences of DataInput reads (and some writes) over random bytes.
// A plain byte vector shadows the stream: every value read, every failure
// code and the position afterwards must match it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/errors.h"
#include "foundation/streams.h"

using namespace foundation;

namespace {

#define CHECK(cond)          \
    do {                     \
        if (!(cond)) abort(); \
    } while (0)

struct Shadow {
    std::vector<uint8_t> bytes;
    size_t position = 0;
    size_t left() const { return bytes.size() - position; }
    uint64_t take(int n) {
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 8) | bytes[position++];
        return v;
    }
};

void checkInvariant(const AccessOut& s, const Shadow& shadow) {
    CHECK(s.position >= 0 && s.position <= s.count && s.count <= s.buffer->length);
    CHECK(static_cast<size_t>(s.count) == shadow.bytes.size());
    CHECK(static_cast<size_t>(s.position) == shadow.position);
    CHECK(shadow.bytes.empty() || std::memcmp(s.buffer->data, shadow.bytes.data(), shadow.bytes.size()) == 0);
}

// Runs one operation, returns the code of the Throwable it threw (0: none).
template <typename F>
int32_t attempt(F f) {
    try {
        f();
    } catch (Throwable* error) {
        const int32_t code = error->code;
        delete error;
        CHECK(code >= 1 && code <= 10);
        return code;
    }
    return 0;
}

// A fixed-width read of n bytes: value on success; EOF otherwise, with the
// stream consuming what the table says (all that is left, or nothing).
template <typename R>
void fixedRead(Shadow& shadow, int n, bool dropsRest, R read) {
    uint64_t got = 0;
    const int32_t code = attempt([&] { got = read(); });
    if (shadow.left() >= static_cast<size_t>(n)) {
        CHECK(code == 0);
        CHECK(got == shadow.take(n));
    } else {
        CHECK(code == STREAM_EOF);
        if (dropsRest || n == 2) shadow.position = shadow.bytes.size();
    }
}

void roundTripText(const String* text) {
    AccessOut again(4);
    String* back = nullptr;
    const int32_t code = attempt([&] {
        again.writeUTF(const_cast<String*>(text));
        back = again.readUTF();
    });
    if (code != 0) {
        // Only a text of raw zero bytes can outgrow the limit when written.
        CHECK(code == OUT_OF_BOUNDS);
        return;
    }
    CHECK(back->length == text->length);
    CHECK(std::memcmp(back->chars, text->chars, sizeof(char16_t) * static_cast<size_t>(text->length)) == 0);
    releaseString(back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider p(data, size);
    AccessOut s(p.ConsumeIntegralInRange<int32_t>(0, 64));
    Shadow shadow;
    shadow.bytes = p.ConsumeBytes<uint8_t>(p.ConsumeIntegralInRange<size_t>(0, 600));
    {
        DataArray<char> initial(static_cast<int32_t>(shadow.bytes.size()));
        if (!shadow.bytes.empty()) std::memcpy(initial.data, shadow.bytes.data(), shadow.bytes.size());
        s.write(&initial);
    }
    checkInvariant(s, shadow);

    while (p.remaining_bytes() > 0) {
        switch (p.ConsumeIntegralInRange(0, 19)) {
        case 0: fixedRead(shadow, 1, false, [&] { return static_cast<uint64_t>(s.readByte()); }); break;
        case 1: fixedRead(shadow, 1, false, [&] { return static_cast<uint64_t>(s.readUnsignedByte()); }); break;
        case 2: {
            bool got = false;
            const int32_t code = attempt([&] { got = s.readBoolean(); });
            if (shadow.left() >= 1) {
                CHECK(code == 0);
                CHECK(got == (shadow.take(1) != 0));
            } else {
                CHECK(code == STREAM_EOF);
            }
            break;
        }
        case 3: fixedRead(shadow, 2, false, [&] { return static_cast<uint64_t>(s.readShort()); }); break;
        case 4: fixedRead(shadow, 2, false, [&] { return static_cast<uint64_t>(s.readChar()); }); break;
        case 5: fixedRead(shadow, 4, true, [&] { return static_cast<uint64_t>(static_cast<uint32_t>(s.readInt())); }); break;
        case 6: fixedRead(shadow, 8, true, [&] { return static_cast<uint64_t>(s.readLong()); }); break;
        case 7: fixedRead(shadow, 4, true, [&] {
                float f = s.readFloat();
                uint32_t b;
                std::memcpy(&b, &f, 4);
                return static_cast<uint64_t>(b);
            });
            break;
        case 8: fixedRead(shadow, 8, true, [&] {
                double d = s.readDouble();
                uint64_t b;
                std::memcpy(&b, &d, 8);
                return b;
            });
            break;
        case 9: {
            String* text = nullptr;
            const size_t left = shadow.left();
            const int32_t code = attempt([&] { text = s.readUTF(); });
            if (left < 2) {
                CHECK(code == STREAM_EOF);
                shadow.position = shadow.bytes.size();
                break;
            }
            const size_t len = (shadow.bytes[shadow.position] << 8) | shadow.bytes[shadow.position + 1];
            if (left < 2 + len) {
                CHECK(code == STREAM_EOF);
                shadow.position = shadow.bytes.size();
                break;
            }
            shadow.position += 2 + len;
            if (code != 0) {
                CHECK(code == READ_ERR);
                break;
            }
            CHECK(text != nullptr && text->useCount == 1 && text->chars[text->length] == 0);
            CHECK(static_cast<size_t>(text->length) <= len);
            roundTripText(text);
            releaseString(text);
            break;
        }
        case 10: {
            const int32_t length = p.ConsumeIntegralInRange<int32_t>(0, 64);
            const int32_t off = p.ConsumeIntegralInRange<int32_t>(-2, 66);
            const int32_t len = p.ConsumeIntegralInRange<int32_t>(-2, 66);
            DataArray<char> target(length);
            const int32_t code = attempt([&] { s.readFully(&target, off, len); });
            if (len < 0 || (len > 0 && (off < 0 || len > length - off))) {
                CHECK(code == OUT_OF_BOUNDS);
            } else if (shadow.left() < static_cast<size_t>(len)) {
                CHECK(code == STREAM_EOF);
                const size_t got = shadow.left();
                CHECK(got == 0 || std::memcmp(target.data + off, shadow.bytes.data() + shadow.position, got) == 0);
                shadow.position = shadow.bytes.size();
            } else {
                CHECK(code == 0);
                CHECK(len == 0 ||
                      std::memcmp(target.data + off, shadow.bytes.data() + shadow.position, static_cast<size_t>(len)) == 0);
                shadow.position += static_cast<size_t>(len);
            }
            break;
        }
        case 11: {
            const int32_t n = p.ConsumeIntegralInRange<int32_t>(-4, 700);
            const int32_t skipped = s.skipBytes(n);
            const size_t expected = n <= 0 ? 0 : std::min(static_cast<size_t>(n), shadow.left());
            CHECK(static_cast<size_t>(skipped) == expected);
            shadow.position += expected;
            break;
        }
        case 12: CHECK(static_cast<size_t>(s.available()) == shadow.left()); break;
        case 13: CHECK(s.readLine() == nullptr); break;
        case 14: {
            const int32_t v = p.ConsumeIntegral<int32_t>();
            s.writeInt(v);
            for (int i = 3; i >= 0; --i) shadow.bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
            break;
        }
        case 15: {
            const int32_t v = p.ConsumeIntegral<int32_t>();
            s.write(v);
            shadow.bytes.push_back(static_cast<uint8_t>(v));
            break;
        }
        case 16: {
            const size_t n = p.ConsumeIntegralInRange<size_t>(0, 40);
            std::vector<char16_t> units;
            for (size_t i = 0; i < n && p.remaining_bytes() > 0; ++i) units.push_back(p.ConsumeIntegral<char16_t>());
            auto* chars = static_cast<char16_t*>(std::calloc(units.size() + 1, sizeof(char16_t)));
            if (!units.empty()) std::memcpy(chars, units.data(), units.size() * sizeof(char16_t));
            String* text = new String(chars, static_cast<int32_t>(units.size()));
            const int32_t before = s.count;
            s.writeUTF(text);
            shadow.bytes.insert(shadow.bytes.end(), s.buffer->data + before, s.buffer->data + s.count);
            CHECK(s.count - before >= 2 + static_cast<int32_t>(units.size()));
            releaseString(text);
            break;
        }
        case 17: {
            const int32_t length = p.ConsumeIntegralInRange<int32_t>(0, 32);
            const int32_t off = p.ConsumeIntegralInRange<int32_t>(-2, 34);
            const int32_t len = p.ConsumeIntegralInRange<int32_t>(-2, 34);
            DataArray<char> source(length);
            for (int32_t i = 0; i < length; ++i) source.data[i] = static_cast<char>(i * 7);
            const int32_t code = attempt([&] { s.write(&source, off, len); });
            if (off < 0 || off > length || len < 0 || off + len > length) {
                CHECK(code == OUT_OF_BOUNDS);
            } else {
                CHECK(code == 0);
                shadow.bytes.insert(shadow.bytes.end(), source.data + off, source.data + off + len);
            }
            break;
        }
        case 18: {
            DataArray<char>* copy = s.toByteArray();
            CHECK(static_cast<size_t>(copy->length) == shadow.bytes.size());
            CHECK(copy->data[copy->length] == 0);
            CHECK(shadow.bytes.empty() || std::memcmp(copy->data, shadow.bytes.data(), shadow.bytes.size()) == 0);
            delete copy;
            break;
        }
        default: {
            const int64_t v = p.ConsumeIntegral<int64_t>();
            s.writeLong(v);
            for (int i = 7; i >= 0; --i) shadow.bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
            break;
        }
        }
        checkInvariant(s, shadow);
    }
    return 0;
}
