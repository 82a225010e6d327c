#include "foundation/streams.h"

#include <cstdlib>
#include <cstring>

#include "foundation/errors.h"

namespace foundation {

namespace {

// Sizes and positions are signed 32-bit and the overflow checks below rely
// on two's-complement wrap-around, which signed arithmetic does not promise.
int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

bool hasStorage(const DataArray<char>* b) {
    return b != nullptr && b->data != nullptr;
}

// Throws a Throwable carrying a message text; the Throwable takes its own
// hold on the text, so ours is given back before throwing.
[[noreturn]] void throwWithMessage(int32_t code, const char16_t* text) {
    String* message = stringFromWide(text);
    Throwable* error = nullptr;
    try {
        error = new Throwable(code, message);
    } catch (...) {
        releaseString(message);
        throw;
    }
    releaseString(message);
    throw error;
}

// "malformed input around byte N", as Java words it.
[[noreturn]] void throwMalformed(int32_t byteIndex) {
    char16_t text[48];
    static const char16_t prefix[] = u"malformed input around byte ";
    int32_t n = 0;
    for (const char16_t* p = prefix; *p != 0; ++p) text[n++] = *p;
    char digits[12];
    int32_t d = 0;
    uint32_t v = static_cast<uint32_t>(byteIndex);
    do {
        digits[d++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (d > 0) text[n++] = static_cast<char16_t>(digits[--d]);
    text[n] = 0;
    throwWithMessage(READ_ERR, text);
}

// Frees a malloc'd block when the scope ends, also during unwinding.
struct FreeOnExit {
    void* block;
    ~FreeOnExit() { std::free(block); }
};

}  // namespace

AccessOut::AccessOut(int32_t capacity)
    : utfBuffer(nullptr), buffer(new DataArray<char>(capacity)), count(0), position(0) {}

AccessOut::~AccessOut() {
    delete buffer;
    buffer = nullptr;
    delete utfBuffer;
    utfBuffer = nullptr;
}

DataArray<char>* AccessOut::toByteArray() const {
    DataArray<char>* copy = new DataArray<char>(count);
    if (count > 0) std::memcpy(copy->data, buffer->data, static_cast<size_t>(count));
    return copy;
}

DataArray<char>* AccessOut::replaceBuffer(int32_t minimum) {
    const int32_t capacity = buffer->length;
    int32_t grown = wrapAdd(capacity, capacity);
    if (wrapSub(grown, minimum) < 0) grown = minimum;
    if (grown < 0) {
        if (minimum < 0) throwError(OUT_OF_MEMORY);
        grown = 0x7FFFFFFF;
    }
    // DataArray throws OUT_OF_MEMORY itself; the old buffer stays in place.
    DataArray<char>* larger = new DataArray<char>(grown);
    const int32_t keep = grown < capacity ? grown : capacity;
    if (keep > 0) std::memcpy(larger->data, buffer->data, static_cast<size_t>(keep));
    DataArray<char>* old = buffer;
    buffer = larger;
    return old;
}

void AccessOut::ensureCapacity(int32_t minimum) {
    delete replaceBuffer(minimum);
}

// ---------------------------------------------------------------------------
// Closeable / OutputStream

// The stream has no closed state: close and flush leave it fully usable.
void AccessOut::close() {}

void AccessOut::flush() {}

void AccessOut::write(int32_t b) {
    if (wrapSub(wrapAdd(count, 1), buffer->length) > 0) ensureCapacity(wrapAdd(count, 1));
    buffer->data[count] = static_cast<char>(b & 0xFF);
    count += 1;
}

void AccessOut::write(DataArray<char>* b) {
    if (!hasStorage(b)) throwError(EMPTY);
    write(b, 0, b->length);
}

void AccessOut::write(DataArray<char>* b, int32_t off, int32_t len) {
    if (!hasStorage(b)) throwError(EMPTY);
    if (off < 0 || off > b->length || len < 0 || wrapSub(wrapAdd(off, len), b->length) > 0) {
        throwError(OUT_OF_BOUNDS);
    }
    const int32_t end = wrapAdd(count, len);
    // The source may be (or lie inside) the buffer being replaced, so the
    // old one goes only after the copy. memmove: the source may also
    // overlap the place it is copied to.
    DataArray<char>* retired = nullptr;
    if (wrapSub(end, buffer->length) > 0) retired = replaceBuffer(end);
    if (len > 0) std::memmove(buffer->data + count, b->data + off, static_cast<size_t>(len));
    count = end;
    delete retired;
}

// ---------------------------------------------------------------------------
// DataOutput

void AccessOut::writeBoolean(bool v) {
    write(v ? 1 : 0);
}

void AccessOut::writeByte(int32_t v) {
    write(v);
}

void AccessOut::writeShort(int32_t v) {
    write((v >> 8) & 0xFF);
    write(v & 0xFF);
}

void AccessOut::writeChar(int32_t v) {
    writeShort(v);
}

void AccessOut::writeInt(int32_t v) {
    write((v >> 24) & 0xFF);
    write((v >> 16) & 0xFF);
    write((v >> 8) & 0xFF);
    write(v & 0xFF);
}

void AccessOut::writeLong(int64_t v) {
    char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>((v >> (56 - 8 * i)) & 0xFF);
    DataArray<char> local(bytes, 8);
    write(&local, 0, 8);
}

void AccessOut::writeFloat(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    writeInt(static_cast<int32_t>(bits));
}

void AccessOut::writeDouble(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    writeLong(static_cast<int64_t>(bits));
}

// The low byte of every unit, as Java's writeBytes does. A null text
// writes nothing.
void AccessOut::writeBytes(String* s) {
    if (s == nullptr || s->length < 1) return;
    DataArray<char> bytes(s->length);
    for (int32_t i = 0; i < s->length; ++i) bytes.data[i] = static_cast<char>(s->chars[i] & 0xFF);
    write(&bytes, 0, s->length);
}

// Every unit as two bytes, high byte first, as Java's writeChars does. A
// null text writes nothing.
void AccessOut::writeChars(String* s) {
    if (s == nullptr || s->length < 1) return;
    if (s->length > 0x3FFFFFFF) throwError(OUT_OF_BOUNDS);
    DataArray<char> bytes(s->length * 2);
    for (int32_t i = 0; i < s->length; ++i) {
        bytes.data[2 * i] = static_cast<char>((s->chars[i] >> 8) & 0xFF);
        bytes.data[2 * i + 1] = static_cast<char>(s->chars[i] & 0xFF);
    }
    write(&bytes, 0, s->length * 2);
}

// Two-byte length, then Java's modified UTF-8: every UTF-16 unit on its
// own (a surrogate pair becomes two three-byte sequences) and U+0000 as
// the two bytes C0 80, so the payload never holds a zero byte.
void AccessOut::writeUTF(String* s) {
    if (s == nullptr || s->length < 1) {
        writeShort(0);
        return;
    }
    const int32_t units = s->length;
    const char16_t* chars = s->chars;
    int32_t utflen = 0;
    for (int32_t i = 0; i < units && utflen <= 65535; ++i) {
        const char16_t c = chars[i];
        if (c >= 0x0001 && c <= 0x007F) {
            utflen += 1;
        } else if (c > 0x07FF) {
            utflen += 3;
        } else {
            utflen += 2;
        }
    }
    if (utflen > 65535) throwWithMessage(OUT_OF_BOUNDS, u"encoded string too long");

    if (utfBuffer == nullptr || utfBuffer->length < utflen + 2) {
        delete utfBuffer;
        utfBuffer = nullptr;
        utfBuffer = new DataArray<char>(2 * utflen + 2);
    }
    char* out = utfBuffer->data;
    int32_t n = 0;
    out[n++] = static_cast<char>((utflen >> 8) & 0xFF);
    out[n++] = static_cast<char>(utflen & 0xFF);
    for (int32_t i = 0; i < units; ++i) {
        const char16_t c = chars[i];
        if (c >= 0x0001 && c <= 0x007F) {
            out[n++] = static_cast<char>(c);
        } else if (c > 0x07FF) {
            out[n++] = static_cast<char>(0xE0 | ((c >> 12) & 0x0F));
            out[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[n++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out[n++] = static_cast<char>(0xC0 | ((c >> 6) & 0x1F));
            out[n++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    write(utfBuffer, 0, utflen + 2);
}

// ---------------------------------------------------------------------------
// DataInput

int32_t AccessOut::read(DataArray<char>* b, int32_t off, int32_t len) {
    if (off < 0 || len < 0 || len > b->length - off) throwError(OUT_OF_BOUNDS);
    if (position >= count) return -1;
    const int32_t left = count - position;
    const int32_t k = len < left ? len : left;
    if (k <= 0) return 0;
    std::memcpy(b->data + off, buffer->data + position, static_cast<size_t>(k));
    position += k;
    return k;
}

void AccessOut::readFully(DataArray<char>* b, int32_t off, int32_t len) {
    if (len < 0) throwError(OUT_OF_BOUNDS);
    if (!hasStorage(b)) throwError(EMPTY);
    int32_t n = 0;
    while (n < len) {
        const int32_t k = read(b, off + n, len - n);
        if (k < 0) {
            logMessage(LOG_LEVEL_INFO, u"AccessOut", u"readFully fail len=%d n=%d", len, n);
            throwError(STREAM_EOF);
        }
        n += k;
    }
}

void AccessOut::readFully(DataArray<char>* b) {
    if (!hasStorage(b)) throwError(EMPTY);
    readFully(b, 0, b->length);
}

// Java's readUTF: the whole payload is consumed first, then decoded. One
// byte 0xxxxxxx, two bytes 110xxxxx 10xxxxxx, three bytes 1110xxxx
// 10xxxxxx 10xxxxxx; each sequence is one UTF-16 unit, so the surrogate
// halves that writeUTF encoded separately pair up again. Anything else is
// malformed and throws READ_ERR, with the stream positioned after the
// payload.
String* AccessOut::readUTF() {
    const int32_t utflen = readUnsignedShort();
    char* payload = static_cast<char*>(std::calloc(static_cast<size_t>(utflen) + 2, 1));
    if (payload == nullptr) throwError(OUT_OF_MEMORY);
    FreeOnExit payloadGuard{payload};
    {
        DataArray<char> local(payload, utflen);
        readFully(&local, 0, utflen);
    }
    payload[utflen] = 0;

    // At most one unit per byte, plus the terminator.
    char16_t* units = static_cast<char16_t*>(std::calloc(static_cast<size_t>(utflen) + 1, sizeof(char16_t)));
    if (units == nullptr) throwError(OUT_OF_MEMORY);
    FreeOnExit unitsGuard{units};

    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(payload);
    int32_t i = 0;
    int32_t n = 0;
    while (i < utflen) {
        const int32_t c = bytes[i];
        switch (c >> 4) {
        case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 7:
            i += 1;
            units[n++] = static_cast<char16_t>(c);
            break;
        case 12: case 13: {
            i += 2;
            if (i > utflen) throwWithMessage(READ_ERR, u"malformed input: partial character at end");
            const int32_t c2 = bytes[i - 1];
            if ((c2 & 0xC0) != 0x80) throwMalformed(i);
            units[n++] = static_cast<char16_t>(((c & 0x1F) << 6) | (c2 & 0x3F));
            break;
        }
        case 14: {
            i += 3;
            if (i > utflen) throwWithMessage(READ_ERR, u"malformed input: partial character at end");
            const int32_t c2 = bytes[i - 2];
            const int32_t c3 = bytes[i - 1];
            if ((c2 & 0xC0) != 0x80 || (c3 & 0xC0) != 0x80) throwMalformed(i - 1);
            units[n++] = static_cast<char16_t>(((c & 0x0F) << 12) | ((c2 & 0x3F) << 6) | (c3 & 0x3F));
            break;
        }
        default:
            // 10xxxxxx and 1111xxxx never start a sequence.
            throwMalformed(i);
        }
    }
    String* result = new String(units, n);
    unitsGuard.block = nullptr;  // the String owns the units now
    return result;
}

bool AccessOut::readBoolean() {
    return readUnsignedByte() != 0;
}

int32_t AccessOut::readByte() {
    return readUnsignedByte();
}

int32_t AccessOut::readUnsignedByte() {
    if (position >= count) throwError(STREAM_EOF);
    return static_cast<unsigned char>(buffer->data[position++]);
}

// A single remaining byte is consumed before EOF, as a byte-wise reader
// would.
int32_t AccessOut::readUnsignedShort() {
    const int32_t first = readUnsignedByte();
    const int32_t second = readUnsignedByte();
    return (first << 8) + second;
}

int32_t AccessOut::readShort() {
    return readUnsignedShort();
}

int32_t AccessOut::readChar() {
    return readUnsignedShort();
}

// Fewer than four bytes left: they are dropped and EOF thrown.
int32_t AccessOut::readInt() {
    if (count - position < 4) {
        position = count;
        throwError(STREAM_EOF);
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(buffer->data + position);
    position += 4;
    return static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
                                (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]));
}

int64_t AccessOut::readLong() {
    char bytes[8] = {};
    DataArray<char> local(bytes, 8);
    readFully(&local, 0, 8);
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
    return static_cast<int64_t>(v);
}

float AccessOut::readFloat() {
    const uint32_t bits = static_cast<uint32_t>(readInt());
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

double AccessOut::readDouble() {
    const uint64_t bits = static_cast<uint64_t>(readLong());
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// Lines are not supported by this stream: always null, nothing consumed.
String* AccessOut::readLine() {
    return nullptr;
}

int32_t AccessOut::skipBytes(int32_t n) {
    if (n <= 0) return 0;
    const int32_t left = count - position;
    const int32_t k = n < left ? n : left;
    position += k;
    return k;
}

int32_t AccessOut::available() {
    return count - position;
}

}  // namespace foundation
