#include "qtprinters.h"
#include "shell/rtfreader.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

/// The HTML shown the way the view shows it.
struct Shown
{
    explicit Shown(const QByteArray& rtf) { document.setHtml(RtfReader::toHtml(rtf)); }

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
        {"words", "{\\rtf1\\ansi Hello  world}", QStringLiteral("Hello  world")},
        {"paragraphs and an empty one", "{\\rtf1 one\\par two\\par\\par three}",
         QStringLiteral("one\ntwo\n\nthree")},
        {"closing paragraph mark", "{\\rtf1 one\\par }", QStringLiteral("one")},
        {"line break and tab", "{\\rtf1 a\\line b\\tab c}", QStringLiteral("a\nb\tc")},
        {"line breaks in the file are not text", "{\\rtf1 a\r\nb\nc}", QStringLiteral("abc")},
        {"escaped specials", "{\\rtf1 a\\\\b\\{c\\}}", QStringLiteral("a\\b{c}")},
        {"markup characters", "{\\rtf1 <b>&amp;\"}", QStringLiteral("<b>&amp;\"")},
        {"Windows-1252 escapes", "{\\rtf1 caf\\'e9 \\'80\\'96}",
         QStringLiteral("caf\u00e9 \u20ac\u2013")},
        {"raw high bytes as Windows-1252", "{\\rtf1 \xe9\x80}", QStringLiteral("\u00e9\u20ac")},
        {"Unicode with its fallback", "{\\rtf1 \\u8364?x}", QStringLiteral("\u20acx")},
        {"fallback of two", "{\\rtf1\\uc2 \\u8364\\'80\\'80y}", QStringLiteral("\u20acy")},
        {"no fallback", "{\\rtf1\\uc0\\u233 e}", QStringLiteral("\u00e9e")},
        {"fallback ends with its group", "{\\rtf1 {\\uc3\\u233}xyz}", QStringLiteral("\u00e9xyz")},
        {"surrogate pair", "{\\rtf1 \\u-10179?\\u-8704?}", QStringLiteral("\U0001F600")},
        {"lone surrogate", "{\\rtf1 \\u-10179?x}", QStringLiteral("\uFFFDx")},
        {"named symbols", "{\\rtf1 \\ldblquote a\\rdblquote\\emdash\\bullet}",
         QStringLiteral("\u201ca\u201d\u2014\u2022")},
        {"header tables and information",
         "{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red1\\green2\\blue3;}"
         "{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}{\\author A}}"
         "{\\*\\generator Writer 1.0;}Body}",
         QStringLiteral("Body")},
        {"binary picture data", "{\\rtf1 x{\\pict\\bin4 {}}\\}y}", QStringLiteral("xy")},
        {"field shows its result",
         "{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"u\"}{\\fldrslt link}}}",
         QStringLiteral("link")},
        {"unknown words", "{\\rtf1\\foo12\\barbaz x\\unknown-5 y}", QStringLiteral("xy")},
        {"text after the document", "{\\rtf1 a}trailing", QStringLiteral("a")},
        {"unclosed groups", "{\\rtf1 {\\b bold", QStringLiteral("bold")},
        {"stray closers", "{\\rtf1 a}}}}", QStringLiteral("a")},
        {"backslash at the end", "{\\rtf1 a\\", QStringLiteral("a")},
        {"cut hex escape", "{\\rtf1 a\\'4", QStringLiteral("a")},
        {"hex escape without digits", "{\\rtf1 a\\'zz}", QStringLiteral("azz")},
        {"binary count past the end", "{\\rtf1 a\\bin999999999 bc}", QStringLiteral("a")},
        {"control bytes",
         QByteArray("{\\rtf1 a") + '\0' +
             "b\x01"
             "c}",
         QStringLiteral("abc")},
        {"huge numbers", "{\\rtf1\\fs99999999999999\\cf99999999999 big}", QStringLiteral("big")},
        {"deep nesting", nested(100000), QStringLiteral("xy")},
        {"empty document", "{\\rtf1}", QString()},
        {"nothing at all", "", QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Shown(c.rtf).text(), c.text) << c.name;
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
    EXPECT_TRUE(shown.formatOf(QStringLiteral("gone")).fontStrikeOut());
    EXPECT_DOUBLE_EQ(shown.formatOf(QStringLiteral("large")).fontPointSize(), 18.0);
    EXPECT_FALSE(shown.formatOf(QStringLiteral("plain")).hasProperty(QTextFormat::FontPointSize));
    EXPECT_EQ(shown.formatOf(QStringLiteral("green")).foreground().color(), QColor(0, 128, 0));
    EXPECT_EQ(shown.formatOf(QStringLiteral("red")).foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(shown.formatOf(QStringLiteral("auto")).hasProperty(QTextFormat::ForegroundBrush));
}

TEST(RtfReader, BoundsSizesAndColoursOutOfRange)
{
    const Shown shown("{\\rtf1{\\colortbl;\\red999\\green-4\\blue7;}"
                      "{\\fs99999999999 big} {\\fs0 default} {\\cf7 none} \\cf1 clamped}");
    EXPECT_DOUBLE_EQ(shown.formatOf(QStringLiteral("big")).fontPointSize(), 1638.0);
    EXPECT_FALSE(shown.formatOf(QStringLiteral("default")).hasProperty(QTextFormat::FontPointSize));
    EXPECT_FALSE(shown.formatOf(QStringLiteral("none")).hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(shown.formatOf(QStringLiteral("clamped")).foreground().color(), QColor(255, 0, 7));
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
    EXPECT_EQ(texts, QStringList({QStringLiteral("centre"), QStringLiteral("left"),
                                  QStringLiteral("right"), QStringLiteral("just")}));
    EXPECT_EQ(alignments, QList<Qt::Alignment>(
                              {Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignRight, Qt::AlignJustify}));
}
