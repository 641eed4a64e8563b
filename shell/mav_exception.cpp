#include "shell/mav_exception.h"

#include "shell/last_error.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t kMaxText = 255;
}

CMavBaseException::CMavBaseException() : CMavBaseException(LastErrorText()) {}

CMavBaseException::CMavBaseException(std::string text) : text_(std::move(text))
{
    if (text_.size() > kMaxText)
        text_.resize(kMaxText);
}

bool CMavBaseException::GetErrorMessage(char* buffer, unsigned size, unsigned* helpContext) const
{
    if (helpContext)
        *helpContext = 0;
    if (!buffer || size == 0)
        return false;
    std::size_t n = std::min<std::size_t>(text_.size(), size - 1);
    std::memcpy(buffer, text_.data(), n);
    buffer[n] = '\0';
    return true;
}

const char* CZipException::ZlibCodeText(int zlibCode)
{
    // zlib's Z_BUF_ERROR, Z_MEM_ERROR, Z_DATA_ERROR and Z_STREAM_ERROR.
    switch (zlibCode) {
    case -5: return "There was not enough room in the compress(uncompress) output buffer";
    case -4: return "There was not enough memory for compress(uncompress)";
    case -3: return "The compress(uncompress) input data was corrupted";
    case -2: return "The compress level parameter is invalid";
    default: return "Compression or uncompression failed";
    }
}
