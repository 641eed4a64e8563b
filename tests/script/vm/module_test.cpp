#include "tests/script/vm/interp_test_util.h"

#include "script/vm/code_object.h"
#include "script/vm/module.h"

#include <random>

namespace zelph::test {
namespace {

class Modules : public InterpTest {
protected:
    // A module whose every part is used: constants of each type, two
    // functions, jumps, debug records.
    std::vector<std::uint8_t> Sample()
    {
        return Assemble(R"(
.file sample.zps
.function helper
.line 3
    GETARG 1
    ADD2
    ENTER 3
    GETARG 2
    JT yes
    PUSHCONST "no"
    RET
yes:
    PUSHCONST 2.5
    RET
.function .main
.line 7
    PUSHCONST nan
    POP
    PUSHCONST null
    POP
    PUSHCONST 123456789012
    POP
    PUSHCONST true
    POP
    PUSHCONST regexp:3:a+b
    POP
    PUSHCONST atom:@F_0
    POP
    PUSHTRUE
    PUSH1
    GETGLOBAL helper
    CALL
    STOREDROP 3
    SETGLOBAL answer
    PUSHINT 1
)");
    }

    // Loads bytes that must be refused: no crash, no read outside, a failure.
    void ExpectRefused(const std::vector<std::uint8_t>& bytes, const std::string& what)
    {
        std::unique_ptr<Module> m = ReadModuleFromMemory(bytes);
        if (m) {
            EXPECT_FALSE(LoadModule(ctx, *m, LoadMode::kLinkOnly)) << what;
        }
    }
};

TEST_F(Modules, TheSampleLoadsAndRuns)
{
    std::vector<std::uint8_t> bytes = Sample();
    ASSERT_TRUE(RunBytes(bytes)) << Message(ctx);
    EXPECT_EQ(Describe(Global("answer")), "float:2.5");
    EXPECT_EQ(Describe(ctx->result), "int:1");
    CodeObject* helper = Global("helper").c->code;
    EXPECT_EQ(helper->name, "helper");
    EXPECT_EQ(helper->fileName, "sample.zps");
    // The record at .main's first byte is also the end of helper: its HALT.
    ASSERT_EQ(helper->lines.size(), 2u);
    EXPECT_EQ(helper->lines[0].line, 3u);
    EXPECT_EQ(helper->lines[0].slot, 0u);
    EXPECT_EQ(helper->lines[1].line, 7u);
    EXPECT_EQ(helper->lines[1].slot, helper->slots.size() - 1);
}

TEST_F(Modules, ReadersRejectBrokenTables)
{
    std::vector<std::uint8_t> good = Sample();
    auto with = [&](std::size_t at, std::uint32_t value) {
        std::vector<std::uint8_t> b = good;
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return b;
    };
    EXPECT_TRUE(ReadModuleFromMemory(good));
    EXPECT_FALSE(ReadModuleFromMemory(with(0, 0x31505A5A))) << "magic";
    EXPECT_FALSE(ReadModuleFromMemory(with(8, 0xFFFFFFF0))) << "offset far past the data";
    EXPECT_FALSE(ReadModuleFromMemory(with(12, 0xFFFFFFF0))) << "size wraps offset + size";
    EXPECT_FALSE(ReadModuleFromMemory(with(8, 4))) << "a section inside the header";
    std::vector<std::uint8_t> noTerminator(good.begin(), good.begin() + 52);
    EXPECT_FALSE(ReadModuleFromMemory(noTerminator));
    EXPECT_FALSE(ReadModuleFromMemory(std::vector<std::uint8_t>{'Z', 'P', '1', 'b'}));
}

TEST_F(Modules, EveryTruncationFails)
{
    std::vector<std::uint8_t> good = Sample();
    for (std::size_t n = 0; n < good.size(); ++n)
        ExpectRefused(std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(n)),
                      "cut at " + std::to_string(n));
}

TEST_F(Modules, RandomBytesNeverCrash)
{
    std::mt19937 random(7);
    std::vector<std::uint8_t> good = Sample();
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> bytes = good;
        int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i)
            bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
        std::unique_ptr<Module> m = ReadModuleFromMemory(bytes);
        if (m) {
            LoadModule(ctx, *m, LoadMode::kLinkOnly);  // either result; never a crash
        }
    }
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> bytes(random() % 200);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random());
        ExpectRefused(bytes, "random");
    }
}

