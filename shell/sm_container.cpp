#include "shell/sm_container.h"

#include "shell/mav_exception.h"
#include "shell/report_error.h"

#include <zlib.h>

#include <new>

namespace {

// Deflate cannot expand data by more than this ratio; a declared size beyond it
// can never be filled and would only make us allocate for nothing.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// One inflate call with the finish flag over exactly the given input, into
// exactly out.size() bytes. A short output buffer and a cut-off stream both end
// in Z_BUF_ERROR.
std::size_t InflateOnce(const std::uint8_t* in, std::uint32_t inSize, Bytes& out)
{
    z_stream stream{};
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = inSize;
    // zlib treats a null output pointer as an error even with no room asked for.
    Bytef spare = 0;
    stream.next_out = out.empty() ? &spare : out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    int rc = inflateInit(&stream);
    if (rc != Z_OK)
        throw CZipException(rc);
    rc = inflate(&stream, Z_FINISH);
    std::size_t produced = stream.total_out;
    inflateEnd(&stream);
    if (rc != Z_STREAM_END)
        throw CZipException(rc == Z_OK ? Z_BUF_ERROR : rc);
    return produced;
}

} // namespace

Bytes UnpackContainerOrThrow(ByteView container)
{
    if (container.size() <= kContainerHeaderSize)
        throw CZipException("Bad compressed data length");
    const std::uint8_t* p = container.data();
    if (p[0] != 'S' || p[1] != 'M' || p[2] != 1 || p[3] != 0)
        throw CZipException("Bad compressed data header");
    std::uint32_t unpackedSize = ReadU32LE(p + 4);
    std::uint32_t packedSize = ReadU32LE(p + 8);
    // 64-bit arithmetic: packedSize + 16 must not wrap around.
    if (container.size() - kContainerHeaderSize < packedSize)
        throw CZipException("Bad compressed data length");
    if (unpackedSize > kMaxUnpackedSize || unpackedSize > kMaxDeflateRatio * packedSize + 64)
        throw CZipException("Bad compressed data length");

    Bytes out;
    try {
        out.resize(unpackedSize);
    } catch (const std::bad_alloc&) {
        throw CZipException(Z_MEM_ERROR);
    }
    out.resize(InflateOnce(p + kContainerHeaderSize, packedSize, out));
    return out;
}

std::optional<Bytes> UnpackContainer(ByteView container, bool reportErrors)
{
    try {
        return UnpackContainerOrThrow(container);
    } catch (const CException& error) {
        if (reportErrors)
            ReportError(error);
        return std::nullopt;
    }
}

Bytes PackContainer(ByteView data)
{
    // The reader refuses anything larger.
    if (data.size() > kMaxUnpackedSize)
        throw CZipException("Data too large for a container");
    uLongf packedSize = compressBound(static_cast<uLong>(data.size()));
    Bytes out(kContainerHeaderSize + packedSize);
    int rc = compress(out.data() + kContainerHeaderSize, &packedSize, data.data(),
                      static_cast<uLong>(data.size()));
    if (rc != Z_OK)
        throw CZipException(rc);
    out.resize(kContainerHeaderSize + packedSize);

    Bytes header = {'S', 'M'};
    AppendU16LE(header, 1);
    AppendU32LE(header, static_cast<std::uint32_t>(data.size()));
    AppendU32LE(header, static_cast<std::uint32_t>(packedSize));
    AppendU32LE(header, static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
    std::copy(header.begin(), header.end(), out.begin());
    return out;
}
