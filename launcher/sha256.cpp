#include "launcher/sha256.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define TAVELIN_SHA_NI 1
#endif

namespace launcher {

namespace {

alignas(16) const uint32_t K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t rotr(uint32_t x, int n) { return x >> n | x << (32 - n); }

#ifdef TAVELIN_SHA_NI

bool hasShaInstructions() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    bool ssse3 = (c & (1u << 9)) != 0;
    bool sse41 = (c & (1u << 19)) != 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return ssse3 && sse41 && (b & (1u << 29)) != 0;
}

// The state as the instructions take it: ABEF and CDGH; four rounds per
// group of message words, the schedule four words at a time.
__attribute__((target("sha,ssse3,sse4.1"))) void blocksWithShaInstructions(uint32_t state[8], const uint8_t* data,
                                                                           size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; count > 0; --count, data += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i w[4];
        for (int group = 0; group < 16; ++group) {
            __m128i words;
            if (group < 4) {
                words =
                    _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * group)), byteSwap);
            } else {
                __m128i sum = _mm_sha256msg1_epu32(w[group & 3], w[(group + 1) & 3]);
                sum = _mm_add_epi32(sum, _mm_alignr_epi8(w[(group + 3) & 3], w[(group + 2) & 3], 4));
                words = _mm_sha256msg2_epu32(sum, w[(group + 3) & 3]);
            }
            w[group & 3] = words;
            __m128i message = _mm_add_epi32(words, _mm_load_si128(reinterpret_cast<const __m128i*>(&K[4 * group])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(message, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}

const bool SHA_INSTRUCTIONS = hasShaInstructions();

#endif

void blocks(uint32_t state[8], const uint8_t* data, size_t count) {
    if (!sha256BlocksAccelerated(state, data, count)) sha256BlocksPortable(state, data, count);
}

}  // namespace

void sha256BlocksPortable(uint32_t state[8], const uint8_t* data, size_t count) {
    uint32_t w[64];
    for (; count > 0; --count, data += 64) {
        for (int t = 0; t < 16; ++t) {
            const uint8_t* p = data + 4 * t;
            w[t] = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        }
        for (int t = 16; t < 64; ++t) {
            uint32_t x = w[t - 15];
            uint32_t y = w[t - 2];
            w[t] = w[t - 16] + w[t - 7] + (rotr(x, 7) ^ rotr(x, 18) ^ x >> 3) + (rotr(y, 17) ^ rotr(y, 19) ^ y >> 10);
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int t = 0; t < 64; ++t) {
            uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + K[t] + w[t];
            uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

bool sha256BlocksAccelerated(uint32_t state[8], const uint8_t* data, size_t count) {
#ifdef TAVELIN_SHA_NI
    if (SHA_INSTRUCTIONS) {
        blocksWithShaInstructions(state, data, count);
        return true;
    }
#else
    (void)state;
    (void)data;
    (void)count;
#endif
    return false;
}

void sha256Start(Sha256& hash) {
    static const uint32_t initial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(hash.state, initial, sizeof initial);
    hash.pendingLength = 0;
    hash.totalLength = 0;
}

void sha256Add(Sha256& hash, const uint8_t* data, size_t length) {
    hash.totalLength += length;
    if (hash.pendingLength > 0) {
        size_t take = length < 64 - hash.pendingLength ? length : 64 - hash.pendingLength;
        std::memcpy(hash.pending + hash.pendingLength, data, take);
        hash.pendingLength += take;
        data += take;
        length -= take;
        if (hash.pendingLength < 64) return;
        blocks(hash.state, hash.pending, 1);
        hash.pendingLength = 0;
    }
    blocks(hash.state, data, length / 64);
    data += length / 64 * 64;
    length %= 64;
    std::memcpy(hash.pending, data, length);
    hash.pendingLength = length;
}

void sha256Finish(Sha256& hash, uint8_t digest[32]) {
    uint64_t bits = hash.totalLength * 8;
    uint8_t tail[128] = {};
    std::memcpy(tail, hash.pending, hash.pendingLength);
    tail[hash.pendingLength] = 0x80;
    size_t tailLength = hash.pendingLength < 56 ? 64 : 128;
    for (int i = 0; i < 8; ++i) tail[tailLength - 1 - i] = uint8_t(bits >> (8 * i));
    blocks(hash.state, tail, tailLength / 64);
    for (int i = 0; i < 32; ++i) digest[i] = uint8_t(hash.state[i / 4] >> (24 - 8 * (i % 4)));
}

}  // namespace launcher
