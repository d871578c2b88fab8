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
