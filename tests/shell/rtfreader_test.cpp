#include "document/rtfreader.h"
#include "qtprinters.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

/// The HTML shown the way the view shows it.
struct Shown
{
    explicit Shown(const QByteArray& rtf)
    {
        const RtfReader::Conversion conversion = RtfReader::toHtml(rtf);
        EXPECT_FALSE(conversion.refused()) << conversion.refusal.toStdString();
        document.setHtml(conversion.html);
    }

    QString text() const { return document.toPlainText(); }

    /// The format of the last character of the first occurrence of `word`.
    QTextCharFormat formatOf(const QString& word) const
    {
        const QTextCursor found = document.find(word);
        EXPECT_FALSE(found.isNull()) << word.toStdString() << " not in " << text().toStdString();
        return found.charFormat();
    }

    QTextDocument document;
};

QByteArray nested(int depth)
{
    return "{\\rtf1 " + QByteArray(depth, '{') + "x" + QByteArray(depth, '}') + "y}";
}

} // namespace

TEST(RtfReader, RecognisesRichTextByItsOpening)
{
    struct Case
    {
        const char* name;
        QByteArray bytes;
        bool rich;
    };
    const Case cases[] = {
        {"plain opening", "{\\rtf1\\ansi x}", true},
        {"after mark and blanks", "\xEF\xBB\xBF \r\n\t{\\rtf1 x}", true},
        {"text before it", "note {\\rtf1 x}", false},
        {"other letter case", "{\\RTF1 x}", false},
        {"group without it", "{\\b x}", false},
        {"empty", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RtfReader::isRichText(c.bytes), c.rich) << c.name;
    }
}

TEST(RtfReader, ShowsTheTextOfWellFormedAndOddInput)
{
    struct Case
    {
        const char* name;
        QByteArray rtf;
        QString text;
    };
    const Case cases[] = {
        {"words", "{\\rtf1\\ansi Hello  world}", u"Hello  world"_s},
        {"paragraphs and an empty one", "{\\rtf1 one\\par two\\par\\par three}",
         u"one\ntwo\n\nthree"_s},
        {"closing paragraph mark", "{\\rtf1 one\\par }", u"one"_s},
        {"line break and tab", "{\\rtf1 a\\line b\\tab c}", u"a\nb\tc"_s},
        {"line breaks in the file are not text", "{\\rtf1 a\r\nb\nc}", u"abc"_s},
        {"escaped specials", "{\\rtf1 a\\\\b\\{c\\}}", u"a\\b{c}"_s},
        {"markup characters", "{\\rtf1 <b>&amp;\"}", u"<b>&amp;\""_s},
        {"Windows-1252 escapes", "{\\rtf1 caf\\'e9 \\'80\\'96}", u"caf\u00e9 \u20ac\u2013"_s},
        {"raw high bytes as Windows-1252", "{\\rtf1 \xe9\x80}", u"\u00e9\u20ac"_s},
        {"Unicode with its fallback", "{\\rtf1 \\u8364?x}", u"\u20acx"_s},
        {"fallback of two", "{\\rtf1\\uc2 \\u8364\\'80\\'80y}", u"\u20acy"_s},
        {"no fallback", "{\\rtf1\\uc0\\u233 e}", u"\u00e9e"_s},
        {"fallback ends with its group", "{\\rtf1 {\\uc3\\u233}xyz}", u"\u00e9xyz"_s},
        {"surrogate pair", "{\\rtf1 \\u-10179?\\u-8704?}", u"\U0001F600"_s},
        {"lone surrogate", "{\\rtf1 \\u-10179?x}", u"\uFFFDx"_s},
        {"named symbols", "{\\rtf1 \\ldblquote a\\rdblquote\\emdash\\bullet}",
         u"\u201ca\u201d\u2014\u2022"_s},
        {"header tables and information",
         "{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red1\\green2\\blue3;}"
         "{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}{\\author A}}"
         "{\\*\\generator Writer 1.0;}Body}",
         u"Body"_s},
        {"binary picture data", "{\\rtf1 x{\\pict\\bin4 {}}\\}y}", u"xy"_s},
        {"field shows its result",
         "{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"u\"}{\\fldrslt link}}}", u"link"_s},
        {"unknown words", "{\\rtf1\\foo12\\barbaz x\\unknown-5 y}", u"xy"_s},
        {"text after the document", "{\\rtf1 a}trailing", u"a"_s},
        {"unclosed groups", "{\\rtf1 {\\b bold", u"bold"_s},
        {"stray closers", "{\\rtf1 a}}}}", u"a"_s},
        {"backslash at the end", "{\\rtf1 a\\", u"a"_s},
        {"cut hex escape", "{\\rtf1 a\\'4", u"a"_s},
        {"hex escape without digits", "{\\rtf1 a\\'zz}", u"azz"_s},
        {"binary count past the end", "{\\rtf1 a\\bin999999999 bc}", u"a"_s},
        {"control bytes",
         QByteArray("{\\rtf1 a") + '\0' +
             "b\x01"
             "c}",
         u"abc"_s},
        {"huge numbers", "{\\rtf1\\fs99999999999999\\cf99999999999 big}", u"big"_s},
        {"nesting as deep as allowed", nested(255), u"xy"_s},
        {"empty document", "{\\rtf1}", QString()},
        {"nothing at all", "", QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Shown(c.rtf).text(), c.text) << c.name;
    }
}

