#include "framework/XmlReader.h"

#include <gtest/gtest.h>
#include <string>

using namespace tolvar;
using TToken = TXmlReader::TToken;

namespace {

// Every token up to the end as one line of text: "<name a=v>@line", "'text'@line",
// "</name>@line", then "end@line" or "error: message@line".
std::string Trace(std::string_view text) {
    TXmlReader xml(text);
    std::string trace;
    while (!xml.AtEnd()) {
        switch (xml.ReadNext()) {
        case TToken::StartElement:
            trace += "<" + xml.Name();
            for (const auto& a : xml.Attributes())
                trace += " " + a.name + "=" + a.value;
            trace += ">";
            break;
        case TToken::EndElement:
            trace += "</" + xml.Name() + ">";
            break;
        case TToken::Characters:
            trace += "'" + xml.Text() + "'";
            break;
        case TToken::EndDocument:
            trace += "end";
            break;
        default:
            trace += "error: " + xml.ErrorString();
            break;
        }
        // Appended piece by piece: GCC 12 at -O3 sees a false overlap in "@" + std::string.
        trace.append("@").append(std::to_string(xml.LineNumber())).append(" ");
    }
    return trace;
}

// The error that ends reading, with its line, or "(none)".
std::string Error(std::string_view text) {
    TXmlReader xml(text);
    while (!xml.AtEnd())
        xml.ReadNext();
    if (!xml.HasError())
        return "(none)";
    return xml.ErrorString() + " @" + std::to_string(xml.LineNumber());
}

TEST(XmlReader, ReadsTheStoredFormsTokensWithTheirLines) {
    EXPECT_EQ(Trace("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" standalone='yes'?>\n"
                    "<!-- a comment\n over two lines -->\n"
                    "<object class=\"T\" name='N'>\n"
                    "  <property\n name=\"P\" ref=\"R\"/><e/>\n"
                    "</object>\n<!-- after -->\n"),
              "<object class=T name=N>@4 '\n  '@5 <property name=P ref=R>@6 </property>@6 "
              "<e>@6 </e>@6 '\n'@7 </object>@7 end@9 ");
    // Line breaks: "\r\n" and a lone "\r" each count once and read as "\n".
    EXPECT_EQ(Trace("<a>x\r\ny\rz\n<b/>\r\n</a>"),
              "<a>@1 'x\ny\nz\n'@4 <b>@4 </b>@4 '\n'@5 </a>@5 end@5 ");
    // Comments split text; CDATA joins it, taken as it stands.
    EXPECT_EQ(Trace("<a>x<!-- - -->y<![CDATA[<&amp;]]]]>z</a>"),
              "<a>@1 'x'@1 'y<&amp;]]z'@1 </a>@1 end@1 ");
}

TEST(XmlReader, DecodesEntitiesAndCharacterReferencesToUtf8) {
    EXPECT_EQ(Trace("<a>&lt;&gt;&amp;&apos;&quot;&#13;&#10;&#65;&#x42;&#x20ac;&#128512;"
                    "&#x7F;&#xFFFD;&#x10FFFF;</a>"),
              "<a>@1 '<>&'\"\r\nAB\xE2\x82\xAC\xF0\x9F\x98\x80\x7F\xEF\xBF\xBD\xF4\x8F\xBF\xBF'@1 "
              "</a>@1 end@1 ");
    // In attribute values too; literal tabs and line breaks there become spaces, references
    // to them stay.
    EXPECT_EQ(Trace("<a v=\"&lt;'&#x9;\tx\r\ny\"/>"), "<a v=<'\t x y>@2 </a>@2 end@2 ");
    // Text passes through byte for byte, whatever UTF-8 it holds.
    EXPECT_EQ(Trace("<a>\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBD\xF0\x90\x80\x80 za\xC5\xBC"
                    "\xC3\xB3\xC5\x82\xC4\x87</a>"),
              "<a>@1 '\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBD\xF0\x90\x80\x80 "
              "za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87'@1 </a>@1 end@1 ");
}

TEST(XmlReader, RejectsWhatIsNotWellFormedWithTheLineOfTheFault) {
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"", "unexpected end of document @1"},
        {"\n<a>\n<b>\n</b>\n", "unexpected end of document @5"},
        {"<a>\n</b>", "end tag </b> does not match <a> @2"},
        {"<a></a>\n</a>", "end tag </a> without a start tag @2"},
        {"<a></a>\n<a/>", "extra content after the root element @2"},
        {"<a></a>\nx", "text after the root element @2"},
        {"x<a/>", "text before the root element @1"},
        {"<a/>&amp;", "text after the root element @1"},
        {"<1a/>", "invalid name @1"},
        {"<a:b/>", "invalid character in the start tag of <a> @1"},
        {"<a b='1'c='2'/>", "invalid character in the start tag of <a> @1"},
        {"<a\nb='1' b=\"2\"/>", "duplicate attribute b in <a> @2"},
        {"<a b=1/>", "attribute value not in quotes @1"},
        {"<a b/>", "expected '=' after attribute b @1"},
        {"<a b='<'/>", "'<' in an attribute value @1"},
        {"<a b='x/>", "unexpected end of document @1"},
        {"<a>&nbsp;</a>", "unknown entity &nbsp; @1"},
        {"<a b='&x;'/>", "unknown entity &x; @1"},
        {"<a>&amp</a>", "entity reference &amp without ';' @1"},
        {"<a>& </a>", "invalid name @1"},
        {"<a>&#;</a>", "invalid character reference @1"},
        {"<a>&#x;</a>", "invalid character reference @1"},
        {"<a>&#12a;</a>", "invalid character reference @1"},
        {"<a>&#xG;</a>", "invalid character reference @1"},
        {"<a>&#0;</a>", "character reference to an invalid character @1"},
        {"<a>&#8;</a>", "character reference to an invalid character @1"},
        {"<a>&#xD800;</a>", "character reference to an invalid character @1"},
        {"<a>&#xFFFE;</a>", "character reference to an invalid character @1"},
        {"<a>&#x110000;</a>", "character reference to an invalid character @1"},
        {"<a>&#4294967361;</a>", "character reference to an invalid character @1"},
        {"<a>&#x100000041;</a>", "character reference to an invalid character @1"},
        {"<a>]]></a>", "']]>' in character data @1"},
        {"<a><![CDATA[x</a>", "unexpected end of document @1"},
        {"<!DOCTYPE a [<!ENTITY e 'x'>]><a/>", "document type declarations are not supported @1"},
        {"<a><!ELEMENT a ANY></a>", "invalid markup @1"},
        {"<a><?pi x?></a>", "processing instructions are not supported @1"},
        {"\n<?xml version=\"1.0\"?><a/>", "XML declaration not at the start of the document @2"},
        {"<?xml encoding=\"UTF-8\"?><a/>", "unexpected encoding in the XML declaration @1"},
        {"<?xml version=\"1.1\"?><a/>", "unsupported version in the XML declaration @1"},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?><a/>",
         "unsupported encoding (UTF-8 only) @1"},
        {"<?xml version=\"1.0\" standalone=\"yes\" encoding=\"UTF-8\"?><a/>",
         "unexpected encoding in the XML declaration @1"},
        {"<?xml?><a/>", "XML declaration without a version @1"},
        {"<a><!-- x -- y --></a>", "'--' inside a comment @1"},
        {"<a><!-- x\n", "unexpected end of document @2"},
        {"<a>\x01</a>", "invalid character @1"},
        {"<a b='\x1F'/>", "invalid character @1"},
        {"<a>\xEF\xBF\xBF</a>", "invalid character @1"},
        // Malformed UTF-8: a stray continuation byte, an overlong form, a surrogate, past
        // U+10FFFF, a cut sequence, a byte that never starts one.
        {"<a>\n\x80</a>", "invalid UTF-8 @2"},
        {"<a>\xC0\xAF</a>", "invalid UTF-8 @1"},
        {"<a>\xE0\x9F\xBF</a>", "invalid UTF-8 @1"},
        {"<a>\xF0\x8F\xBF\xBF</a>", "invalid UTF-8 @1"},
        {"<a>\xED\xA0\x80</a>", "invalid UTF-8 @1"},
        {"<a>\xF4\x90\x80\x80</a>", "invalid UTF-8 @1"},
        {"<a>\xE2\x82</a>", "invalid UTF-8 @1"},
        {"<a>\xE2\x82", "invalid UTF-8 @1"},
        {"<a>\xFF</a>", "invalid UTF-8 @1"},
        {"<!-- \xC3 --><a/>", "invalid UTF-8 @1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Error(c.text), c.error) << c.text;
}

