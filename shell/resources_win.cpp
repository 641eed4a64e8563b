#include "shell/resources_win.h"

#include "shell/identity.h"
#include "shell/mav_exception.h"
#include "shell/sm_container.h"

namespace {

// The resource's bytes inside the loaded module; they live as long as the module.
ByteView FindResourceBytes(const char* name, const char* type, HMODULE module)
{
    HRSRC info = FindResourceA(module, name, type);
    if (!info)
        throw CMavBaseException();
    DWORD size = SizeofResource(module, info);
    if (size == 0)
        throw CMavBaseException();
    HGLOBAL handle = LoadResource(module, info);
    if (!handle)
        throw CMavBaseException();
    const void* data = LockResource(handle);
    if (!data)
        throw CMavBaseException();
    return {static_cast<const std::uint8_t*>(data), size};
}

std::string ToAnsi(const std::u16string& text)
{
    if (text.empty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    int wideSize = static_cast<int>(text.size());
    int size = WideCharToMultiByte(CP_ACP, 0, wide, wideSize, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, wideSize, ansi.data(), size, nullptr, nullptr);
    return ansi;
}

} // namespace

Bytes LoadRawResource(const char* name, const char* type, HMODULE module)
{
    ByteView bytes = FindResourceBytes(name, type, module);
    return Bytes(bytes.begin(), bytes.end());
}

std::optional<Bytes> LoadPackedResource(const char* name, const char* type, bool reportErrors, HMODULE module)
{
    return UnpackContainer(FindResourceBytes(name, type, module), reportErrors);
}

bool CheckIdentity(std::string& identityText, HMODULE module)
{
    // Any failure to read the resource fails the check: an unreadable identity
    // is no identity.
    try {
        std::optional<std::u16string> text = ValidateIdentity(FindResourceBytes("ID", "VEXPAK", module));
        if (!text)
            return false;
        identityText = ToAnsi(*text);
        return true;
    } catch (const CException&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}
