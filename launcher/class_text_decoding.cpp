#include "launcher/class_text_decoding.h"

#include <zlib.h>

#include <cstring>

#include "foundation/errors.h"
#include "foundation/streams.h"

namespace launcher {
namespace {

using foundation::AccessOut;
using foundation::DataArray;

constexpr int32_t STAGING_SIZE = 1024;
// 15 window bits + 32: a gzip or a zlib header is recognised by itself.
constexpr int INFLATE_WINDOW_BITS = 47;

int32_t sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return 0;  // padding and every foreign character
}

// Appends the staging buffer's bytes (all inflated since it was last
// emptied: total output minus what out already holds) to out, in place.
void drain(AccessOut& out, const z_stream& stream, const char* staging) {
    int32_t n = static_cast<int32_t>(stream.total_out - static_cast<uLong>(out.count));
    if (n <= 0) return;
    if (out.count + n > out.buffer->length) out.ensureCapacity(out.count + n);
    std::memcpy(out.buffer->data + out.count, staging, static_cast<size_t>(n));
    out.count += n;
}

}  // namespace

DataArray<char>* decodeBase64(const char* text, int32_t n) {
    if (text == nullptr || n < 1) return nullptr;
    int32_t padding = 0;
    for (int32_t i = n - 1; i >= 0 && text[i] == '='; --i) ++padding;
    int64_t length = static_cast<int64_t>(n) * 3 / 4 - padding;
    if (length < 0) return nullptr;
    auto* out = new DataArray<char>(static_cast<int32_t>(length));
    for (int32_t offset = 0, group = 0; offset < n; offset += 4, ++group) {
        uint32_t bits = 0;
        for (int32_t k = 0; k < 4; ++k) {
            // A last group cut short reads as zeros, never past the text.
            int32_t value = offset + k < n ? sextet(text[offset + k]) : 0;
            bits = (bits << 6) | static_cast<uint32_t>(value);
        }
        int64_t position = static_cast<int64_t>(group) * 3;
        for (int32_t b = 0; b < 3; ++b) {
            if (position + b < length) out->data[position + b] = static_cast<char>((bits >> (16 - 8 * b)) & 0xFF);
        }
    }
    out->data[length] = '\0';
    return out;
}

DataArray<char>* gunzipBytes(DataArray<char>* input, int32_t length) {
    if (input == nullptr || input->data == nullptr || length < 0 || length > input->length) return nullptr;
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    stream.next_in = reinterpret_cast<Bytef*>(input->data);
    stream.avail_in = static_cast<uInt>(length);
    // The macro passes the version and stream size of the zlib.h compiled
    // against, which the library checks against its own.
    if (inflateInit2(&stream, INFLATE_WINDOW_BITS) != Z_OK) {
        return nullptr;
    }
    char stagingStorage[STAGING_SIZE];
    DataArray<char> staging(stagingStorage, STAGING_SIZE);
    AccessOut* out = nullptr;
    DataArray<char>* result = nullptr;
    bool ended = false;
    try {
        out = new AccessOut(STAGING_SIZE);
        stream.next_out = reinterpret_cast<Bytef*>(staging.data);
        stream.avail_out = STAGING_SIZE;
        for (;;) {
            int status = inflate(&stream, Z_NO_FLUSH);
            if (status == Z_STREAM_END) {
                ended = true;
                break;
            }
            if (status != Z_OK) break;  // corrupt data, or no progress possible
            if (stream.avail_out == 0) {
                drain(*out, stream, staging.data);
                stream.next_out = reinterpret_cast<Bytef*>(staging.data);
                stream.avail_out = STAGING_SIZE;
            } else if (stream.avail_in == 0) {
                break;  // all input taken and room left, yet no end: cut short
            }
        }
        if (inflateEnd(&stream) != Z_OK) ended = false;
        if (ended) {
            drain(*out, stream, staging.data);
            result = out->toByteArray();
        }
    } catch (foundation::Throwable* error) {
        // Out of storage: no class, as for bad data.
        delete error;
        inflateEnd(&stream);
        result = nullptr;
    }
    delete out;
    return result;
}

}  // namespace launcher
