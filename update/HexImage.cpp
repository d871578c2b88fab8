#include "update/HexImage.h"

#include <cstdio>

namespace tolvar {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string Describe(unsigned char c) {
    char text[32];
    if (c >= 0x21 && c < 0x7F)
        std::snprintf(text, sizeof text, "'%c'", c);
    else
        std::snprintf(text, sizeof text, "byte 0x%02X", c);
    return text;
}

std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
    return text;
}

bool Fail(std::string* why, std::string message) {
    if (why)
        *why = std::move(message);
    return false;
}

constexpr std::string_view kEndOfFile = "00000001FF";

} // namespace

std::optional<HexRecord> ParseHexRecord(std::string_view digits, std::string* why) {
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (HexDigit(digits[i]) < 0) {
            Fail(why, Describe(static_cast<unsigned char>(digits[i])) + " at column " +
                          std::to_string(i + 2) + " is not an upper-case hex digit");
            return std::nullopt;
        }
    }
    if (digits.size() % 2 != 0 || digits.size() < 10) {
        Fail(why, "record has " + std::to_string(digits.size()) +
                      " hex digits; a record needs an even number, at least 10");
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(digits.size() / 2);
    unsigned sum = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] =
            static_cast<std::uint8_t>(HexDigit(digits[2 * i]) * 16 + HexDigit(digits[2 * i + 1]));
        sum += bytes[i];
    }
    const std::size_t count = bytes[0];
    if (bytes.size() != count + 5) {
        Fail(why, "byte count " + Hex2(static_cast<unsigned>(count)) + " says " +
                      std::to_string(count) + " data bytes but the record carries " +
                      std::to_string(bytes.size() - 5));
        return std::nullopt;
    }
    if ((sum & 0xFFu) != 0) {
        const unsigned given = bytes.back();
        const unsigned wanted = (given - sum) & 0xFFu;
        Fail(why, "checksum is " + Hex2(given) + ", the record needs " + Hex2(wanted));
        return std::nullopt;
    }
    HexRecord record;
    record.address = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
    record.type = bytes[3];
    record.data.assign(bytes.begin() + 4, bytes.end() - 1);
    return record;
}

std::optional<HexImageError> CheckHexImage(std::string_view image) {
    if (image.empty())
        return HexImageError{0, "the image is empty"};
    std::size_t line = 0;
    std::size_t pos = 0;
    bool sawEnd = false;
    while (pos < image.size()) {
        ++line;
        const std::size_t lf = image.find('\n', pos);
        if (lf == std::string_view::npos)
            return HexImageError{line, "last line does not end in CR LF"};
        const std::string_view text = image.substr(pos, lf - pos);
        pos = lf + 1;
        if (text.empty() || text.back() != '\r')
            return HexImageError{line, "line ends in LF without CR"};
        const std::string_view body = text.substr(0, text.size() - 1);
        if (body.empty() || body[0] != ':')
            return HexImageError{line, "line does not start with ':'"};
        // Colon up to and including CR.
        if (text.size() > kMaxLineBytes)
            return HexImageError{line, "line is " + std::to_string(text.size()) +
                                           " bytes up to its CR; the limit is " +
                                           std::to_string(kMaxLineBytes)};
        const std::string_view digits = body.substr(1);
        const std::size_t cr = digits.find('\r');
        if (cr != std::string_view::npos)
            return HexImageError{line, "stray CR at column " + std::to_string(cr + 2)};
        std::string why;
        const auto record = ParseHexRecord(digits, &why);
        if (!record)
            return HexImageError{line, why};
        if (sawEnd)
            return HexImageError{line, "record after the end-of-file record"};
        if (record->type == 0x01) {
            if (digits != kEndOfFile)
                return HexImageError{line, "malformed end-of-file record; it must read "
                                           ":00000001FF"};
            sawEnd = true;
        }
    }
    if (!sawEnd)
        return HexImageError{line, "the image does not end with the end-of-file record "
                                   ":00000001FF"};
    return std::nullopt;
}

std::string FormatHexImageError(std::string_view name, const HexImageError& error) {
    return std::string(name) + ":" + std::to_string(error.line) + ": error: " + error.message;
}

void AddToMemory(const HexRecord& record, HexMemory& memory) {
    if (record.type != 0x00)
        return;
    for (std::size_t i = 0; i < record.data.size(); ++i)
        memory[static_cast<std::uint32_t>(record.address + i)] = record.data[i];
}

HexMemory MemoryOfImage(std::string_view checkedImage) {
    HexMemory memory;
    for (std::size_t pos = 0; pos < checkedImage.size();) {
        const std::size_t cr = checkedImage.find('\r', pos);
        AddToMemory(*ParseHexRecord(checkedImage.substr(pos + 1, cr - pos - 1)), memory);
        pos = cr + 2;
    }
    return memory;
}

} // namespace tolvar
