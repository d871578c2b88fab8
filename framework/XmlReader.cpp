#include "framework/XmlReader.h"

#include <cstdint>
#include <iterator>

namespace tolvar {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

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

bool SameAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

bool TXmlReader::IsWhitespace() const {
    if (token_ != TToken::Characters)
        return false;
    for (char c : text_)
        if (!IsSpace(c))
            return false;
    return true;
}

const std::string* TXmlReader::Attribute(std::string_view name) const {
    for (const TAttribute& a : attributes_)
        if (a.name == name)
            return &a.value;
    return nullptr;
}

// Moves on by n bytes, counting line breaks: "\r\n", "\n" and a lone "\r" each end a line.
void TXmlReader::Advance(std::size_t n) {
    for (std::size_t i = 0; i < n && pos_ < data_.size(); ++i, ++pos_) {
        const char c = data_[pos_];
        if (c == '\n' || (c == '\r' && (pos_ + 1 == data_.size() || data_[pos_ + 1] != '\n')))
            ++line_;
    }
}

void TXmlReader::Fail(const std::string& message) {
    if (token_ == TToken::Invalid)
        return;
    error_ = message;
    token_ = TToken::Invalid;
}

TXmlReader::TToken TXmlReader::ReadNext() {
    if (AtEnd())
        return token_;
    if (!started_) {
        started_ = true;
        if (LookingAt("\xEF\xBB\xBF"))
            pos_ += 3;
        if (LookingAt("<?xml") && !ReadDeclaration())
            return token_;
    }
    name_.clear();
    text_.clear();
    attributes_.clear();
    if (closeEmpty_) {
        // The end of an empty element <name/>: its name is still the one of the start.
        closeEmpty_ = false;
        name_ = open_.back();
        open_.pop_back();
        rootDone_ = open_.empty();
        return token_ = TToken::EndElement;
    }
    while (true) {
        if (open_.empty())
            SkipSpace();
        if (AtEof()) {
            if (open_.empty() && rootDone_)
                return token_ = TToken::EndDocument;
            Fail("unexpected end of document");
            return token_;
        }
        if (LookingAt("<!--")) {
            if (!SkipComment())
                return token_;
            continue;
        }
        if (data_[pos_] != '<' || LookingAt("<![CDATA[")) {
            if (open_.empty()) {
                Fail(rootDone_ ? "text after the root element" : "text before the root element");
                return token_;
            }
            if (!ReadCharacters())
                return token_;
            return token_ = TToken::Characters;
        }
        if (LookingAt("</")) {
            if (!ReadEndTag())
                return token_;
            return token_ = TToken::EndElement;
        }
        if (LookingAt("<?xml")) {
            Fail("XML declaration not at the start of the document");
        } else if (LookingAt("<?")) {
            Fail("processing instructions are not supported");
        } else if (LookingAt("<!DOCTYPE")) {
            Fail("document type declarations are not supported");
        } else if (LookingAt("<!")) {
            Fail("invalid markup");
        } else if (rootDone_) {
            Fail("extra content after the root element");
        } else if (ReadStartTag()) {
            return token_ = TToken::StartElement;
        }
        return token_;
    }
}

// <?xml version="1.0" encoding="UTF-8" standalone="yes"?>, the last two optional; the
// description is UTF-8, so no other encoding is taken.
bool TXmlReader::ReadDeclaration() {
    Advance(5);
    static constexpr std::string_view kOrder[] = {"version", "encoding", "standalone"};
    std::size_t next = 0;
    while (true) {
        const bool space = SkipSpace();
        if (AtEof()) {
            Fail("unexpected end of document");
            return false;
        }
        if (LookingAt("?>")) {
            if (next == 0) {
                Fail("XML declaration without a version");
                return false;
            }
            Advance(2);
            return true;
        }
        std::string name;
        std::string value;
        if (!space) {
            Fail("invalid XML declaration");
            return false;
        }
        if (!ReadName(name))
            return false;
        SkipSpace();
        if (!LookingAt("=")) {
            Fail("expected '=' after " + name);
            return false;
        }
        Advance(1);
        SkipSpace();
        if (!ReadAttributeValue(value))
            return false;
        while (next < std::size(kOrder) && kOrder[next] != name && next > 0)
            ++next;
        if (next == std::size(kOrder) || kOrder[next] != name) {
            Fail("unexpected " + name + " in the XML declaration");
            return false;
        }
        ++next;
        if ((name == "version" && value != "1.0") ||
            (name == "standalone" && value != "yes" && value != "no")) {
            Fail("unsupported " + name + " in the XML declaration");
            return false;
        }
        if (name == "encoding" && !SameAscii(value, "UTF-8")) {
            Fail("unsupported encoding (UTF-8 only)");
            return false;
        }
    }
}

bool TXmlReader::SkipComment() {
    Advance(4);
    while (!AtEof()) {
        if (LookingAt("--")) {
            if (!LookingAt("-->")) {
                Fail("'--' inside a comment");
                return false;
            }
            Advance(3);
            return true;
        }
        if (!ReadChar(nullptr))
            return false;
    }
    Fail("unexpected end of document");
    return false;
}

bool TXmlReader::SkipSpace() {
    const std::size_t start = pos_;
    while (!AtEof() && IsSpace(data_[pos_]))
        Advance(1);
    return pos_ != start;
}

bool TXmlReader::ReadName(std::string& out) {
    out.clear();
    if (AtEof() || !IsNameStart(data_[pos_])) {
        Fail(AtEof() ? "unexpected end of document" : "invalid name");
        return false;
    }
    while (!AtEof() && IsNameChar(data_[pos_])) {
        out += data_[pos_];
        Advance(1);
    }
    return true;
}

bool TXmlReader::ReadStartTag() {
    Advance(1);
    if (!ReadName(name_))
        return false;
    while (true) {
        const bool space = SkipSpace();
        if (AtEof()) {
            Fail("unexpected end of document");
            return false;
        }
        if (LookingAt("/>")) {
            Advance(2);
            closeEmpty_ = true;
            break;
        }
        if (LookingAt(">")) {
            Advance(1);
            break;
        }
        if (!space) {
            Fail("invalid character in the start tag of <" + name_ + ">");
            return false;
        }
        TAttribute attribute;
        if (!ReadName(attribute.name))
            return false;
        SkipSpace();
        if (!LookingAt("=")) {
            Fail("expected '=' after attribute " + attribute.name);
            return false;
        }
        Advance(1);
        SkipSpace();
        if (!ReadAttributeValue(attribute.value))
            return false;
        if (Attribute(attribute.name) != nullptr) {
            Fail("duplicate attribute " + attribute.name + " in <" + name_ + ">");
            return false;
        }
        attributes_.push_back(std::move(attribute));
    }
    open_.push_back(name_);
    return true;
}

bool TXmlReader::ReadEndTag() {
    Advance(2);
    if (!ReadName(name_))
        return false;
    SkipSpace();
    if (!LookingAt(">")) {
        Fail(AtEof() ? "unexpected end of document"
                     : "invalid character in the end tag </" + name_ + ">");
        return false;
    }
    Advance(1);
    if (open_.empty()) {
        Fail("end tag </" + name_ + "> without a start tag");
        return false;
    }
    if (open_.back() != name_) {
        Fail("end tag </" + name_ + "> does not match <" + open_.back() + ">");
        return false;
    }
    open_.pop_back();
    rootDone_ = open_.empty();
    return true;
}

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

std::string TXmlReader::ReadElementText() {
    std::string result;
    if (token_ != TToken::StartElement)
        return result;
    while (true) {
        switch (ReadNext()) {
        case TToken::Characters:
            result += text_;
            break;
        case TToken::StartElement:
            Fail("element <" + name_ + "> where only text may stand");
            return result;
        default:
            // The matching end, the end of the document or an error.
            return result;
        }
    }
}

void TXmlReader::SkipCurrentElement() {
    if (token_ != TToken::StartElement)
        return;
    int depth = 1;
    while (depth > 0) {
        switch (ReadNext()) {
        case TToken::StartElement:
            ++depth;
            break;
        case TToken::EndElement:
            --depth;
            break;
        case TToken::Characters:
            break;
        default:
            return;
        }
    }
}

} // namespace tolvar
