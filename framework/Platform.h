#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// What a platform supplies to the framework: where the text lookup finds its catalogues and the
// user's language, and the resources of the program's own module. One implementation of each
// per platform (framework/posix/, framework/win32/).
namespace tolvar {

namespace catalogue {

// The folder that holds the catalogues: "locale" beside the executable.
std::string Folder();

// The user's locale name: LANG when it is set, else what the platform says of the user.
std::string UserLocaleName();

} // namespace catalogue

// Read-only bytes of an RCDATA resource of this program's own module, valid for the life of the
// program; nothing when the resource is missing or cannot be loaded, and always nothing where
// executables carry no resources (files are compiled in there).
struct ResourceBytes {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};
std::optional<ResourceBytes> LoadRcDataResource(std::uint16_t id);
std::optional<ResourceBytes> LoadRcDataResource(const char* name);

} // namespace tolvar
