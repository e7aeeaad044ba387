#include "platform/qt/QtStyledTextConverter.h"

#include <QGuiApplication>
#include <QStringDecoder>
#include <QTextDocument>

#include <gtest/gtest.h>

using kelvo::QtStyledTextConverter;
using kelvo::StyledDocumentType;

namespace {

QString rtfText(const QByteArray &rtf)
{
    const auto text = QtStyledTextConverter::plainTextOfRtf(rtf);
    EXPECT_TRUE(text.has_value()) << rtf.constData();
    return text.value_or(QStringLiteral("<unreadable>"));
}

class StyledText : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!QGuiApplication::instance()) {
            static int argc = 1;
            static char name[] = "styledtext";
            static char *argv[] = {name, nullptr};
            static QGuiApplication app(argc, argv);
        }
    }
    QtStyledTextConverter converter;
};

// A document as a word processor on Windows writes it: tables of fonts,
// colours and styles, generator info, a \* destination and \par endings.
TEST_F(StyledText, WordProcessorRtfGivesItsPlainText)
{
    const QByteArray rtf =
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
    const auto styled = converter.read(rtf, StyledDocumentType::RTF);
    ASSERT_TRUE(styled);
    EXPECT_EQ(styled->string, QStringLiteral("Hello, world!\nSecond line\twith tab\nand break.\n"));
    ASSERT_TRUE(styled->rtf);
    EXPECT_EQ(*styled->rtf, rtf); // RTF is kept as it came
}

TEST_F(StyledText, MacStyleRtfWithEscapedNewlinesAndSymbols)
{
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n"
        "{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}\n"
        "{\\colortbl;\\red255\\green255\\blue255;}\n"
        "\\pard\\tx566\\pardirnatural\\partightenfactor0\n\n"
        "\\f0\\fs24 \\cf0 One\\\nTwo \\{braces\\} and \\\\ back\\~slash \\emdash  \\ldblquote q\\rdblquote}";
    EXPECT_EQ(rtfText(rtf), QString::fromUtf8("One\nTwo {braces} and \\ back\u00a0slash \u2014 \u201cq\u201d"));
}

TEST_F(StyledText, UnicodeEscapesSkipTheirFallbacks)
{
    // \uc1 default: one fallback character; \uc2: two; \uc0: none.
    EXPECT_EQ(rtfText("{\\rtf1 caf\\u233?s}"), QString::fromUtf8("caf\u00e9s"));
    EXPECT_EQ(rtfText("{\\rtf1\\uc2 a\\u8364 EUb}"), QString::fromUtf8("a\u20acb"));
    EXPECT_EQ(rtfText("{\\rtf1\\uc0 a\\u8364 b}"), QString::fromUtf8("a\u20acb"));
    // The fallback may be a hex escape, which counts as one character.
    EXPECT_EQ(rtfText("{\\rtf1 x\\u26085\\'3fy}"), QString::fromUtf8("x\u65e5y"));
    // Negative values for units above 32767, and a surrogate pair.
    EXPECT_EQ(rtfText("{\\rtf1 \\u-3\\'3f}"), QString(QChar(0xFFFD)));
    EXPECT_EQ(rtfText("{\\rtf1 \\u-10179?\\u-8704?}"), QString::fromUtf8("\U0001F600"));
    // \uc set in a group holds only in that group.
    EXPECT_EQ(rtfText("{\\rtf1 {\\uc3 \\u233 abc}\\u233 d}"), QString::fromUtf8("\u00e9\u00e9"));
    // A group end stops the skipping.
    EXPECT_EQ(rtfText("{\\rtf1\\uc4 {\\u233}x}"), QString::fromUtf8("\u00e9x"));
}

TEST_F(StyledText, HexEscapesFollowTheCodePage)
{
    EXPECT_EQ(rtfText("{\\rtf1\\ansi\\ansicpg1252 \\'93q\\'94 \\'80 \\'e9}"),
              QString::fromUtf8("\u201cq\u201d \u20ac \u00e9"));
    // Without any code page, Windows-1252 is assumed.
    EXPECT_EQ(rtfText("{\\rtf1 \\'85}"), QString::fromUtf8("\u2026"));
    const QString cyrillic = rtfText("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}");
    const QString japanese = rtfText("{\\rtf1\\ansi\\ansicpg932 \\'93\\'fa\\'96\\'7b}");
    if (QStringDecoder("windows-1251").isValid()) {
        EXPECT_EQ(cyrillic, QString::fromUtf8("\u041f\u0440\u0438\u0432\u0435\u0442"));
    }
    if (QStringDecoder("Shift_JIS").isValid()) {
        EXPECT_EQ(japanese, QString::fromUtf8("\u65e5\u672c")); // two-byte characters
    }
}

