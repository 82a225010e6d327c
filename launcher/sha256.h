// SHA-256 (FIPS 180-4), for the bootstrap class's package signature checks:
// the loader hashes every chunk of a signed package it inflates, and in
// native code (with the processor's SHA instructions where it has them)
// that costs the start a fraction of what the VM's interpreter and
// compilers spend on the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace launcher {

struct Sha256 {
    uint32_t state[8];
    uint8_t pending[64];
    size_t pendingLength;
    uint64_t totalLength;
};

void sha256Start(Sha256& hash);
void sha256Add(Sha256& hash, const uint8_t* data, size_t length);
void sha256Finish(Sha256& hash, uint8_t digest[32]);

// The block functions behind them, for the tests: count 64-byte blocks
// into state. The accelerated one is false, touching nothing, where the
// processor lacks the SHA instructions (or is no x86).
void sha256BlocksPortable(uint32_t state[8], const uint8_t* blocks, size_t count);
bool sha256BlocksAccelerated(uint32_t state[8], const uint8_t* blocks, size_t count);

}  // namespace launcher
