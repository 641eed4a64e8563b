#include "shell/identity.h"
#include "shell/package_digest.h"

#include <gtest/gtest.h>
#include <openssl/md5.h>
#include <openssl/des.h>

#include <bit>
#include <cstring>
#include <string>

namespace {

Bytes Text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

TEST(PackageDigest, OddParity)
{
    const std::pair<std::uint8_t, std::uint8_t> table[] = {
        {0x00, 0x01}, {0x01, 0x01}, {0x03, 0x02}, {0x80, 0x80}, {0xFE, 0xFE}, {0xFF, 0xFE}, {0x7E, 0x7F},
    };
    for (const auto& [in, out] : table)
        EXPECT_EQ(WithOddParity(in), out) << int(in);
    for (std::uint8_t b : ThePackageKey())
        EXPECT_EQ(std::popcount(b) % 2, 1) << int(b);
}

// The digest is fixed by the key: packaged identities and encrypted texts of
// existing screensavers depend on these values never changing.
TEST(PackageDigest, KnownAnswers)
{
    auto hex = [](const PackageDigest& d) {
        std::string s;
        for (std::uint8_t b : d) {
            s += "0123456789abcdef"[b >> 4];
            s += "0123456789abcdef"[b & 15];
        }
        return s;
    };
    EXPECT_EQ(hex(ComputePackageDigest({})), "e6cf69e1aad1302e4f7714bab0d7fb6b");
    EXPECT_EQ(hex(ComputePackageDigest(Text("Acme/Sample Saver"))), "d94e70bc0e96417b3c264238dabcb93b");
}

// MD5, then each half as its own Triple DES block with the key's thirds as the
// three DES keys in order (checked against the classic DES interface).
TEST(PackageDigest, IsTripleDesOfEachMd5Half)
{
    Bytes data = Text("The quick brown fox jumps over the lazy dog");
    unsigned char md5[16];
    MD5(data.data(), data.size(), md5);
    DES_key_schedule schedules[3];
    for (int i = 0; i < 3; ++i) {
        DES_cblock key;
        std::memcpy(key, ThePackageKey().data() + 8 * i, 8);
        DES_set_key_unchecked(&key, &schedules[i]);
    }
    PackageDigest expected{};
    for (int half = 0; half < 2; ++half) {
        DES_cblock in, out;
        std::memcpy(in, md5 + 8 * half, 8);
        DES_ecb3_encrypt(&in, &out, &schedules[0], &schedules[1], &schedules[2], DES_ENCRYPT);
        std::memcpy(expected.data() + 8 * half, out, 8);
    }
    EXPECT_EQ(ComputePackageDigest(data), expected);
}

TEST(Identity, RoundTrip)
{
    for (std::u16string text : {u"Acme/Sample Saver", u"", u"No slash", u"Caf\u00e9 \u20ac/\u00dcber"}) {
        Bytes resource = MakeIdentity(text);
        EXPECT_EQ(resource.size(), 2 * (text.size() + 1) + 32);
        std::optional<std::u16string> back = ValidateIdentity(resource);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, text);
    }
}

TEST(Identity, AnyChangedByteFails)
{
    const Bytes good = MakeIdentity(u"Acme/Sample Saver");
    for (std::size_t i = 0; i < good.size(); ++i) {
        Bytes bad = good;
        bad[i] ^= 0x01;
        EXPECT_FALSE(ValidateIdentity(bad).has_value()) << "byte " << i;
    }
}

// A resource whose digest matches but that has no room for a text, or whose
// text runs into the reserved bytes.
TEST(Identity, ShapeRules)
{
    auto withDigest = [](Bytes body) {
        PackageDigest d = ComputePackageDigest(body);
        body.insert(body.end(), d.begin(), d.end());
        return body;
    };
    EXPECT_FALSE(ValidateIdentity({}).has_value());
    EXPECT_FALSE(ValidateIdentity(withDigest(Bytes(16, 0))).has_value()) << "32 bytes";
    EXPECT_FALSE(ValidateIdentity(withDigest(Bytes(17, 0))).has_value()) << "no whole text unit";

    EXPECT_EQ(ValidateIdentity(withDigest(Bytes(18, 0))), std::u16string()) << "empty text";
    Bytes noNul = Text("AB");  // "\u4241" then the reserved bytes: no NUL in the text area
    noNul.insert(noNul.end(), 16, 0);
    EXPECT_FALSE(ValidateIdentity(withDigest(noNul)).has_value());

    Bytes oddText = {'A', 0, 0, 0, 'x'};  // "A", NUL, then one odd byte before the reserved bytes
    oddText.insert(oddText.end(), 16, 0xEE);
    EXPECT_EQ(ValidateIdentity(withDigest(oddText)), u"A");
}

} // namespace
