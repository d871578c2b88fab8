#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// Largest line the upload can carry: colon to CR inclusive must fit the 256-byte line buffer,
// and the frame's count byte (bytes after the colon) must fit in one byte.
inline constexpr std::size_t kMaxLineBytes = 256;

// One Intel HEX record taken apart.
struct HexRecord {
    std::uint8_t type = 0;
    std::uint16_t address = 0;
    std::vector<std::uint8_t> data;
};

// Where and why an image is unfit to ship; line numbers count from 1.
struct HexImageError {
    std::size_t line = 0;
    std::string message;
};

// Parses the characters of a record between its colon and its line end: upper-case hex digits
// only, a byte count that matches the length, and a checksum that balances. On failure returns
// nothing and says why in *why.
std::optional<HexRecord> ParseHexRecord(std::string_view digits, std::string* why = nullptr);

// Checks a whole image as it is shipped: every line ':' + upper-case hex + CR LF, valid
// checksum, within the line limits, and the end-of-file record as the last line and only there.
std::optional<HexImageError> CheckHexImage(std::string_view image);

// "<name>:<line>: error: <message>", the form compilers use, so build logs point at the line.
std::string FormatHexImageError(std::string_view name, const HexImageError& error);

// Memory contents described by a checked image (data records only), address to byte.
using HexMemory = std::map<std::uint32_t, std::uint8_t>;
void AddToMemory(const HexRecord& record, HexMemory& memory);
// The memory of an image that CheckHexImage accepted.
HexMemory MemoryOfImage(std::string_view checkedImage);

} // namespace tolvar