TEST_F(StyledText, NestedGroupsAndSkippedDestinations)
{
    const QByteArray rtf =
        "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1{\\*\\falt X}Courier;}}"
        "a{b{c{\\i d}}e}"
        "{\\*\\unknowndestination hidden{nested hidden}}"
        "{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}}"
        "{\\header page header}{\\footnote note}"
        "{\\pict\\pngblip 89504e47}{\\*\\bkmkstart b1}f{\\bin3 }}z}";
    EXPECT_EQ(rtfText(rtf), QStringLiteral("abcdelinkf"));
    // \bin data is skipped byte for byte, braces inside it included.
    EXPECT_EQ(rtfText("{\\rtf1 x{\\bin4 {{}}y}"), QStringLiteral("xy"));
}

TEST_F(StyledText, MalformedAndTruncatedInput)
{
    EXPECT_FALSE(converter.read("", StyledDocumentType::RTF));
    EXPECT_FALSE(converter.read("plain text", StyledDocumentType::RTF));
    EXPECT_FALSE(converter.read("{\\rt", StyledDocumentType::RTF));
    EXPECT_FALSE(converter.read("<html>x</html>", StyledDocumentType::RTF));
    // Leading white space is allowed before the document.
    EXPECT_EQ(rtfText("\r\n {\\rtf1 ok}"), QStringLiteral("ok"));
    // Truncated anywhere: the text read so far.
    EXPECT_EQ(rtfText("{\\rtf1 abc{\\b de"), QStringLiteral("abcde"));
    EXPECT_EQ(rtfText("{\\rtf1 abc\\"), QStringLiteral("abc"));
    // Control characters never reach the text.
    EXPECT_EQ(rtfText("{\\rtf1 abc\\'4"), QStringLiteral("abc"));
    EXPECT_EQ(rtfText("{\\rtf1 a\\'00\\u7?\\'09b}"), QStringLiteral("a\tb"));
    EXPECT_EQ(rtfText("{\\rtf1 abc\\'"), QStringLiteral("abc"));
    EXPECT_EQ(rtfText("{\\rtf1 \\u"), QStringLiteral(""));
    EXPECT_EQ(rtfText("{\\rtf1 a\\bin999999999999999999 b}"), QStringLiteral("a"));
    // Text after the outer group has ended is not part of the document.
    EXPECT_EQ(rtfText("{\\rtf1 in}out}}"), QStringLiteral("in"));
    // An overlong control word and an overlong parameter are bounded.
    EXPECT_EQ(rtfText("{\\rtf1 \\" + QByteArray(5000, 'x') + "123456789012345678901 y}"), QStringLiteral("y"));
    EXPECT_EQ(rtfText("{\\rtf1 \\u99999999999 z}"), QStringLiteral(""));
}

TEST_F(StyledText, DeepNestingCostsNoStack)
{
    const QByteArray open(100000, '{');
    const QByteArray close(100000, '}');
    EXPECT_EQ(rtfText("{\\rtf1 a" + open + "deep" + close + "b}"), QStringLiteral("adeepb"));
    // Unclosed: the text inside is kept; a skipped destination deep inside
    // still ends with its group.
    EXPECT_EQ(rtfText("{\\rtf1 " + open + "x"), QStringLiteral("x"));
    EXPECT_EQ(rtfText("{\\rtf1 " + open + "{\\*\\x hidden}shown" + close + "}"), QStringLiteral("shown"));
}

TEST_F(StyledText, RtfdIsNotReadable)
{
    EXPECT_FALSE(converter.read("rtfd\0\0\0\0\3\0\0\0", StyledDocumentType::RTFD));
    EXPECT_FALSE(converter.read("{\\rtf1 x}", StyledDocumentType::RTFD));
}

