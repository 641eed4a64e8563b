// The SM container: the compressed envelope of packaged resources.
//
//   offset 0   "SM"                 magic
//          2   u16 1                version; no other is accepted
//          4   u32 uncompressed size
//          8   u32 compressed size  length of the zlib stream that follows
//         12   u32 CRC-32           of the uncompressed data; written, never checked
//         16   zlib stream          as made by zlib's compress; bytes after it are ignored
//
// All integers little-endian.
#pragma once

#include "shell/byte_io.h"

#include <optional>

inline constexpr std::size_t kContainerHeaderSize = 16;

// Unpacked sizes above this are refused before anything is allocated: no packaged
// resource comes near it.
inline constexpr std::uint32_t kMaxUnpackedSize = 256u << 20;

// Unpacks a container. Throws CZipException with the container's or zlib's text.
// The result holds the bytes zlib actually produced.
Bytes UnpackContainerOrThrow(ByteView container);

// Unpacks a container and never throws: a failure returns nothing and, when
// reportErrors is set, is shown with ReportError.
std::optional<Bytes> UnpackContainer(ByteView container, bool reportErrors);

// Makes a container of data (zlib compress, CRC-32). Throws CZipException.
Bytes PackContainer(ByteView data);
