// Packaged resources read back from a real executable: a copy of this test
// program, packaged by the packager and loaded as a data module.
#include "framework/app.h"
#include "shell/identity.h"
#include "shell/mav_exception.h"
#include "shell/report_error_win.h"
#include "shell/resources_win.h"
#include "shell/sm_container.h"
#include "tools/scrpack/packager_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

Bytes Text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

Bytes Movie()
{
    Bytes data;
    for (int i = 0; i < 20000; ++i)
        data.push_back(static_cast<std::uint8_t>(i % 251));
    return data;
}

std::u16string U16(const fs::path& p)
{
    return p.u16string();
}

fs::path ThisProgram()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

struct ModuleFree {
    void operator()(HMODULE m) const { FreeLibrary(m); }
};
using Module = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

class PackagedResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() /
               ("zelph-res-" + std::to_string(GetCurrentProcessId()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        modules_.clear();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Packages the resources into a copy of this program and opens the result.
    HMODULE Package(std::vector<PackageResource> resources, const fs::path& runtime = ThisProgram())
    {
        fs::path out = dir_ / ("packaged" + std::to_string(modules_.size()) + ".exe");
        PackageExecutable({U16(runtime), U16(out), std::move(resources)});
        outputs_.push_back(out);
        modules_.emplace_back(LoadLibraryExW(out.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        EXPECT_TRUE(modules_.back()) << out;
        return modules_.back().get();
    }

    fs::path dir_;
    std::vector<fs::path> outputs_;
    std::vector<Module> modules_;
};

TEST_F(PackagedResources, IdentityTextComesBackInTheAnsiCodePage)
{
    HMODULE m = Package({{u"VEXPAK", u"ID", MakeIdentity(u"Caf\u00e9 Soft/Sample Saver")}});
    std::string text;
    ASSERT_TRUE(CheckIdentity(text, m));
    EXPECT_EQ(text, "Caf\xe9 Soft/Sample Saver");  // code page 1252
}

TEST_F(PackagedResources, IdentityFailures)
{
    Bytes good = MakeIdentity(u"Acme/Sample");
    Bytes changed = good;
    changed[3] ^= 0x20;
    Bytes digestOnly(good.end() - 32, good.end());  // 32 bytes

    std::string text = "unchanged";
    EXPECT_FALSE(CheckIdentity(text, Package({})));
    EXPECT_FALSE(CheckIdentity(text, Package({{u"VEXPAK", u"ID", changed}})));
    EXPECT_FALSE(CheckIdentity(text, Package({{u"VEXPAK", u"ID", digestOnly}})));
    EXPECT_FALSE(CheckIdentity(text, Package({{u"VEXPAK", u"NOTID", good}})));
    EXPECT_EQ(text, "unchanged");
}

TEST_F(PackagedResources, RawAndPackedResourcesRoundTrip)
{
    Bytes movie = Movie();
    HMODULE m = Package({
        {u"VEXPAK", u"ML", PackContainer(movie)},
        {u"VEXPAK", u"CS", Text("0123456789abcdef")},
        {u"Zelph", u"Initialize", PackContainer(Text("module bytes"))},
    });
    EXPECT_EQ(LoadRawResource("CS", "VEXPAK", m), Text("0123456789abcdef"));
    EXPECT_EQ(LoadPackedResource("ML", "VEXPAK", true, m), movie);
    // Types and names are matched without regard to case.
    EXPECT_EQ(LoadPackedResource("INITIALIZE", "ZELPH", true, m), Text("module bytes"));
    EXPECT_EQ(LoadPackedResource("initialize", "zelph", true, m), Text("module bytes"));
}

TEST_F(PackagedResources, MissingResourceRaisesTheSystemText)
{
    HMODULE m = Package({{u"VEXPAK", u"CS", Text("x")}});
    for (auto [name, type] : {std::pair{"ML", "VEXPAK"}, std::pair{"ML", "NOSUCHTYPE"}}) {
        try {
            LoadRawResource(name, type, m);
            ADD_FAILURE() << "no exception for " << type << "/" << name;
        } catch (const CMavBaseException& e) {
            EXPECT_FALSE(e.Text().empty());
            EXPECT_EQ(e.Text().find("Unknown error"), std::string::npos) << e.Text();
        }
        EXPECT_THROW(LoadPackedResource(name, type, true, m), CMavBaseException);
    }
}

BOOL CALLBACK CountLanguage(HMODULE, LPCSTR, LPCSTR, WORD, LONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST_F(PackagedResources, RepackagingReplaces)
{
    HMODULE first = Package({{u"VEXPAK", u"ID", MakeIdentity(u"Old/Name")}, {u"VEXPAK", u"CS", Text("one")}});
    (void)first;
    HMODULE second = Package({{u"vexpak", u"id", MakeIdentity(u"New/Name")}}, outputs_.back());
    std::string text;
    ASSERT_TRUE(CheckIdentity(text, second));
    EXPECT_EQ(text, "New/Name");
    EXPECT_EQ(LoadRawResource("CS", "VEXPAK", second), Text("one"));

    int languages = 0;
    EnumResourceLanguagesA(second, "VEXPAK", "ID", CountLanguage, reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, 1);
}

// Damaged containers: reported through the main window when there is one,
// silently dropped otherwise, and never half used.
struct Shown {
    static inline std::vector<std::pair<std::string, std::string>> boxes;
    static void Hook(const std::string& text, const std::string& caption) { boxes.emplace_back(text, caption); }
};

TEST_F(PackagedResources, DamagedContainerIsReportedOnlyWithAMainWindow)
{
    Bytes damaged = PackContainer(Movie());
    damaged[2] = 2;
    HMODULE m = Package({{u"VEXPAK", u"BK", damaged}});
    Shown::boxes.clear();
    SetErrorBoxHook(&Shown::Hook);

    CWinApp app;
    EXPECT_FALSE(LoadPackedResource("BK", "VEXPAK", true, m).has_value());
    EXPECT_TRUE(Shown::boxes.empty()) << "no main window yet";

    HWND window = CreateWindowExA(0, "STATIC", "Sample Saver", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    app.SetMainWindow(window);
    EXPECT_FALSE(LoadPackedResource("BK", "VEXPAK", false, m).has_value());
    EXPECT_TRUE(Shown::boxes.empty()) << "silent form";
    EXPECT_FALSE(LoadPackedResource("BK", "VEXPAK", true, m).has_value());
    ASSERT_EQ(Shown::boxes.size(), 1u);
    EXPECT_EQ(Shown::boxes[0].first, "Bad compressed data header");
    EXPECT_EQ(Shown::boxes[0].second, "Sample Saver");

    app.SetMainWindow(nullptr);
    DestroyWindow(window);
    SetErrorBoxHook(nullptr);
}

TEST(MavException, DefaultTextIsTheSystemMessageForTheLastError)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    CMavBaseException e;
    char expected[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND, 0,
                   expected, sizeof expected, nullptr);
    std::string want = expected;
    while (!want.empty() && (want.back() == '\n' || want.back() == '\r' || want.back() == ' '))
        want.pop_back();
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(e.Text(), want);
}

} // namespace