TEST_F(StyledText, HtmlWithEntitiesAndCjkText)
{
    const QByteArray html = QString::fromUtf8(
        "<html><head><meta charset=\"utf-8\"><style>p{color:red}</style></head><body>"
        "<p>Fish &amp; chips &lt;3 &eacute;t&eacute; &#8364;5 &#x1F600;</p>"
        "<p><b>\u4e2d\u6587</b>\u3068<i>\u65e5\u672c\u8a9e</i></p></body></html>").toUtf8();
    const auto styled = converter.read(html, StyledDocumentType::HTML);
    ASSERT_TRUE(styled);
    EXPECT_EQ(styled->string,
              QString::fromUtf8("Fish & chips <3 \u00e9t\u00e9 \u20ac5 \U0001F600\n\u4e2d\u6587\u3068\u65e5\u672c\u8a9e"));
    ASSERT_TRUE(styled->rtf);
    EXPECT_TRUE(styled->rtf->startsWith("{\\rtf1"));
    // Everything outside ASCII is escaped.
    for (const char c : *styled->rtf)
        EXPECT_LT(uchar(c), 0x80);
    EXPECT_FALSE(converter.read("", StyledDocumentType::HTML));
    EXPECT_FALSE(converter.read(" \n", StyledDocumentType::HTML));
}

TEST_F(StyledText, HtmlInALegacyCharsetIsDecoded)
{
    const QByteArray html = "<html><head><meta charset=\"iso-8859-1\"></head><body>na\xefve</body></html>";
    const auto styled = converter.read(html, StyledDocumentType::HTML);
    ASSERT_TRUE(styled);
    EXPECT_EQ(styled->string, QString::fromUtf8("na\u00efve"));
}

TEST_F(StyledText, RtfFromHtmlReadsBackToTheSamePlainText)
{
    const QList<QByteArray> pages = {
        "<p>plain</p>",
        "<b>bold</b> <i>italic</i> <u>under</u> <s>gone</s>",
        "<p style=\"font-family:'Courier New'; font-size:14pt\">mono</p><p>two</p><p></p><p>after empty</p>",
        "<span style=\"color:#ff8000\">orange</span> and <font color=\"blue\">blue</font>",
        "back\\slash {braces} tab&#9;here<br>line<br/>break",
        "<table><tr><td>a1</td><td>b1</td></tr><tr><td>a2</td><td>b2</td></tr></table>",
        "<ul><li>one</li><li>two</li></ul>x&nbsp;y",
        QString::fromUtf8("<p>\u00e9\u00fc\u00df \u0416 \u05d0 \u4e2d \U0001F600 \u2028</p>").toUtf8(),
        "<p style=\"font-family:'Semi;colon{}'\">font with odd name</p>",
        "<img src=\"x.png\">after image",
    };
    for (const QByteArray &page : pages) {
        const auto styled = converter.read(page, StyledDocumentType::HTML);
        ASSERT_TRUE(styled) << page.constData();
        ASSERT_TRUE(styled->rtf);
        EXPECT_EQ(rtfText(*styled->rtf), styled->string) << page.constData() << "\n" << styled->rtf->constData();
    }
}

TEST_F(StyledText, RtfFromHtmlCarriesTheStyling)
{
    const auto styled = converter.read(
        "<b>B</b><i>I</i><u>U</u><span style=\"color:#102030\">C</span>"
        "<span style=\"font-family:Courier; font-size:10pt\">F</span>",
        StyledDocumentType::HTML);
    ASSERT_TRUE(styled && styled->rtf);
    const QByteArray &rtf = *styled->rtf;
    EXPECT_TRUE(rtf.contains("{\\b B}")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("{\\i I}")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("{\\ul U}")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("\\red16\\green32\\blue48;")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("\\cf1 C}")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("\\fnil Courier;}")) << rtf.constData();
    EXPECT_TRUE(rtf.contains("\\fs20 F}")) << rtf.constData();
    // Balanced braces outside escapes.
    int depth = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') { ++i; continue; }
        if (rtf[i] == '{') ++depth;
        if (rtf[i] == '}') { --depth; ASSERT_GE(depth, 0); }
    }
    EXPECT_EQ(depth, 0);
}

} // namespace
