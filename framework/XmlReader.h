#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// A small, strict pull reader for the XML of stored descriptions. It takes UTF-8 only: an
// optional byte order mark and XML declaration, comments, elements with attributes, character
// data with the five predefined entities, character references and CDATA sections. Anything
// else (a document type, processing instructions, namespaces, other encodings) is an error,
// as is every well-formedness fault. The first error ends reading; it carries the 1-based line
// at which it was found.
//
// Comments, the declaration and whitespace outside the root element produce no tokens.
class TXmlReader {
public:
    enum class TToken { None, StartElement, EndElement, Characters, EndDocument, Invalid };

    struct TAttribute {
        std::string name;
        std::string value;
    };

    explicit TXmlReader(std::string_view data) : data_(data) {}

    // Reads the next token; after the end of the document or an error it stays there.
    TToken ReadNext();
    TToken Token() const { return token_; }
    bool AtEnd() const { return token_ == TToken::EndDocument || token_ == TToken::Invalid; }

    bool HasError() const { return token_ == TToken::Invalid; }
    const std::string& ErrorString() const { return error_; }
    // The line of the reading position: the end of the last token, or where an error was found.
    int LineNumber() const { return line_; }

    // The element of a StartElement or EndElement token.
    const std::string& Name() const { return name_; }
    // The decoded text of a Characters token.
    const std::string& Text() const { return text_; }
    // True when a Characters token holds nothing but spaces, tabs and line breaks.
    bool IsWhitespace() const;

    // The attributes of a StartElement token, in stored order, with their values decoded.
    const std::vector<TAttribute>& Attributes() const { return attributes_; }
    // The value of one attribute, or nullptr when the element has none of that name.
    const std::string* Attribute(std::string_view name) const;

    // On a StartElement: reads up to its end and returns the text inside it. A child element is
    // an error. Afterwards the reader stands on the matching EndElement (or on the error).
    std::string ReadElementText();
    // On a StartElement: skips everything up to and including its EndElement.
    void SkipCurrentElement();

private:
    bool AtEof() const { return pos_ >= data_.size(); }
    bool LookingAt(std::string_view s) const { return data_.substr(pos_, s.size()) == s; }
    void Advance(std::size_t n);
    void Fail(const std::string& message);

    bool ReadDeclaration();
    bool SkipComment();
    bool SkipSpace();
    bool ReadName(std::string& out);
    bool ReadStartTag();
    bool ReadEndTag();
    bool ReadCharacters();
    bool ReadCData();
    bool ReadAttributeValue(std::string& out);
    bool ReadReference(std::string& out);
    bool ReadChar(std::string* out);

    std::string_view data_;
    std::size_t pos_ = 0;
    int line_ = 1;
    TToken token_ = TToken::None;
    std::string error_;
    std::string name_;
    std::string text_;
    std::vector<TAttribute> attributes_;
    std::vector<std::string> open_;
    bool started_ = false;
    bool rootDone_ = false;
    bool closeEmpty_ = false;
};

} // namespace tolvar
