// Script streams: the compiler's byte sources and sinks.
//
//   string source  a NUL-terminated text owned by the caller
//   memory sink    a growable buffer
//   file source    a file opened for binary reading, read through a 4096-byte buffer
//
// Reading yields the bytes, then 0 for ever (a 0 byte inside a source ends it
// for the lexer). Pushed-back bytes come back last in, first out, without limit.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zelph {

struct Context;

class ScriptStream {
public:
    enum class Kind { kStringSource = 0, kMemorySink = 1, kFileSource = 2 };

    // A string source over text (not copied: it must outlive the stream).
    static std::unique_ptr<ScriptStream> OpenString(std::string_view text);
    static std::unique_ptr<ScriptStream> OpenSink();
    // Null when the file cannot be opened; then "can't open the script file: ",
    // the name and a line feed are appended to the context's message buffer.
    static std::unique_ptr<ScriptStream> OpenFile(Context* ctx, const std::string& path);
    ~ScriptStream();
    ScriptStream(const ScriptStream&) = delete;
    ScriptStream& operator=(const ScriptStream&) = delete;

    int ReadByte()
    {
        if (!pushedBack_.empty()) {
            int c = pushedBack_.back();
            pushedBack_.pop_back();
            return c;
        }
        if (position_ < length_)
            return data_[position_++];
        return Refill();
    }
    void PushBack(int c)
    {
        // Giving back the byte just read is a step back in the data.
        if (pushedBack_.empty() && position_ > 0 && data_[position_ - 1] == static_cast<std::uint8_t>(c)) {
            --position_;
            return;
        }
        pushedBack_.push_back(static_cast<std::uint8_t>(c));
    }
    // The bytes that the next reads will yield straight from the buffer (none
    // while bytes are pushed back), and a step over n of them.
    std::string_view Buffered() const
    {
        if (!pushedBack_.empty())
            return {};
        return {reinterpret_cast<const char*>(data_) + position_, length_ - position_};
    }
    void Skip(std::size_t n) { position_ += n; }

    // Sources go back to the start and forget pushed-back bytes.
    bool Rewind();
    void Close();

    // The formatted write; one letter per item (case does not matter):
    //   a int (decimal text)      b int n, const void* (n bytes)  c int (a byte)
    //   d double (8 bytes, LE)    f double ("%f" text)            i int (2 bytes, BE)
    //   l int (4 bytes, BE)       s const char* (the text)        x int n, const void* (n BE, n bytes)
    void Write(const char* descriptor, ...);
    void WriteBytes(const void* data, std::size_t n);
    void WriteByte(std::uint8_t b);

    Kind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    // A sink's contents.
    const std::vector<std::uint8_t>& buffer() const { return sink_; }
    std::vector<std::uint8_t>& buffer() { return sink_; }

    int line = 0;  // the lexer counts line feeds here

private:
    explicit ScriptStream(Kind kind) : kind_(kind) {}
    int Refill();

    Kind kind_;
    std::string name_;
    const std::uint8_t* data_ = nullptr;  // string text, or the file buffer
    std::size_t length_ = 0;
    std::size_t position_ = 0;
    bool ended_ = false;                  // a file source has read its last block
    std::vector<std::uint8_t> pushedBack_;
    std::vector<std::uint8_t> sink_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<std::uint8_t[]> fileBuffer_;
};

// Opens a file by its 8-bit name (the ANSI code page on Windows), for binary
// reading.
std::FILE* OpenFileForReading(const std::string& path);

} // namespace zelph
