#include "framework/MoFile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace tolvar {

namespace {

constexpr std::uint32_t kMagic = 0x950412DEu;
// Catalogues are small; anything far larger is not one of ours.
constexpr std::size_t kMaxFileBytes = 16u << 20;

class Reader {
public:
    Reader(std::string_view bytes, bool bigEndian) : bytes_(bytes), bigEndian_(bigEndian) {}

    std::optional<std::uint32_t> Word(std::uint64_t at) const {
        if (at + 4 > bytes_.size())
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const auto byte = static_cast<std::uint8_t>(bytes_[at + (bigEndian_ ? i : 3 - i)]);
            value = value << 8 | byte;
        }
        return value;
    }

    // Entry `index` of the string table at `table`: the text up to its first NUL (the singular
    // form of a plural entry). The stored length must be followed by the terminating NUL.
    std::optional<std::string_view> String(std::uint64_t table, std::uint64_t index) const {
        const auto length = Word(table + index * 8);
        const auto offset = Word(table + index * 8 + 4);
        if (!length || !offset)
            return std::nullopt;
        const std::uint64_t end = std::uint64_t{*offset} + *length;
        if (end >= bytes_.size() || bytes_[end] != '\0')
            return std::nullopt;
        const std::string_view text = bytes_.substr(*offset, *length);
        return text.substr(0, text.find('\0'));
    }

private:
    std::string_view bytes_;
    bool bigEndian_;
};

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The header's charset is one whose bytes can be shown as UTF-8 unchanged.
bool Utf8Header(std::string_view header) {
    const std::string lower = Lower(header);
    const auto at = lower.find("charset=");
    if (at == std::string::npos)
        return true;
    const std::size_t from = at + 8;
    const std::string charset = lower.substr(from, lower.find_first_of(" ;\n", from) - from);
    return charset == "utf-8" || charset == "utf8" || charset == "ascii" || charset == "us-ascii" ||
           charset == "ansi_x3.4-1968";
}

} // namespace

std::optional<MoMessages> ParseMoFile(std::string_view bytes) {
    if (bytes.size() < 20)
        return std::nullopt;
    const Reader little(bytes, false);
    const bool bigEndian = little.Word(0) != kMagic;
    const Reader in(bytes, bigEndian);
    if (in.Word(0) != kMagic)
        return std::nullopt;
    // Major revisions 0 and 1 share the plain string tables.
    if (*in.Word(4) >> 16 > 1)
        return std::nullopt;
    const std::uint64_t count = *in.Word(8);
    const std::uint64_t originals = *in.Word(12);
    const std::uint64_t translations = *in.Word(16);
    MoMessages messages;
    for (std::uint64_t i = 0; i < count; ++i) {
        const auto original = in.String(originals, i);
        const auto translation = in.String(translations, i);
        if (!original || !translation)
            return std::nullopt;
        if (original->empty()) {
            if (!Utf8Header(*translation))
                return std::nullopt;
            continue;
        }
        // gettext shows the original text when the translation is empty.
        if (!translation->empty())
            messages.emplace(*original, *translation);
    }
    return messages;
}

std::optional<MoMessages> LoadMoFile(const std::string& path) {
    // C stdio rather than a file stream: on Windows the streams would bring the C++ locale
    // machinery into the static executable, several hundred kilobytes for one file read.
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    if (!file)
        return std::nullopt;
    std::string bytes;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        bytes.append(chunk, got);
        if (bytes.size() > kMaxFileBytes)
            return std::nullopt;
    }
    if (std::ferror(file.get()))
        return std::nullopt;
    return ParseMoFile(bytes);
}

} // namespace tolvar
