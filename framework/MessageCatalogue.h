#pragma once

#include <string>

// What the text lookup needs of the platform; one implementation per platform.
namespace tolvar::catalogue {

// The folder that holds the catalogues: "locale" beside the executable.
std::string Folder();

// The user's locale name: LANG when it is set, else what the platform says of the user.
std::string UserLocaleName();

} // namespace tolvar::catalogue
