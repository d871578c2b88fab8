// The XML reader's text: character data, CDATA sections, attribute values, references and the
// UTF-8 of single characters, what it takes between and inside the markup.

#include "framework/XmlReader.h"

#include <cstdint>

namespace tolvar {

namespace {

// The characters a document may hold at all.
bool IsXmlChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

int DigitValue(char c, int base) {
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d < base ? d : -1;
}

} // namespace

// Character data up to the next markup, CDATA sections included; line breaks become "\n".
bool TXmlReader::ReadCharacters() {
    while (!AtEof()) {
        const char c = data_[pos_];
        if (c == '<') {
            if (!LookingAt("<![CDATA["))
                return true;
            if (!ReadCData())
                return false;
        } else if (c == '&') {
            if (!ReadReference(text_))
                return false;
        } else if (c == '\r') {
            text_ += '\n';
            Advance(LookingAt("\r\n") ? 2 : 1);
        } else if (LookingAt("]]>")) {
            Fail("']]>' in character data");
            return false;
        } else if (!ReadChar(&text_)) {
            return false;
        }
    }
    return true;
}

bool TXmlReader::ReadCData() {
    Advance(9);
    while (!AtEof()) {
        if (LookingAt("]]>")) {
            Advance(3);
            return true;
        }
        if (data_[pos_] == '\r') {
            text_ += '\n';
            Advance(LookingAt("\r\n") ? 2 : 1);
        } else if (!ReadChar(&text_)) {
            return false;
        }
    }
    Fail("unexpected end of document");
    return false;
}

// A quoted value; literal tabs and line breaks in it become spaces, as XML normalises them.
bool TXmlReader::ReadAttributeValue(std::string& out) {
    if (AtEof() || (data_[pos_] != '"' && data_[pos_] != '\'')) {
        Fail(AtEof() ? "unexpected end of document" : "attribute value not in quotes");
        return false;
    }
    const char quote = data_[pos_];
    Advance(1);
    while (!AtEof()) {
        const char c = data_[pos_];
        if (c == quote) {
            Advance(1);
            return true;
        }
        if (c == '<') {
            Fail("'<' in an attribute value");
            return false;
        }
        if (c == '&') {
            if (!ReadReference(out))
                return false;
        } else if (c == '\r' || c == '\n' || c == '\t') {
            out += ' ';
            Advance(LookingAt("\r\n") ? 2 : 1);
        } else if (!ReadChar(&out)) {
            return false;
        }
    }
    Fail("unexpected end of document");
    return false;
}

// &lt; &gt; &amp; &apos; &quot;, &#decimal; and &#xhex;, appended to out as UTF-8.
bool TXmlReader::ReadReference(std::string& out) {
    Advance(1);
    if (LookingAt("#")) {
        Advance(1);
        const int base = LookingAt("x") ? 16 : 10;
        if (base == 16)
            Advance(1);
        std::uint32_t code = 0;
        std::size_t digits = 0;
        while (!AtEof() && data_[pos_] != ';') {
            const int d = DigitValue(data_[pos_], base);
            if (d < 0) {
                Fail("invalid character reference");
                return false;
            }
            // Once past the largest code point the value only has to stay invalid.
            if (code <= 0x10FFFF)
                code = code * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
            ++digits;
            Advance(1);
        }
        if (AtEof() || digits == 0) {
            Fail(AtEof() ? "unexpected end of document" : "invalid character reference");
            return false;
        }
        Advance(1);
        if (!IsXmlChar(code)) {
            Fail("character reference to an invalid character");
            return false;
        }
        AppendUtf8(out, code);
        return true;
    }
    std::string name;
    if (!ReadName(name))
        return false;
    if (!LookingAt(";")) {
        Fail(AtEof() ? "unexpected end of document" : "entity reference &" + name + " without ';'");
        return false;
    }
    Advance(1);
    static constexpr struct {
        std::string_view name;
        char value;
    } kEntities[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto& e : kEntities) {
        if (e.name == name) {
            out += e.value;
            return true;
        }
    }
    Fail("unknown entity &" + name + ";");
    return false;
}

// One character, checked to be valid UTF-8 and allowed in XML; appended to out unless null.
bool TXmlReader::ReadChar(std::string* out) {
    const auto lead = static_cast<unsigned char>(data_[pos_]);
    std::size_t length = 1;
    std::uint32_t code = lead;
    std::uint32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        least = 0x10000;
    } else if (lead >= 0x80) {
        Fail("invalid UTF-8");
        return false;
    }
    if (data_.size() - pos_ < length) {
        Fail("invalid UTF-8");
        return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(data_[pos_ + i]);
        if ((next & 0xC0) != 0x80) {
            Fail("invalid UTF-8");
            return false;
        }
        code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        Fail("invalid UTF-8");
        return false;
    }
    if (!IsXmlChar(code)) {
        Fail("invalid character");
        return false;
    }
    if (out != nullptr)
        out->append(data_.substr(pos_, length));
    Advance(length);
    return true;
}

} // namespace tolvar
