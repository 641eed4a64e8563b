// scrinfo: shows what a packaged screensaver carries, read through the same
// functions the runtime uses. Without a file it inspects its own executable.
#include "shell/mav_exception.h"
#include "shell/resources_win.h"
#include "shell/sm_container.h"

#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: scrinfo [FILE]\n"
    "       scrinfo --extract TYPE/NAME OUT [FILE]\n"
    "Lists the identity and the resources of the packaged screensaver FILE (default: this\n"
    "executable). SM containers are unpacked and their CRC-32 compared; --extract writes\n"
    "one resource to OUT, unpacked when it is a container.\n"
    "Exit status: 0 success, 1 invalid identity or unreadable resource, 2 usage error.\n";

struct ResourceName {
    std::string type, name;
};

// Resource ids as text: "#n" for numeric ids.
std::string IdText(const char* id)
{
    return IS_INTRESOURCE(id) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(id)) : std::string(id);
}

BOOL CALLBACK AddType(HMODULE, LPSTR type, LONG_PTR param)
{
    reinterpret_cast<std::vector<std::string>*>(param)->push_back(IdText(type));
    return TRUE;
}

struct NameList {
    std::vector<ResourceName>* all;
    const std::string* type;
};

BOOL CALLBACK AddName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    auto* list = reinterpret_cast<NameList*>(param);
    list->all->push_back({*list->type, IdText(name)});
    return TRUE;
}

std::vector<ResourceName> ListResources(HMODULE module)
{
    std::vector<std::string> types;
    EnumResourceTypesA(module, AddType, reinterpret_cast<LONG_PTR>(&types));
    std::vector<ResourceName> all;
    for (const std::string& type : types) {
        NameList list{&all, &type};
        EnumResourceNamesA(module, type.c_str(), AddName, reinterpret_cast<LONG_PTR>(&list));
    }
    return all;
}

bool IsContainer(const Bytes& raw)
{
    return raw.size() >= 4 && std::memcmp(raw.data(), "SM\1\0", 4) == 0;
}

void Describe(HMODULE module, const ResourceName& r)
{
    std::printf("%s/%s: ", r.type.c_str(), r.name.c_str());
    Bytes raw;
    try {
        raw = LoadRawResource(r.name.c_str(), r.type.c_str(), module);
    } catch (const CMavBaseException& e) {
        std::printf("unreadable: %s\n", e.Text().c_str());
        return;
    }
    if (!IsContainer(raw)) {
        std::printf("raw, %zu bytes\n", raw.size());
        return;
    }
    try {
        Bytes data = UnpackContainerOrThrow(raw);
        std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
        bool crcOk = raw.size() >= kContainerHeaderSize && ReadU32LE(raw.data() + 12) == crc;
        std::printf("container, %zu bytes, %zu unpacked, CRC-32 %s\n", raw.size(), data.size(),
                    crcOk ? "ok" : "wrong");
    } catch (const CMavBaseException& e) {
        std::printf("container, %zu bytes, damaged: %s\n", raw.size(), e.Text().c_str());
    }
}

int Extract(HMODULE module, const std::string& spec, const char* out)
{
    std::size_t slash = spec.find('/');
    if (slash == std::string::npos) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string type = spec.substr(0, slash), name = spec.substr(slash + 1);
    try {
        Bytes data = LoadRawResource(name.c_str(), type.c_str(), module);
        if (IsContainer(data))
            data = UnpackContainerOrThrow(data);
        FILE* f = std::fopen(out, "wb");
        bool ok = f && std::fwrite(data.data(), 1, data.size(), f) == data.size();
        ok = f && std::fclose(f) == 0 && ok;
        if (!ok) {
            std::fprintf(stderr, "scrinfo: cannot write %s\n", out);
            return 1;
        }
        return 0;
    } catch (const CMavBaseException& e) {
        std::fprintf(stderr, "scrinfo: %s: %s\n", spec.c_str(), e.Text().c_str());
        return 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "-h" || args[0] == "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    bool extract = !args.empty() && args[0] == "--extract";
    std::size_t fileArg = extract ? 3 : 0;
    if ((extract && args.size() < 3) || args.size() > fileArg + 1) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    HMODULE module = nullptr;  // this executable
    if (args.size() == fileArg + 1) {
        module = LoadLibraryExA(args[fileArg].c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module) {
            std::fprintf(stderr, "scrinfo: cannot open %s: %s\n", args[fileArg].c_str(),
                         CMavBaseException().Text().c_str());
            return 2;
        }
    }
    if (extract)
        return Extract(module, args[1], args[2].c_str());

    std::string identity;
    bool valid = CheckIdentity(identity, module);
    if (valid)
        std::printf("identity: %s\n", identity.c_str());
    else
        std::printf("identity: invalid\n");
    for (const ResourceName& r : ListResources(module))
        Describe(module, r);
    return valid ? 0 : 1;
}
