#include "shell/package_digest.h"

#include <openssl/evp.h>

#include <bit>
#include <memory>
#include <stdexcept>

namespace {

// Chosen once for this product; packaged identities and Blowfish texts of scripts
// depend on it, so it never changes.
constexpr PackageKey kRawPackageKey = {
    0xCB, 0xF5, 0xFA, 0xEA, 0x02, 0x2D, 0xAC, 0x54, 0x55, 0xB6, 0x40, 0x81,
    0x28, 0xC4, 0x17, 0x42, 0x48, 0x02, 0xBE, 0x7B, 0x3E, 0x9C, 0xA2, 0x3B,
};

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

[[noreturn]] void CryptoFailure(const char* what)
{
    // libcrypto fails here only when it cannot allocate.
    throw std::runtime_error(what);
}

} // namespace

std::uint8_t WithOddParity(std::uint8_t byte)
{
    return std::popcount(byte) % 2 == 0 ? static_cast<std::uint8_t>(byte ^ 1) : byte;
}

const PackageKey& ThePackageKey()
{
    static const PackageKey key = [] {
        PackageKey k = kRawPackageKey;
        for (auto& b : k)
            b = WithOddParity(b);
        return k;
    }();
    return key;
}

PackageDigest ComputePackageDigest(ByteView bytes)
{
    PackageDigest md5{};
    unsigned md5Size = 0;
    if (!EVP_Digest(bytes.data(), bytes.size(), md5.data(), &md5Size, EVP_md5(), nullptr) ||
        md5Size != md5.size())
        CryptoFailure("MD5 failed");

    std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> ctx(EVP_CIPHER_CTX_new());
    if (!ctx || !EVP_EncryptInit_ex(ctx.get(), EVP_des_ede3_ecb(), nullptr, ThePackageKey().data(), nullptr) ||
        !EVP_CIPHER_CTX_set_padding(ctx.get(), 0))
        CryptoFailure("Triple DES setup failed");

    // ECB: the two halves are two independent blocks.
    PackageDigest digest{};
    int n = 0;
    if (!EVP_EncryptUpdate(ctx.get(), digest.data(), &n, md5.data(), static_cast<int>(md5.size())) ||
        n != static_cast<int>(digest.size()))
        CryptoFailure("Triple DES failed");
    return digest;
}