TEST_F(Modules, LinkerRefusals)
{
    const char* cases[][2] = {
        {"operand cut off by the end of the function", ".function .main\n.byte 0x59 0 0"},
        {"jump past the end", ".function .main\nJMP end\n.function other\nNOP\nend:\nNOP"},
        {"jump into an operand", ".function .main\n.byte 0x35 0xFF 0xFF 0xFF 0xFC"},
        {"atom operand naming a string constant", ".function .main\nPUSHCONST \"x\"\n.byte 0x58 0 0 0 0"},
        {"constant index out of range", ".function .main\n.byte 0x62 0 0 0 9"},
    };
    for (auto& [what, listing] : cases) {
        ASSERT_FALSE(Run(listing)) << what;
        EXPECT_STREQ(Message(ctx), "Runtime error: Unimplemented Zelph Script bytecode") << what;
    }
}

TEST_F(Modules, MissingSectionsAndBadRecords)
{
    std::vector<std::uint8_t> good = Sample();
    std::unique_ptr<Module> m = ReadModuleFromMemory(good);
    for (std::uint8_t kind : {kCodeSection, kFunctionSection}) {
        Module copy = *m;
        std::erase_if(copy.sections, [kind](const Module::Section& s) { return s.kind == kind; });
        EXPECT_FALSE(LoadModule(ctx, copy));
        EXPECT_STREQ(Message(ctx), "Runtime error: Unimplemented Zelph Script bytecode");
    }
    Module badConstant = *m;
    for (auto& s : badConstant.sections)
        if (s.kind == kConstantSection)
            s.data.insert(s.data.begin(), 0x42);
    EXPECT_FALSE(LoadModule(ctx, badConstant));
    EXPECT_STREQ(Message(ctx), "Runtime error: ");
    EXPECT_EQ(TakeTrace(), "Unimplemented Zelph Script bytecode\r\n");

    Module badDebug = *m;
    for (auto& s : badDebug.sections)
        if (s.kind == kDebugSection)
            s.data.push_back(9);
    EXPECT_FALSE(LoadModule(ctx, badDebug));
    EXPECT_STREQ(Message(ctx), "Runtime error: Unimplemented Zelph Script bytecode");

    // Offsets that go backwards: "a" at 4, then "b" at 2.
    Module backwards = *m;
    for (auto& s : backwards.sections)
        if (s.kind == kFunctionSection)
            s.data = {0, 0, 0, 2, 'a', 0, 0, 0, 0, 4, 'b', 0, 0, 0, 0, 2};
    EXPECT_FALSE(LoadModule(ctx, backwards));
    EXPECT_STREQ(Message(ctx), "Runtime error: Unimplemented Zelph Script bytecode");
}

// A cached module run again appends nothing and keeps its names.
TEST_F(Modules, ReloadKeepsConstantsAndAnonymousNames)
{
    std::vector<std::uint8_t> bytes = Assemble(R"(
.function .main
    PUSHCONST "text"
    POP
    PUSH0
    GETGLOBAL @F_0
    CALL
    STOREDROP 2
.function @F_0
    PUSHCONST atom:@F_0
    RET
)");
    ASSERT_TRUE(Run(".function @F_0\nPUSH0\nRET"));  // takes the name @F_0
    std::unique_ptr<Module> m = ReadModuleFromMemory(bytes);
    ASSERT_TRUE(LoadModule(ctx, *m)) << Message(ctx);
    EXPECT_EQ(Text(ctx->result), u"@F_1");
    std::size_t constants = ctx->constants.size();
    std::uint32_t anonymous = ctx->anonymousFunctions;
    ASSERT_TRUE(LoadModule(ctx, *m)) << Message(ctx);
    EXPECT_EQ(Text(ctx->result), u"@F_1");
    EXPECT_EQ(ctx->constants.size(), constants);
    EXPECT_EQ(ctx->anonymousFunctions, anonymous);
    EXPECT_TRUE(m->loaded);
    EXPECT_EQ(m->constantBase + m->constantCount, constants);
}

// A module in a file, after a comment line.
TEST_F(Modules, ReadFromAFile)
{
    std::vector<std::uint8_t> bytes = Sample();
    std::FILE* f = std::tmpfile();
    ASSERT_TRUE(f);
    std::fputs("#!/usr/bin/zelph\n", f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    std::unique_ptr<Module> m = ReadModuleFromFile(f);
    std::fclose(f);
    ASSERT_TRUE(m);
    ASSERT_TRUE(LoadModule(ctx, *m)) << Message(ctx);
    EXPECT_EQ(Describe(Global("answer")), "float:2.5");
}

} // namespace
} // namespace zelph::test
