#include "rtfreader.h"

#include "common/textcodec.h"

#include <QCoreApplication>
#include <QList>
#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <vector>

namespace {

// Bounds that keep odd input cheap: numbers saturate, and a Unicode escape can hide only a few
// fallback characters.
constexpr std::int64_t kMaxParameter = 1'000'000'000;
constexpr std::size_t kMaxWordLength = 32;
constexpr int kMaxUnicodeSkip = 16;
constexpr int kMaxHalfPoints = 2 * 1638; // the largest size word processors offer

enum class Destination { Text, Skip, ColourTable };
enum class Alignment { Left, Centre, Right, Justify };

struct CharFormat
{
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int halfPoints = 0; ///< 0: the view's own size
    int colour = -1;    ///< index into the colour table; -1: the view's own colour

    bool operator==(const CharFormat&) const = default;
};

/// A colour table entry; an entry without components is the automatic colour.
struct Colour
{
    int red = 0;
    int green = 0;
    int blue = 0;
    bool valid = false;

    [[nodiscard]] QString name() const
    {
        return QStringLiteral("#%1%2%3")
            .arg(red, 2, 16, QLatin1Char('0'))
            .arg(green, 2, 16, QLatin1Char('0'))
            .arg(blue, 2, 16, QLatin1Char('0'));
    }
};

struct GroupState
{
    CharFormat format;
    Alignment alignment = Alignment::Left;
    int unicodeSkip = 1;
    Destination destination = Destination::Text;
};

// Destinations whose text is not part of the document's body.
constexpr std::string_view kSkippedDestinations[] = {
    "annotation", "atnauthor",  "atnid",    "author",     "bkmkend",      "bkmkstart",
    "buptim",     "comment",    "company",  "creatim",    "datastore",    "docvar",
    "doccomm",    "fldinst",    "filetbl",  "fonttbl",    "footer",       "footerf",
    "footerl",    "footerr",    "footnote", "generator",  "header",       "headerf",
    "headerl",    "headerr",    "info",     "keywords",   "latentstyles", "listoverridetable",
    "listtable",  "nonshppict", "object",   "operator",   "pict",         "printim",
    "revtbl",     "revtim",     "rsidtbl",  "stylesheet", "subject",      "themedata",
    "title",      "xmlnstbl"};

bool isSkippedDestination(std::string_view word)
{
    return std::find(std::begin(kSkippedDestinations), std::end(kSkippedDestinations), word) !=
           std::end(kSkippedDestinations);
}

const std::array<QChar, 256>& windows1252Table()
{
    static const std::array<QChar, 256> table = [] {
        std::array<QChar, 256> chars{};
        QByteArray all(256, '\0');
        for (int i = 0; i < 256; ++i) {
            all[i] = static_cast<char>(i);
        }
        const QString text = TextCodec::fromWindows1252(all);
        for (int i = 0; i < 256; ++i) {
            chars[std::size_t(i)] = text.at(i);
        }
        return chars;
    }();
    return table;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

class Converter
{
public:
    Converter(const QByteArray& rtf, const RtfReader::Limits& limits)
        : m_in(rtf.constData())
        , m_size(rtf.size())
        , m_limits(limits)
    {
    }

    RtfReader::Conversion run()
    {
        m_html = QStringLiteral("<html><body>");
        m_groups.push_back(GroupState{});
        int depth = 0;
        bool opened = false;
        while (m_pos < m_size && m_refusal.isEmpty()) {
            m_tokenStart = m_pos;
            const char c = m_in[m_pos];
            if (c == '{') {
                ++m_pos;
                m_pendingSkip = 0;
                openGroup();
                ++depth;
                opened = true;
            } else if (c == '}') {
                ++m_pos;
                m_pendingSkip = 0;
                closeGroup();
                // The document ends with its outermost group; anything after it is not shown.
                if (--depth <= 0 && opened) {
                    break;
                }
            } else if (c == '\\') {
                ++m_pos;
                controlSequence();
            } else {
                ++m_pos;
                textByte(static_cast<unsigned char>(c));
            }
        }
        endParagraph(false);
        if (!m_refusal.isEmpty()) {
            return {QString(), m_refusal};
        }
        m_html += QStringLiteral("</body></html>");
        return {m_html, QString()};
    }

private:
    GroupState& state() { return m_groups.back(); }

    /// Stops the conversion: the document crossed a limit at the byte being read.
    void refuse(const QString& what, int limit)
    {
        if (m_refusal.isEmpty()) {
            m_refusal = what.arg(limit).arg(m_tokenStart + 1);
        }
    }

    /// Counts one more of something limited; false (and the document refused) past the limit.
    bool counted(int& count, int limit, const QString& what)
    {
        if (++count > limit) {
            refuse(what, limit);
            return false;
        }
        return true;
    }

    void openGroup()
    {
        // Below the document's own group: the state outside it and one for each open group.
        if (qsizetype(m_groups.size()) > qsizetype(m_limits.depth) + 1) {
            refuse(QCoreApplication::translate(
                       "RtfReader", "its groups are nested more than %1 deep at byte %2"),
                   m_limits.depth);
            return;
        }
        m_groups.push_back(m_groups.back());
    }

    void closeGroup()
    {
        if (m_groups.size() > 1) {
            m_groups.pop_back();
        }
    }

    /// Consumes one fallback character of a Unicode escape if any is due; true if it did.
    bool skippedAsFallback()
    {
        if (m_pendingSkip > 0) {
            --m_pendingSkip;
            return true;
        }
        return false;
    }

    void controlSequence()
    {
        if (m_pos >= m_size) {
            return;
        }
        const char c = m_in[m_pos];
        if (isLetter(c)) {
            controlWord();
            return;
        }
        ++m_pos;
        if (c == '\'') {
            int value = 0;
            int digits = 0;
            while (digits < 2 && m_pos < m_size && hexValue(m_in[m_pos]) >= 0) {
                value = value * 16 + hexValue(m_in[m_pos]);
                ++m_pos;
                ++digits;
            }
            if (skippedAsFallback() || digits == 0) {
                return;
            }
            character(windows1252Table()[std::size_t(value)]);
            return;
        }
        if (skippedAsFallback()) {
            return;
        }
        switch (c) {
        case '\\':
        case '{':
        case '}':
            character(QLatin1Char(c));
            break;
        case '~':
            character(QChar(0x00A0));
            break;
        case '_':
            character(QChar(0x2011));
            break;
        case '*':
            // An ignorable destination: none of them carries body text this reader shows.
            state().destination = Destination::Skip;
            break;
        case '\n':
        case '\r':
            paragraphBreak();
            break;
        case '\t':
            character(QLatin1Char('\t'));
            break;
        default:
            break; // optional hyphen, formula character and unknown symbols
        }
    }

    void controlWord()
    {
        const std::size_t start = std::size_t(m_pos);
        while (m_pos < m_size && isLetter(m_in[m_pos])) {
            ++m_pos;
        }
        const std::string_view word(m_in + start,
                                    std::min(std::size_t(m_pos) - start, kMaxWordLength));
        bool hasParameter = false;
        bool negative = false;
        std::int64_t parameter = 0;
        if (m_pos < m_size && m_in[m_pos] == '-' && m_pos + 1 < m_size &&
            isDigit(m_in[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        while (m_pos < m_size && isDigit(m_in[m_pos])) {
            hasParameter = true;
            parameter = std::min(parameter * 10 + (m_in[m_pos] - '0'), kMaxParameter);
            ++m_pos;
        }
        if (negative) {
            parameter = -parameter;
        }
        if (m_pos < m_size && m_in[m_pos] == ' ') {
            ++m_pos; // the delimiter belongs to the word
        }
        if (word == "bin") {
            // Raw bytes follow; they are never text, whatever they look like.
            const qsizetype count = std::clamp<qsizetype>(qsizetype(parameter), 0, m_size - m_pos);
            m_pos += count;
            return;
        }
        if (skippedAsFallback()) {
            return;
        }
        applyWord(word, hasParameter, int(parameter));
    }

    void applyWord(std::string_view word, bool hasParameter, int parameter)
    {
        GroupState& group = state();
        if (word == "colortbl") {
            group.destination = Destination::ColourTable;
            m_colour = Colour{};
            return;
        }
        if (isSkippedDestination(word)) {
            group.destination = Destination::Skip;
            return;
        }
        if (group.destination == Destination::ColourTable) {
            colourComponent(word, parameter);
            return;
        }
        const bool on = !hasParameter || parameter != 0;
        CharFormat& format = group.format;
        if (word == "par" || word == "sect" || word == "page" || word == "row") {
            paragraphBreak();
        } else if (word == "line") {
            character(QChar(QChar::LineSeparator));
        } else if (word == "tab") {
            character(QLatin1Char('\t'));
        } else if (word == "cell") {
            if (group.destination == Destination::Text &&
                counted(m_cells, m_limits.cells,
                        QCoreApplication::translate(
                            "RtfReader", "its tables have more than %1 cells (at byte %2)"))) {
                character(QLatin1Char('\t'));
            }
        } else if (word == "u") {
            // Negative values stand for code units above 32767.
            const int unit = parameter < 0 ? parameter + 65536 : parameter;
            character(QChar(char16_t(std::clamp(unit, 0, 0xFFFF))));
            m_pendingSkip = group.unicodeSkip;
        } else if (word == "uc") {
            group.unicodeSkip = std::clamp(parameter, 0, kMaxUnicodeSkip);
        } else if (word == "b") {
            format.bold = on;
        } else if (word == "i") {
            format.italic = on;
        } else if (word == "ulnone") {
            format.underline = false;
        } else if (word == "ul" || word == "uld" || word == "uldash" || word == "uldb" ||
                   word == "ulth" || word == "ulw" || word == "ulwave") {
            format.underline = on;
        } else if (word == "strike" || word == "striked") {
            format.strike = on;
        } else if (word == "fs") {
            format.halfPoints =
                hasParameter && parameter > 0 ? std::min(parameter, kMaxHalfPoints) : 0;
        } else if (word == "cf") {
            format.colour = hasParameter ? std::max(parameter, 0) : -1;
        } else if (word == "plain") {
            format = CharFormat{};
        } else if (word == "pard") {
            group.alignment = Alignment::Left;
        } else if (word == "ql") {
            group.alignment = Alignment::Left;
        } else if (word == "qc") {
            group.alignment = Alignment::Centre;
        } else if (word == "qr") {
            group.alignment = Alignment::Right;
        } else if (word == "qj") {
            group.alignment = Alignment::Justify;
        } else {
            const QChar symbol = namedSymbol(word);
            if (!symbol.isNull()) {
                character(symbol);
            }
        }
    }

    static QChar namedSymbol(std::string_view word)
    {
        struct Named
        {
            std::string_view word;
            char16_t ch;
        };
        static constexpr std::array<Named, 11> kNamed = {{{"emdash", 0x2014},
                                                          {"endash", 0x2013},
                                                          {"bullet", 0x2022},
                                                          {"lquote", 0x2018},
                                                          {"rquote", 0x2019},
                                                          {"ldblquote", 0x201C},
                                                          {"rdblquote", 0x201D},
                                                          {"emspace", 0x2003},
                                                          {"enspace", 0x2002},
                                                          {"qmspace", 0x2005},
                                                          {"zwnj", 0x200C}}};
        for (const Named& named : kNamed) {
            if (named.word == word) {
                return QChar(named.ch);
            }
        }
        return {};
    }

    void colourComponent(std::string_view word, int value)
    {
        const int component = std::clamp(value, 0, 255);
        if (word == "red") {
            m_colour.red = component;
        } else if (word == "green") {
            m_colour.green = component;
        } else if (word == "blue") {
            m_colour.blue = component;
        } else {
            return;
        }
        m_colour.valid = true;
    }

    void textByte(unsigned char byte)
    {
        if (byte == '\r' || byte == '\n') {
            return; // line breaks in the file are not part of the text
        }
        if (skippedAsFallback()) {
            return;
        }
        if (state().destination == Destination::ColourTable) {
            if (byte == ';') {
                m_colours.append(m_colour);
                m_colour = Colour{};
            }
            return;
        }
        if (byte < 0x20 && byte != '\t') {
            return;
        }
        character(windows1252Table()[byte]);
    }

    void character(QChar ch)
    {
        const GroupState& group = state();
        if (group.destination != Destination::Text) {
            return;
        }
        if (!counted(m_characters, m_limits.characters,
                     QCoreApplication::translate(
                         "RtfReader", "it holds more than %1 characters of text (at byte %2)"))) {
            return;
        }
        if (!counted(
                m_paragraphLength, m_limits.paragraphLength,
                QCoreApplication::translate(
                    "RtfReader", "it has a paragraph of more than %1 characters at byte %2"))) {
            return;
        }
        // East Asian scripts break lines between any two characters, as at a space.
        if (ch.isSpace() || ch == QLatin1Char('-') || ch.unicode() >= 0x2E80) {
            m_wordLength = 0;
        } else if (!counted(m_wordLength, m_limits.wordLength,
                            QCoreApplication::translate(
                                "RtfReader", "it has a word of more than %1 characters without a "
                                             "space or line break at byte %2"))) {
            return;
        }
        if (!m_paragraphOpen) {
            openParagraph(group.alignment);
        }
        if (!m_run.isEmpty() && !(group.format == m_runFormat)) {
            flushRun();
        }
        m_runFormat = group.format;
        m_run.append(ch);
    }

    void paragraphBreak()
    {
        if (state().destination == Destination::Text) {
            endParagraph(true);
        }
    }

    void openParagraph(Alignment alignment)
    {
        if (!counted(
                m_paragraphs, m_limits.paragraphs,
                QCoreApplication::translate(
                    "RtfReader", "it has more than %1 paragraphs and table rows (at byte %2)"))) {
            return;
        }
        static const char* const kAlign[] = {"", " align=\"center\"", " align=\"right\"",
                                             " align=\"justify\""};
        m_html += QStringLiteral("<p") + QLatin1String(kAlign[int(alignment)]) +
                  QStringLiteral(" style=\"margin-top:0px; margin-bottom:0px; margin-left:0px; "
                                 "margin-right:0px; white-space:pre-wrap;\">");
        m_paragraphOpen = true;
        m_paragraphStart = m_html.size();
    }

    /// Ends the open paragraph; with `evenIfEmpty`, a paragraph break with no text before it
    /// still makes an empty line.
    void endParagraph(bool evenIfEmpty)
    {
        m_wordLength = 0;
        m_paragraphLength = 0;
        if (!m_paragraphOpen) {
            if (!evenIfEmpty) {
                return;
            }
            openParagraph(state().alignment);
            if (!m_paragraphOpen) {
                return;
            }
        }
        flushRun();
        if (m_html.size() == m_paragraphStart) {
            // An empty line: marked the way the view itself writes one, or it would vanish.
            m_html.insert(m_paragraphStart - 2, QStringLiteral(" -qt-paragraph-type:empty;"));
            m_html += QStringLiteral("<br />");
        }
        m_html += QStringLiteral("</p>");
        m_paragraphOpen = false;
    }

    void flushRun()
    {
        if (m_run.isEmpty() ||
            !counted(m_formatRuns, m_limits.formatRuns,
                     QCoreApplication::translate(
                         "RtfReader", "its character formatting changes more than %1 times (at "
                                      "byte %2)"))) {
            return;
        }
        const QString style = spanStyle(m_runFormat);
        if (!style.isEmpty()) {
            m_html += QStringLiteral("<span style=\"") + style + QStringLiteral("\">");
        }
        appendEscaped(m_run);
        if (!style.isEmpty()) {
            m_html += QStringLiteral("</span>");
        }
        m_run.clear();
    }

    QString spanStyle(const CharFormat& format) const
    {
        QString style;
        if (format.bold) {
            style += QStringLiteral("font-weight:700; ");
        }
        if (format.italic) {
            style += QStringLiteral("font-style:italic; ");
        }
        if (format.underline || format.strike) {
            style += QStringLiteral("text-decoration:");
            if (format.underline) {
                style += QStringLiteral(" underline");
            }
            if (format.strike) {
                style += QStringLiteral(" line-through");
            }
            style += QStringLiteral("; ");
        }
        if (format.halfPoints > 0) {
            style += QStringLiteral("font-size:%1pt; ").arg(format.halfPoints / 2.0);
        }
        if (format.colour >= 0 && format.colour < m_colours.size() &&
            m_colours.at(format.colour).valid) {
            style += QStringLiteral("color:%1; ").arg(m_colours.at(format.colour).name());
        }
        return style.trimmed();
    }

    void appendEscaped(const QString& text)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar ch = text.at(i);
            if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                m_html += ch;
                m_html += text.at(++i);
            } else if (ch.isSurrogate()) {
                m_html += QChar(QChar::ReplacementCharacter);
            } else if (ch == QLatin1Char('&')) {
                m_html += QStringLiteral("&amp;");
            } else if (ch == QLatin1Char('<')) {
                m_html += QStringLiteral("&lt;");
            } else if (ch == QLatin1Char('>')) {
                m_html += QStringLiteral("&gt;");
            } else if (ch == QLatin1Char('"')) {
                m_html += QStringLiteral("&quot;");
            } else if (ch == QChar(QChar::LineSeparator)) {
                m_html += QStringLiteral("<br />");
            } else if (ch.unicode() < 0x20 && ch != QLatin1Char('\t')) {
                continue; // control characters from \u escapes have no place in the view
            } else {
                m_html += ch;
            }
        }
    }

    const char* m_in;
    qsizetype m_size;
    qsizetype m_pos = 0;
    const RtfReader::Limits m_limits;
    qsizetype m_tokenStart = 0;
    QString m_refusal;
    int m_paragraphs = 0;
    int m_cells = 0;
    int m_characters = 0;
    int m_formatRuns = 0;
    int m_wordLength = 0;
    int m_paragraphLength = 0;
    std::vector<GroupState> m_groups;
    int m_pendingSkip = 0;

    QList<Colour> m_colours;
    Colour m_colour;

    QString m_html;
    bool m_paragraphOpen = false;
    qsizetype m_paragraphStart = 0;
    QString m_run;
    CharFormat m_runFormat;
};

} // namespace

bool RtfReader::isRichText(const QByteArray& bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) {
        view = view.sliced(3);
    }
    while (!view.isEmpty() && (view.front() == ' ' || view.front() == '\t' ||
                               view.front() == '\r' || view.front() == '\n')) {
        view = view.sliced(1);
    }
    return view.startsWith("{\\rtf");
}

RtfReader::Conversion RtfReader::toHtml(const QByteArray& rtf, const Limits& limits)
{
    return Converter(rtf, limits).run();
}
