#include "framework/Platform.h"

#include <windows.h>

namespace tolvar {

namespace {

std::optional<ResourceBytes> Load(LPCSTR name) {
    HRSRC info = FindResourceA(nullptr, name, MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (info == nullptr)
        return std::nullopt;
    const DWORD size = SizeofResource(nullptr, info);
    HGLOBAL loaded = LoadResource(nullptr, info);
    if (loaded == nullptr)
        return std::nullopt;
    const void* bytes = LockResource(loaded);
    if (bytes == nullptr)
        return std::nullopt;
    // Resources of the module stay mapped while it runs; nothing is freed.
    return ResourceBytes{static_cast<const std::uint8_t*>(bytes), size};
}

} // namespace

std::optional<ResourceBytes> LoadRcDataResource(std::uint16_t id) {
    return Load(MAKEINTRESOURCEA(id));
}

std::optional<ResourceBytes> LoadRcDataResource(const char* name) {
    return Load(name);
}

} // namespace tolvar
