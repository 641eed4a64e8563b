#include "tests/script/compiler/front_end_util.h"

#include "script/vm/error.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace zelph::test {
namespace {

class Streams : public FrontEndTest {};

TEST_F(Streams, StringSourceReadsThenZeros)
{
    auto s = ScriptStream::OpenString("ab");
    EXPECT_EQ(s->ReadByte(), 'a');
    s->PushBack('x');
    s->PushBack('y');
    EXPECT_EQ(s->ReadByte(), 'y');
    EXPECT_EQ(s->ReadByte(), 'x');
    EXPECT_EQ(s->ReadByte(), 'b');
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(s->ReadByte(), 0);
    EXPECT_TRUE(s->Rewind());
    EXPECT_EQ(s->ReadByte(), 'a');
    EXPECT_EQ(s->name(), "string");
}

TEST_F(Streams, FileOfExactlyOneBlock)
{
    std::filesystem::path path = std::filesystem::temp_directory_path() / "zelph_stream_4096.zps";
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 4096; ++i)
            out.put(static_cast<char>('a' + i % 26));
    }
    auto s = ScriptStream::OpenFile(ctx, path.string());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->name(), path.string());
    int count = 0;
    int c;
    while ((c = s->ReadByte()) != 0) {
        EXPECT_EQ(c, 'a' + count % 26);
        ++count;
    }
    EXPECT_EQ(count, 4096);
    EXPECT_EQ(s->ReadByte(), 0);
    EXPECT_TRUE(s->Rewind());
    EXPECT_EQ(s->ReadByte(), 'a');
    s->Close();
    std::filesystem::remove(path);
}

TEST_F(Streams, MissingFileLeavesAMessage)
{
    SetMessage(ctx, "before ");
    EXPECT_FALSE(ScriptStream::OpenFile(ctx, "/no/such/dir/x.zps"));
    EXPECT_STREQ(Message(ctx), "before can't open the script file: /no/such/dir/x.zps\n");
}

TEST_F(Streams, FormattedWrites)
{
    auto sink = ScriptStream::OpenSink();
    sink->Write("cls", 1, 3, "abc");
    EXPECT_EQ(sink->buffer(), (std::vector<std::uint8_t>{1, 0, 0, 0, 3, 'a', 'b', 'c'}));
    sink->buffer().clear();
    sink->Write("X", 2, "hi");
    EXPECT_EQ(sink->buffer(), (std::vector<std::uint8_t>{0, 0, 0, 2, 'h', 'i'}));
    sink->buffer().clear();
    sink->Write("aIbF", -42, 0x1234, 2, "xyz", 0.5);
    EXPECT_EQ(std::string(sink->buffer().begin(), sink->buffer().end()), std::string("-42\x12\x34xy0.500000"));
    sink->buffer().clear();
    sink->Write("d", 1.0);
    EXPECT_EQ(sink->buffer(), (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
}

TEST_F(Streams, DiagnosticLines)
{
    auto source = ScriptStream::OpenString("");
    CompilerState state(ctx, source.get(), 0);
    ReportWarning(state, 2, "missing ;");
    EXPECT_THROW(ReportError(state, 4, "syntax error: %s", "invalid throw"), CompileAbort);
    std::string long300(300, 'x');
    EXPECT_THROW(ReportError(state, 0, "%s", long300.c_str()), CompileAbort);
    std::string text(state.diagnostics->buffer().begin(), state.diagnostics->buffer().end());
    EXPECT_EQ(text, "warning: line 2: missing ;\r\nerror: line 4: syntax error: invalid throw\r\n"
                    "error: line 0: " + std::string(255, 'x') + "\r\n");
}

} // namespace
} // namespace zelph::test
