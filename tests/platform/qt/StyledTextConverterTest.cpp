#include "platform/qt/QtStyledTextConverter.h"

#include <QGuiApplication>
#include <QStringDecoder>

#include <gtest/gtest.h>

using kelvo::QtStyledTextConverter;
using kelvo::StyledDocumentType;

namespace {

QString rtfText(const QByteArray &rtf)
{
    const auto text = QtStyledTextConverter::plainTextOfRtf(rtf);
    EXPECT_TRUE(text.has_value()) << rtf.left(200).constData();
    return text.value_or(QStringLiteral("<unreadable>"));
}

class StyledText : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "styledtext";
        static char *argv[] = {name, nullptr};
        static QGuiApplication app(argc, argv);
    }
    QtStyledTextConverter converter;
};

TEST_F(StyledText, RtfControlWordsGroupsDocumentsAndBrokenInput)
{
    const QByteArray open(100000, '{'), close(100000, '}');
    // A document as a word processor on Windows writes it: tables of fonts,
    // colours and styles, generator info, a \* destination and \par endings.
    const QByteArray wordProcessor =
        "{\\rtf1\\adeflang1025\\ansi\\ansicpg1252\\uc1\\adeff31507\\deff0\\stshfdbch31505"
        "{\\fonttbl{\\f0\\fbidi \\froman\\fcharset0\\fprq2{\\*\\panose 02020603050405020304}Times New Roman;}"
        "{\\f1\\fswiss\\fcharset0 Arial;}}\r\n"
        "{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}\r\n"
        "{\\stylesheet{\\ql \\li0\\ri0 \\snext0 Normal;}{\\*\\cs10 \\additive Default Paragraph Font;}}\r\n"
        "{\\*\\rsidtbl \\rsid1\\rsid2}{\\*\\generator Some Writer 1.0;}"
        "{\\info{\\title Report}{\\author Someone}{\\creatim\\yr2024\\mo1\\dy2}}\r\n"
        "\\paperw11906\\paperh16838\\margl1440 \\pard\\plain \\ltrpar\\ql \\f1\\fs24 "
        "{\\b Hello}, {\\i world}\\'21\\par\r\n"
        "Second line\\tab with tab\\line and break.\\par\r\n"
        "{\\*\\themedata 504b030414}{\\*\\latentstyles\\lsdstimax375{\\lsdlockedexcept Normal;}}}";
    const auto styled = converter.read(wordProcessor, StyledDocumentType::RTF);
    ASSERT_TRUE(styled);
    EXPECT_EQ(styled->rtf, wordProcessor) << "kept as it came";
    const std::pair<QByteArray, const char *> cases[] = {
        {wordProcessor, "Hello, world!\nSecond line\twith tab\nand break.\n"},
        // Mac-style escaped newlines and symbols.
        {"{\\rtf1\\ansi\\cocoartf2639\n{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}\n\\pard\\tx566\n\n"
         "\\f0\\fs24 \\cf0 One\\\nTwo \\{braces\\} and \\\\ back\\~slash \\emdash  \\ldblquote q\\rdblquote}",
         "One\nTwo {braces} and \\ back\u00a0slash \u2014 \u201cq\u201d"},
        // Unicode escapes skip \ucN fallback characters (a hex escape is one).
        {"{\\rtf1 caf\\u233?s}", "caf\u00e9s"},
        {"{\\rtf1\\uc2 a\\u8364 EUb}", "a\u20acb"},
        {"{\\rtf1\\uc0 a\\u8364 b}", "a\u20acb"},
        {"{\\rtf1 x\\u26085\\'3fy}", "x\u65e5y"},
        {"{\\rtf1 \\u-3\\'3f}", "\ufffd"},                       // negative: units above 32767
        {"{\\rtf1 \\u-10179?\\u-8704?}", "\U0001F600"},           // a surrogate pair
        {"{\\rtf1 {\\uc3 \\u233 abc}\\u233 d}", "\u00e9\u00e9"}, // \uc holds in its group only
        {"{\\rtf1\\uc4 {\\u233}x}", "\u00e9x"},                  // a group end stops the skipping
        // Hex escapes follow the code page, Windows-1252 without one.
        {"{\\rtf1\\ansi\\ansicpg1252 \\'93q\\'94 \\'80 \\'e9}", "\u201cq\u201d \u20ac \u00e9"},
        {"{\\rtf1 \\'85}", "\u2026"},
        // Nested groups; skipped destinations, fields, headers, pictures, \bin data.
        {"{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1{\\*\\falt X}Courier;}}a{b{c{\\i d}}e}"
         "{\\*\\unknowndestination hidden{nested hidden}}{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}}"
         "{\\header page header}{\\footnote note}{\\pict\\pngblip 89504e47}{\\*\\bkmkstart b1}f{\\bin3 }}z}",
         "abcdelinkf"},
        {"{\\rtf1 x{\\bin4 {{}}y}", "xy"},
        // Leading white space; truncated anywhere: the text so far; no control characters.
        {"\r\n {\\rtf1 ok}", "ok"},
        {"{\\rtf1 abc{\\b de", "abcde"},
        {"{\\rtf1 abc\\", "abc"},
        {"{\\rtf1 abc\\'4", "abc"},
        {"{\\rtf1 a\\'00\\u7?\\'09b}", "a\tb"},
        {"{\\rtf1 abc\\'", "abc"},
        {"{\\rtf1 \\u", ""},
        {"{\\rtf1 a\\bin999999999999999999 b}", "a"},
        {"{\\rtf1 in}out}}", "in"}, // after the outer group
        {"{\\rtf1 \\" + QByteArray(5000, 'x') + "123456789012345678901 y}", "y"}, // overlong word and parameter
        {"{\\rtf1 \\u99999999999 z}", ""},
        // Deep nesting costs no stack; unclosed keeps the text; a skipped
        // destination deep inside still ends with its group.
        {"{\\rtf1 a" + open + "deep" + close + "b}", "adeepb"},
        {"{\\rtf1 " + open + "x", "x"},
        {"{\\rtf1 " + open + "{\\*\\x hidden}shown" + close + "}", "shown"},
    };
    for (const auto &[rtf, text] : cases)
        EXPECT_EQ(rtfText(rtf), QString::fromUtf8(text)) << rtf.left(80).constData();
    for (const QByteArray &bad : {QByteArray(), QByteArray("plain text"), QByteArray("{\\rt"),
                                  QByteArray("<html>x</html>")})
        EXPECT_FALSE(converter.read(bad, StyledDocumentType::RTF)) << bad.constData();
    EXPECT_FALSE(converter.read("rtfd\0\0\0\0\3\0\0\0", StyledDocumentType::RTFD));
    EXPECT_FALSE(converter.read("{\\rtf1 x}", StyledDocumentType::RTFD));
    if (QStringDecoder("windows-1251").isValid()) {
        EXPECT_EQ(rtfText("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}"), "Привет");
    }
    if (QStringDecoder("Shift_JIS").isValid()) {
        EXPECT_EQ(rtfText("{\\rtf1\\ansi\\ansicpg932 \\'93\\'fa\\'96\\'7b}"), "日本"); // two-byte characters
    }
}