TEST(RtfReader, RefusesADocumentBeyondALimitSayingWhichAndWhere)
{
    using Limits = RtfReader::Limits;
    const auto small = [](int Limits::*bound, int value) {
        Limits limits;
        limits.*bound = value;
        return limits;
    };
    struct Case
    {
        const char* name;
        QByteArray rtf;
        Limits limits;
        QString refusal; ///< empty: shown
    };
    const Case cases[] = {
        {"nesting as deep as allowed", nested(256), {}, {}},
        {"nesting too deep",
         nested(257),
         {},
         u"its groups are nested more than 256 deep at byte 264"_s},
        {"paragraphs up to the limit",
         "{\\rtf1 a\\par b\\par c\\par}",
         small(&Limits::paragraphs, 3),
         {}},
        {"a paragraph too many", "{\\rtf1 a\\par b\\par c\\par d}", small(&Limits::paragraphs, 3),
         u"it has more than 3 paragraphs and table rows (at byte 26)"_s},
        {"empty paragraphs count", "{\\rtf1 \\par\\par\\par}", small(&Limits::paragraphs, 2),
         u"it has more than 2 paragraphs and table rows (at byte 16)"_s},
        {"table rows count", "{\\rtf1 a\\row b\\row}", small(&Limits::paragraphs, 1),
         u"it has more than 1 paragraphs and table rows (at byte 14)"_s},
        {"cells up to the limit", "{\\rtf1 a\\cell b\\cell}", small(&Limits::cells, 2), {}},
        {"a cell too many", "{\\rtf1 a\\cell b\\cell c\\cell}", small(&Limits::cells, 2),
         u"its tables have more than 2 cells (at byte 23)"_s},
        {"characters up to the limit",
         "{\\rtf1 ab\\par c\\tab}",
         small(&Limits::characters, 4),
         {}},
        {"a character too many", "{\\rtf1 abc\\par de}", small(&Limits::characters, 4),
         u"it holds more than 4 characters of text (at byte 17)"_s},
        {"a paragraph as long as allowed",
         "{\\rtf1 ab\\line c\\par de f}",
         small(&Limits::paragraphLength, 4),
         {}},
        {"a paragraph too long", "{\\rtf1 ab\\par ab\\line cd}", small(&Limits::paragraphLength, 4),
         u"it has a paragraph of more than 4 characters at byte 24"_s},
        {"skipped text does not count",
         "{\\rtf1{\\fonttbl Arial;}{\\*\\x long text}ab}",
         small(&Limits::characters, 2),
         {}},
        {"formatting runs up to the limit", "{\\rtf1 a{\\b b}}", small(&Limits::formatRuns, 2), {}},
        {"a formatting run too many", "{\\rtf1 a{\\b b}c}", small(&Limits::formatRuns, 2),
         u"its character formatting changes more than 2 times (at byte 16)"_s},
        {"words up to the limit",
         "{\\rtf1 abcd efgh\\tab ijkl\\line mnop\\par qrst}",
         small(&Limits::wordLength, 4),
         {}},
        {"hyphens and East Asian characters break words",
         "{\\rtf1 abc-def \\u19968?\\u19968?\\u19968?\\u19968?\\u19968?}",
         small(&Limits::wordLength, 3),
         {}},
        {"a word too long", "{\\rtf1 abcd abcde}", small(&Limits::wordLength, 4),
         u"it has a word of more than 4 characters without a space or line break at byte 17"_s},
    };
    for (const Case& c : cases) {
        const RtfReader::Conversion conversion = RtfReader::toHtml(c.rtf, c.limits);
        EXPECT_EQ(conversion.refusal, c.refusal) << c.name;
        EXPECT_EQ(conversion.html.isEmpty(), !c.refusal.isEmpty()) << c.name;
    }
}

