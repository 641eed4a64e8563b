#include "tools/scrpack/packager_win.h"

#include "shell/mav_exception.h"

#include <windows.h>

#include <cwctype>
#include <memory>
#include <type_traits>

namespace {

const wchar_t* Wide(const std::u16string& s)
{
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

std::string Narrow(const std::u16string& s)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, Wide(s), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Wide(s), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

[[noreturn]] void Fail(const std::string& what)
{
    CMavBaseException system;  // the text for GetLastError, taken first
    throw CMavBaseException(what + ": " + system.Text());
}

// A resource type or name as the resource functions take it: "#n" is the
// numeric id n, any other text is stored upper-cased.
class ResourceId {
public:
    explicit ResourceId(const std::u16string& text)
    {
        if (text.size() > 1 && text[0] == u'#' && text.size() <= 6) {
            unsigned long id = 0;
            bool digits = true;
            for (std::size_t i = 1; i < text.size(); ++i) {
                digits = digits && text[i] >= u'0' && text[i] <= u'9';
                id = id * 10 + (text[i] - u'0');
            }
            if (digits && id > 0 && id <= 0xFFFF) {
                id_ = static_cast<WORD>(id);
                return;
            }
        }
        for (char16_t c : text)
            text_.push_back(c < 0x80 ? static_cast<char16_t>(std::towupper(c)) : c);
    }
    const wchar_t* get() const { return id_ ? MAKEINTRESOURCEW(id_) : Wide(text_); }

private:
    WORD id_ = 0;
    std::u16string text_;
};

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param)
{
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

// The languages in which the module holds a resource.
std::vector<WORD> ExistingLanguages(HMODULE module, const ResourceId& type, const ResourceId& name)
{
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module, type.get(), name.get(), AddLanguage, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

struct ModuleFree {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};

// Resource updates of one file; discarded unless committed.
class ResourceUpdate {
public:
    explicit ResourceUpdate(const std::u16string& path) : handle_(BeginUpdateResourceW(Wide(path), FALSE))
    {
        if (!handle_)
            Fail("Cannot open " + Narrow(path) + " for resource updates");
    }
    ~ResourceUpdate()
    {
        if (handle_)
            EndUpdateResourceW(handle_, TRUE);
    }
    ResourceUpdate(const ResourceUpdate&) = delete;
    ResourceUpdate& operator=(const ResourceUpdate&) = delete;

    void Put(const ResourceId& type, const ResourceId& name, WORD language, const Bytes& data,
             const std::string& label)
    {
        if (!UpdateResourceW(handle_, type.get(), name.get(), language, const_cast<std::uint8_t*>(data.data()),
                             static_cast<DWORD>(data.size())))
            Fail("Cannot store resource " + label);
    }
    void Commit(const std::string& label)
    {
        HANDLE h = handle_;
        handle_ = nullptr;
        if (!EndUpdateResourceW(h, FALSE))
            Fail("Cannot write the resources of " + label);
    }

private:
    HANDLE handle_;
};

} // namespace

void PackageExecutable(const PackageJob& job)
{
    if (!CopyFileW(Wide(job.runtime), Wide(job.output), FALSE))
        Fail("Cannot copy " + Narrow(job.runtime) + " to " + Narrow(job.output));
    try {
        std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree> base(
            LoadLibraryExW(Wide(job.runtime), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (!base)
            Fail("Cannot read the resources of " + Narrow(job.runtime));

        ResourceUpdate update(job.output);
        for (const PackageResource& r : job.resources) {
            ResourceId type(r.type), name(r.name);
            std::string label = Narrow(r.type) + "/" + Narrow(r.name);
            std::vector<WORD> languages = ExistingLanguages(base.get(), type, name);
            if (languages.empty())
                languages.push_back(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
            for (WORD language : languages)
                update.Put(type, name, language, r.data, label);
        }
        update.Commit(Narrow(job.output));
    } catch (...) {
        DeleteFileW(Wide(job.output));
        throw;
    }
}