TEST_F(StyledText, HtmlWithEntitiesCjkTextAndLegacyCharsets)
{
    const QByteArray html =
        "<html><head><meta charset=\"utf-8\"><style>p{color:red}</style></head><body>"
        "<p>Fish &amp; chips &lt;3 &eacute;t&eacute; &#8364;5 &#x1F600;</p>"
        "<p><b>\u4e2d\u6587</b>\u3068<i>\u65e5\u672c\u8a9e</i></p></body></html>";
    const auto styled = converter.read(html, StyledDocumentType::HTML);
    ASSERT_TRUE(styled);
    EXPECT_EQ(styled->string, "Fish & chips <3 \u00e9t\u00e9 \u20ac5 \U0001F600\n\u4e2d\u6587\u3068\u65e5\u672c\u8a9e");
    ASSERT_TRUE(styled->rtf);
    EXPECT_TRUE(styled->rtf->startsWith("{\\rtf1"));
    EXPECT_TRUE(std::all_of(styled->rtf->begin(), styled->rtf->end(), [](char c) { return uchar(c) < 0x80; }))
        << "everything outside ASCII is escaped";
    EXPECT_FALSE(converter.read("", StyledDocumentType::HTML));
    EXPECT_FALSE(converter.read(" \n", StyledDocumentType::HTML));
    const auto latin = converter.read("<html><head><meta charset=\"iso-8859-1\"></head><body>na\xefve</body></html>",
                                      StyledDocumentType::HTML);
    ASSERT_TRUE(latin);
    EXPECT_EQ(latin->string, "na\u00efve");
}

TEST_F(StyledText, RtfFromHtmlReadsBackToTheSamePlainText)
{
    const QByteArray pages[] = {
        "<p>plain</p>",
        "<b>bold</b> <i>italic</i> <u>under</u> <s>gone</s>",
        "<p style=\"font-family:'Courier New'; font-size:14pt\">mono</p><p>two</p><p></p><p>after empty</p>",
        "<span style=\"color:#ff8000\">orange</span> and <font color=\"blue\">blue</font>",
        "back\\slash {braces} tab&#9;here<br>line<br/>break",
        "<table><tr><td>a1</td><td>b1</td></tr><tr><td>a2</td><td>b2</td></tr></table>",
        "<ul><li>one</li><li>two</li></ul>x&nbsp;y",
        "<p>\u00e9\u00fc\u00df \u0416 \u05d0 \u4e2d \U0001F600 \u2028</p>",
        "<p style=\"font-family:'Semi;colon{}'\">font with odd name</p>",
        "<img src=\"x.png\">after image",
    };
    for (const QByteArray &page : pages) {
        const auto styled = converter.read(page, StyledDocumentType::HTML);
        ASSERT_TRUE(styled && styled->rtf) << page.constData();
        EXPECT_EQ(rtfText(*styled->rtf), styled->string) << page.constData() << "\n" << styled->rtf->constData();
    }
}

TEST_F(StyledText, RtfFromHtmlCarriesTheStylingInBalancedGroups)
{
    const auto styled = converter.read(
        "<b>B</b><i>I</i><u>U</u><span style=\"color:#102030\">C</span>"
        "<span style=\"font-family:Courier; font-size:10pt\">F</span>",
        StyledDocumentType::HTML);
    ASSERT_TRUE(styled && styled->rtf);
    const QByteArray &rtf = *styled->rtf;
    for (const char *part : {"{\\b B}", "{\\i I}", "{\\ul U}", "\\red16\\green32\\blue48;", "\\cf1 C}",
                             "\\fnil Courier;}", "\\fs20 F}"})
        EXPECT_TRUE(rtf.contains(part)) << part << " in " << rtf.constData();
    int depth = 0; // braces outside escapes
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\')
            ++i;
        else if (rtf[i] == '{')
            ++depth;
        else if (rtf[i] == '}' && --depth < 0)
            FAIL() << "a group closes that never opened";
    }
    EXPECT_EQ(depth, 0);
}

} // namespace
