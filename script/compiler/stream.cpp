#include "script/compiler/stream.h"

#include "script/vm/ansi.h"
#include "script/vm/context.h"
#include "script/vm/error.h"

#include <charconv>
#include <cstdarg>
#include <cstring>

namespace zelph {
namespace {

constexpr std::size_t kFileBlock = 4096;
constexpr std::size_t kSinkStep = 64;

} // namespace

std::FILE* OpenFileForReading(const std::string& path)
{
#ifdef _WIN32
    std::u16string wide = AnsiToWide(path);
    return _wfopen(reinterpret_cast<const wchar_t*>(wide.c_str()), L"rb");
#else
    return std::fopen(path.c_str(), "rb");
#endif
}

std::unique_ptr<ScriptStream> ScriptStream::OpenString(std::string_view text)
{
    std::unique_ptr<ScriptStream> s(new ScriptStream(Kind::kStringSource));
    s->name_ = "string";
    s->data_ = reinterpret_cast<const std::uint8_t*>(text.data());
    s->length_ = text.size();
    return s;
}

std::unique_ptr<ScriptStream> ScriptStream::OpenSink()
{
    std::unique_ptr<ScriptStream> s(new ScriptStream(Kind::kMemorySink));
    s->name_ = "string";
    return s;
}

std::unique_ptr<ScriptStream> ScriptStream::OpenFile(Context* ctx, const std::string& path)
{
    std::FILE* f = OpenFileForReading(path);
    if (!f) {
        std::string text = std::string(Message(ctx)) + "can't open the script file: " + path + "\n";
        SetMessage(ctx, text);
        return nullptr;
    }
    std::unique_ptr<ScriptStream> s(new ScriptStream(Kind::kFileSource));
    s->name_ = path;
    s->file_ = f;
    s->fileBuffer_ = std::make_unique<std::uint8_t[]>(kFileBlock + 1);
    s->data_ = s->fileBuffer_.get();
    return s;
}

ScriptStream::~ScriptStream()
{
    Close();
}

int ScriptStream::Refill()
{
    if (kind_ != Kind::kFileSource || !file_ || ended_)
        return 0;
    std::size_t n = std::fread(fileBuffer_.get(), 1, kFileBlock, file_);
    if (n < kFileBlock)
        ended_ = true;  // the end of the file reads as 0 from here on
    length_ = n;
    position_ = 0;
    if (n == 0)
        return 0;
    return data_[position_++];
}

bool ScriptStream::Rewind()
{
    if (kind_ == Kind::kMemorySink)
        return false;
    pushedBack_.clear();
    position_ = 0;
    if (kind_ == Kind::kFileSource && file_) {
        std::rewind(file_);
        length_ = 0;
        ended_ = false;
    }
    return true;
}

void ScriptStream::Close()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
        pushedBack_ = {};
    }
}

void ScriptStream::WriteBytes(const void* data, std::size_t n)
{
    if (kind_ != Kind::kMemorySink || n == 0)
        return;
    std::size_t needed = sink_.size() + n;
    if (needed > sink_.capacity())
        sink_.reserve((needed / kSinkStep + 1) * kSinkStep);
    const auto* p = static_cast<const std::uint8_t*>(data);
    sink_.insert(sink_.end(), p, p + n);
}

void ScriptStream::WriteByte(std::uint8_t b)
{
    if (kind_ != Kind::kMemorySink)
        return;
    if (sink_.size() == sink_.capacity())
        sink_.reserve(sink_.size() + 128);
    sink_.push_back(b);
}

void ScriptStream::Write(const char* descriptor, ...)
{
    va_list args;
    va_start(args, descriptor);
    auto bigEndian = [this](std::uint32_t v, int bytes) {
        for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
            WriteByte(static_cast<std::uint8_t>(v >> shift));
    };
    for (const char* d = descriptor; *d; ++d) {
        switch (*d | 0x20) {
        case 'a': {
            char text[16];
            auto r = std::to_chars(text, text + sizeof text, va_arg(args, int));
            WriteBytes(text, static_cast<std::size_t>(r.ptr - text));
            break;
        }
        case 'b': {
            int n = va_arg(args, int);
            const void* p = va_arg(args, const void*);
            WriteBytes(p, static_cast<std::size_t>(n));
            break;
        }
        case 'c':
            WriteByte(static_cast<std::uint8_t>(va_arg(args, int)));
            break;
        case 'd': {
            double v = va_arg(args, double);
            std::uint8_t bytes[8];
            std::uint64_t bits;
            std::memcpy(&bits, &v, 8);
            for (int i = 0; i < 8; ++i)
                bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
            WriteBytes(bytes, 8);
            break;
        }
        case 'f': {
            char text[400];
            auto r = std::to_chars(text, text + sizeof text, va_arg(args, double), std::chars_format::fixed, 6);
            WriteBytes(text, static_cast<std::size_t>(r.ptr - text));
            break;
        }
        case 'i':
            bigEndian(static_cast<std::uint32_t>(va_arg(args, int)), 2);
            break;
        case 'l':
            bigEndian(static_cast<std::uint32_t>(va_arg(args, int)), 4);
            break;
        case 's': {
            const char* s = va_arg(args, const char*);
            WriteBytes(s, std::strlen(s));
            break;
        }
        case 'x': {
            int n = va_arg(args, int);
            const void* p = va_arg(args, const void*);
            bigEndian(static_cast<std::uint32_t>(n), 4);
            WriteBytes(p, static_cast<std::size_t>(n));
            break;
        }
        default:
            break;
        }
    }
    va_end(args);
}

} // namespace zelph