TEST(XmlReader, EveryTruncationOfAGoodDocumentIsAnError) {
    const std::string good = "<?xml version=\"1.0\"?><a x='1'><b>t&amp;&#10;</b><!--c-->"
                             "<c/><![CDATA[d]]>\xC5\xBC</a>";
    ASSERT_EQ(Error(good), "(none)");
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_NE(Error(good.substr(0, n)), "(none)") << n;
}

TEST(XmlReader, ReadsElementTextAndSkipsElements) {
    TXmlReader xml("<a><i>x&lt;<!-- -->y</i><i/><e k='v'><f><g/></f>t</e><i>1<b/>2</i></a>");
    ASSERT_EQ(xml.ReadNext(), TToken::StartElement);
    ASSERT_EQ(xml.ReadNext(), TToken::StartElement);
    EXPECT_EQ(xml.ReadElementText(), "x<y");
    EXPECT_EQ(xml.Token(), TToken::EndElement);
    EXPECT_EQ(xml.Name(), "i");
    ASSERT_EQ(xml.ReadNext(), TToken::StartElement);
    EXPECT_EQ(xml.ReadElementText(), "");
    ASSERT_EQ(xml.ReadNext(), TToken::StartElement);
    ASSERT_NE(xml.Attribute("k"), nullptr);
    EXPECT_EQ(*xml.Attribute("k"), "v");
    EXPECT_EQ(xml.Attribute("K"), nullptr);
    xml.SkipCurrentElement();
    EXPECT_EQ(xml.Token(), TToken::EndElement);
    EXPECT_EQ(xml.Name(), "e");
    ASSERT_EQ(xml.ReadNext(), TToken::StartElement);
    EXPECT_EQ(xml.ReadElementText(), "1");
    EXPECT_TRUE(xml.HasError());
    EXPECT_EQ(xml.ErrorString(), "element <b> where only text may stand");
    // An error is final.
    EXPECT_EQ(xml.ReadNext(), TToken::Invalid);
    EXPECT_TRUE(xml.AtEnd());
}

TEST(XmlReader, TellsWhitespaceFromText) {
    TXmlReader xml("<a> \t\r\n<b/>&#32;x</a>");
    xml.ReadNext();
    ASSERT_EQ(xml.ReadNext(), TToken::Characters);
    EXPECT_TRUE(xml.IsWhitespace());
    xml.ReadNext();
    xml.ReadNext();
    ASSERT_EQ(xml.ReadNext(), TToken::Characters);
    EXPECT_FALSE(xml.IsWhitespace());
    xml.ReadNext();
    EXPECT_FALSE(xml.IsWhitespace()); // not a Characters token
}

} // namespace
