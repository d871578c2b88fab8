#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tolvar {

// The messages of one compiled gettext catalogue (.mo): original text to translation, singular
// forms only, the header entry left out.
using MoMessages = std::unordered_map<std::string, std::string>;

// Reads the bytes of a .mo file of either byte order. Nothing for a file that is not a well-formed
// catalogue, or whose header names a character set other than UTF-8 (or ASCII): texts are UTF-8.
std::optional<MoMessages> ParseMoFile(std::string_view bytes);

// Reads and parses the file at `path`; nothing when it is missing or unusable.
std::optional<MoMessages> LoadMoFile(const std::string& path);

} // namespace tolvar