TEST(RtfReader, KeepsCharacterFormatting)
{
    const Shown shown("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}"
                      "plain {\\b bold} {\\i italic} {\\ul under\\ulnone over} {\\strike gone} "
                      "{\\fs36 large} \\cf2 green\\cf0 auto\\cf1 red\\cf0 "
                      "\\b\\i both\\plain reset \\b strong\\b0 weak}");
    struct Check
    {
        const char* word;
        bool bold;
        bool italic;
        bool underline;
    };
    const Check checks[] = {
        {"plain", false, false, false}, {"bold", true, false, false},
        {"italic", false, true, false}, {"under", false, false, true},
        {"over", false, false, false},  {"both", true, true, false},
        {"reset", false, false, false}, {"strong", true, false, false},
        {"weak", false, false, false},
    };
    for (const Check& check : checks) {
        const QTextCharFormat format = shown.formatOf(QString::fromLatin1(check.word));
        EXPECT_EQ(format.fontWeight() >= QFont::Bold, check.bold) << check.word;
        EXPECT_EQ(format.fontItalic(), check.italic) << check.word;
        EXPECT_EQ(format.fontUnderline(), check.underline) << check.word;
    }
    EXPECT_TRUE(shown.formatOf(u"gone"_s).fontStrikeOut());
    EXPECT_DOUBLE_EQ(shown.formatOf(u"large"_s).fontPointSize(), 18.0);
    EXPECT_FALSE(shown.formatOf(u"plain"_s).hasProperty(QTextFormat::FontPointSize));
    EXPECT_EQ(shown.formatOf(u"green"_s).foreground().color(), QColor(0, 128, 0));
    EXPECT_EQ(shown.formatOf(u"red"_s).foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(shown.formatOf(u"auto"_s).hasProperty(QTextFormat::ForegroundBrush));
}

TEST(RtfReader, KeepsParagraphAlignment)
{
    const Shown shown("{\\rtf1\\qc centre\\par\\pard left\\par\\qr right\\par\\qj just}");
    QStringList texts;
    QList<Qt::Alignment> alignments;
    for (QTextBlock block = shown.document.begin(); block.isValid(); block = block.next()) {
        texts.append(block.text());
        alignments.append(block.blockFormat().alignment() &
                          (Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter | Qt::AlignJustify));
    }
    EXPECT_EQ(texts, QStringList({u"centre"_s, u"left"_s, u"right"_s, u"just"_s}));
    EXPECT_EQ(alignments, QList<Qt::Alignment>(
                              {Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignRight, Qt::AlignJustify}));
}
