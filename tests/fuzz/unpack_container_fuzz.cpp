// Unpacking must never read outside the input or fail other than by returning
// nothing; what unpacks must fit the declared size, and packing any input must
// unpack to the same bytes.
#include "shell/sm_container.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ByteView input(data, size);
    if (std::optional<Bytes> out = UnpackContainer(input, false)) {
        if (out->size() > ReadU32LE(data + 4))
            std::abort();
    }
    if (size <= 4096) {
        std::optional<Bytes> back = UnpackContainer(PackContainer(input), false);
        if (!back || *back != Bytes(input.begin(), input.end()))
            std::abort();
    }
    return 0;
}
