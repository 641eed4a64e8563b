#include "shell/mav_exception.h"
#include "shell/sm_container.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>

namespace {

Bytes Text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

Bytes SampleData()
{
    Bytes data;
    for (int i = 0; i < 5000; ++i)
        data.push_back(static_cast<std::uint8_t>((i * 7919) >> 3));
    return data;
}

void PutU32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// What unpacking gives: the data, or the text of the failure.
std::string Outcome(const Bytes& container)
{
    try {
        Bytes out = UnpackContainerOrThrow(container);
        return "ok " + std::to_string(out.size());
    } catch (const CZipException& e) {
        return e.Text();
    }
}

const std::string kLength = "Bad compressed data length";
const std::string kHeader = "Bad compressed data header";
const std::string kNoRoom = "There was not enough room in the compress(uncompress) output buffer";
const std::string kCorrupt = "The compress(uncompress) input data was corrupted";

struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
    std::string expected;
};

TEST(SmContainer, UnpackRules)
{
    const Bytes data = SampleData();
    const Bytes good = PackContainer(data);
    const std::uint32_t packed = ReadU32LE(good.data() + 8);
    const std::string ok = "ok " + std::to_string(data.size());

    const Case cases[] = {
        {"intact", [](Bytes&) {}, ok},
        {"empty input", [](Bytes& b) { b.clear(); }, kLength},
        {"header only, 16 bytes", [](Bytes& b) { b.resize(16); }, kLength},
        {"15 bytes", [](Bytes& b) { b.resize(15); }, kLength},
        {"17 bytes", [](Bytes& b) { b.resize(17); }, kLength},
        {"magic sm", [](Bytes& b) { b[0] = 's'; }, kHeader},
        {"version 2", [](Bytes& b) { b[2] = 2; }, kHeader},
        {"fourth byte not zero", [](Bytes& b) { b[3] = 1; }, kHeader},
        {"bad header wins over short length", [](Bytes& b) { b[1] = 'X'; b.resize(17); }, kHeader},
        {"compressed size one too large", [&](Bytes& b) { PutU32(b, 8, packed + 1); }, kLength},
        {"compressed size wraps when 16 is added", [](Bytes& b) { PutU32(b, 8, 0xFFFFFFF0u); }, kLength},
        {"compressed size u32 max", [](Bytes& b) { PutU32(b, 8, 0xFFFFFFFFu); }, kLength},
        {"trailing bytes", [](Bytes& b) { b.insert(b.end(), 100, 0xAB); }, ok},
        {"wrong CRC", [](Bytes& b) { b[12] ^= 0xFF; }, ok},
        {"uncompressed size one too small", [&](Bytes& b) { PutU32(b, 4, static_cast<std::uint32_t>(data.size() - 1)); }, kNoRoom},
        {"uncompressed size 0", [](Bytes& b) { PutU32(b, 4, 0); }, kNoRoom},
        {"uncompressed size larger than the data", [&](Bytes& b) { PutU32(b, 4, static_cast<std::uint32_t>(data.size() + 10)); }, ok},
        {"uncompressed size above the cap", [](Bytes& b) { PutU32(b, 4, kMaxUnpackedSize + 1); }, kLength},
        {"uncompressed size beyond deflate's ratio", [&](Bytes& b) { PutU32(b, 4, packed * 1032 + 65); }, kLength},
        {"stream cut short", [&](Bytes& b) { PutU32(b, 8, packed - 5); }, kNoRoom},
        {"stream bytes corrupted", [](Bytes& b) { b[16] ^= 0xFF; }, kCorrupt},
        {"adler-32 trailer wrong", [](Bytes& b) { b.back() ^= 0x01; }, kCorrupt},
    };
    for (const Case& c : cases) {
        Bytes container = good;
        c.damage(container);
        EXPECT_EQ(Outcome(container), c.expected) << c.what;
    }
}

TEST(SmContainer, PackWritesHeaderAndRoundTrips)
{
    for (const Bytes& data : {Bytes{}, Text("x"), Text("hello, hello, hello"), SampleData()}) {
        Bytes container = PackContainer(data);
        ASSERT_GT(container.size(), kContainerHeaderSize);
        EXPECT_EQ(std::string(container.begin(), container.begin() + 4), std::string("SM\1\0", 4));
        EXPECT_EQ(ReadU32LE(container.data() + 4), data.size());
        EXPECT_EQ(ReadU32LE(container.data() + 8), container.size() - kContainerHeaderSize);
        EXPECT_EQ(ReadU32LE(container.data() + 12), crc32(0, data.data(), static_cast<uInt>(data.size())));
        std::optional<Bytes> back = UnpackContainer(container, true);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, data);
    }
}

TEST(SmContainer, ResultIsWhatZlibProduced)
{
    Bytes data = Text("twelve bytes");
    Bytes container = PackContainer(data);
    PutU32(container, 4, 4000);
    std::optional<Bytes> back = UnpackContainer(container, false);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, data);
}

TEST(SmContainer, FailureGivesNothingAndThrowsNothing)
{
    Bytes container = PackContainer(SampleData());
    container[2] = 2;
    std::optional<Bytes> result;
    EXPECT_NO_THROW(result = UnpackContainer(container, true));
    EXPECT_FALSE(result.has_value());
    EXPECT_NO_THROW(result = UnpackContainer(Bytes(16, 0), false));
    EXPECT_FALSE(result.has_value());
}

TEST(ZipException, TextForEachZlibCode)
{
    const std::pair<int, std::string> table[] = {
        {-5, kNoRoom},
        {-4, "There was not enough memory for compress(uncompress)"},
        {-3, kCorrupt},
        {-2, "The compress level parameter is invalid"},
        {-6, "Compression or uncompression failed"},
        {-1, "Compression or uncompression failed"},
        {2, "Compression or uncompression failed"},
    };
    for (const auto& [code, text] : table)
        EXPECT_EQ(CZipException(code).Text(), text) << code;
}

TEST(MavException, MessageIsCutToBufferAndTo255)
{
    CZipException e(-3);
    char buffer[11];
    unsigned help = 99;
    ASSERT_TRUE(e.GetErrorMessage(buffer, sizeof buffer, &help));
    EXPECT_STREQ(buffer, "The compre");
    EXPECT_EQ(help, 0u);
    EXPECT_EQ(e.ErrorMessage(), kCorrupt);

    CMavBaseException longText(std::string(400, 'x'));
    EXPECT_EQ(longText.Text().size(), 255u);
    EXPECT_EQ(longText.ErrorMessage(1000).size(), 255u);
}

} // namespace
