// The package digest: MD5 of a byte range, its two 8-byte halves each encrypted
// as one block with Triple DES (EDE, ECB) under the package key.
#pragma once

#include "shell/byte_io.h"

#include <array>

using PackageDigest = std::array<std::uint8_t, 16>;
using PackageKey = std::array<std::uint8_t, 24>;

PackageDigest ComputePackageDigest(ByteView bytes);

// The 24-byte key built into the program, every byte set to odd parity. Its
// thirds are the three DES keys, in order.
const PackageKey& ThePackageKey();

// The byte with its lowest bit flipped when it has an even number of one bits.
std::uint8_t WithOddParity(std::uint8_t byte);
