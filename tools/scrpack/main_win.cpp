// scrpack: makes a packaged screensaver from the generic runtime executable.
#include "tools/scrpack/packager_win.h"

#include "shell/identity.h"
#include "shell/mav_exception.h"
#include "shell/sm_container.h"

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

const char kUsage[] =
    "usage: scrpack [options] RUNTIME OUTPUT\n"
    "Copies the runtime executable RUNTIME to OUTPUT and adds or replaces resources in it.\n"
    "\n"
    "  --id TEXT             the identity resource VEXPAK/ID for TEXT (\"Company/Product\"),\n"
    "                        with its package digest\n"
    "  --raw TYPE/NAME=FILE  FILE as the resource NAME of type TYPE, as it is\n"
    "  --pack TYPE/NAME=FILE FILE inside an SM container as the resource NAME of type TYPE\n"
    "  -h, --help            this text\n"
    "\n"
    "TYPE and NAME are stored in upper case; \"#n\" is the numeric id n. Options may repeat;\n"
    "a later resource of the same type and name replaces an earlier one.\n"
    "Exit status: 0 success, 1 packaging failed, 2 usage error or unreadable input file.\n";

struct UsageError {
    std::string text;
};

std::string Utf8(const std::u16string& s)
{
    std::u8string u8 = std::filesystem::path(s).u8string();
    return std::string(u8.begin(), u8.end());
}

Bytes ReadInput(const std::u16string& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in)
        throw UsageError{"cannot read " + Utf8(path)};
    Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw UsageError{"cannot read " + Utf8(path)};
    return data;
}

// "TYPE/NAME=FILE"
PackageResource ParseResource(const std::u16string& spec, bool pack)
{
    std::size_t slash = spec.find(u'/'), equals = spec.find(u'=');
    if (slash == 0 || equals == std::u16string::npos || slash >= equals - 1 || equals + 1 == spec.size())
        throw UsageError{"expected TYPE/NAME=FILE, got " + Utf8(spec)};
    PackageResource r{spec.substr(0, slash), spec.substr(slash + 1, equals - slash - 1), {}};
    Bytes data = ReadInput(spec.substr(equals + 1));
    r.data = pack ? PackContainer(data) : std::move(data);
    return r;
}

PackageJob ParseArguments(const std::vector<std::u16string>& args, bool& help)
{
    PackageJob job;
    std::vector<std::u16string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::u16string& a = args[i];
        auto value = [&]() -> const std::u16string& {
            if (i + 1 >= args.size())
                throw UsageError{Utf8(a) + " needs a value"};
            return args[++i];
        };
        if (a == u"-h" || a == u"--help") {
            help = true;
            return job;
        } else if (a == u"--id") {
            job.resources.push_back({u"VEXPAK", u"ID", MakeIdentity(value())});
        } else if (a == u"--raw" || a == u"--pack") {
            job.resources.push_back(ParseResource(value(), a == u"--pack"));
        } else if (a.size() > 1 && a[0] == u'-') {
            throw UsageError{"unknown option " + Utf8(a)};
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2)
        throw UsageError{"expected RUNTIME and OUTPUT"};
    job.runtime = positional[0];
    job.output = positional[1];
    return job;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    try {
        bool help = false;
        PackageJob job = ParseArguments(args, help);
        if (help) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        PackageExecutable(job);
        return 0;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "scrpack: %s\n\n%s", e.text.c_str(), kUsage);
        return 2;
    } catch (const CMavBaseException& e) {
        std::fprintf(stderr, "scrpack: %s\n", e.Text().c_str());
        return 1;
    }
}
