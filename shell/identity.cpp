#include "shell/identity.h"

#include "shell/package_digest.h"

#include <algorithm>

namespace {
constexpr std::size_t kDigestSize = 16;
constexpr std::size_t kReservedSize = 16;
} // namespace

std::optional<std::u16string> ValidateIdentity(ByteView resource)
{
    const std::size_t n = resource.size();
    if (n <= kReservedSize + kDigestSize)
        return std::nullopt;
    PackageDigest digest = ComputePackageDigest(resource.first(n - kDigestSize));
    if (!std::equal(digest.begin(), digest.end(), resource.end() - kDigestSize))
        return std::nullopt;

    // The text must end inside its own area, before the reserved bytes.
    const std::size_t units = (n - kReservedSize - kDigestSize) / 2;
    std::u16string text;
    for (std::size_t i = 0; i < units; ++i) {
        char16_t c = static_cast<char16_t>(ReadU16LE(resource.data() + 2 * i));
        if (c == 0)
            return text;
        text.push_back(c);
    }
    return std::nullopt;
}

Bytes MakeIdentity(std::u16string_view text)
{
    Bytes out;
    for (char16_t c : text)
        AppendU16LE(out, c);
    AppendU16LE(out, 0);
    out.insert(out.end(), kReservedSize, 0);
    PackageDigest digest = ComputePackageDigest(out);
    out.insert(out.end(), digest.begin(), digest.end());
    return out;
}
