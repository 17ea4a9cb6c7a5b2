#include "sendkeys.h"

#include <QCoreApplication>
#include <QStringList>
#include <array>
#include <string>
#include <string_view>

namespace {

using Key = Keystroke::Key;
using Modifier = Keystroke::Modifier;
using Modifiers = Keystroke::Modifiers;

struct NamedKey
{
    std::string_view name;
    Key key;
};

// The canonical name of each key comes first; the aliases follow it.
constexpr std::array kNamedKeys = {
    NamedKey{"BACKSPACE", Key::Backspace},
    NamedKey{"BS", Key::Backspace},
    NamedKey{"BKSP", Key::Backspace},
    NamedKey{"BREAK", Key::Break},
    NamedKey{"CAPSLOCK", Key::CapsLock},
    NamedKey{"DELETE", Key::Delete},
    NamedKey{"DEL", Key::Delete},
    NamedKey{"DOWN", Key::Down},
    NamedKey{"END", Key::End},
    NamedKey{"ENTER", Key::Enter},
    NamedKey{"ESC", Key::Escape},
    NamedKey{"HELP", Key::Help},
    NamedKey{"HOME", Key::Home},
    NamedKey{"INSERT", Key::Insert},
    NamedKey{"INS", Key::Insert},
    NamedKey{"LEFT", Key::Left},
    NamedKey{"NUMLOCK", Key::NumLock},
    NamedKey{"PGDN", Key::PageDown},
    NamedKey{"PGUP", Key::PageUp},
    NamedKey{"PRTSC", Key::PrintScreen},
    NamedKey{"RIGHT", Key::Right},
    NamedKey{"SCROLLLOCK", Key::ScrollLock},
    NamedKey{"TAB", Key::Tab},
    NamedKey{"UP", Key::Up},
    NamedKey{"F1", Key::F1},
    NamedKey{"F2", Key::F2},
    NamedKey{"F3", Key::F3},
    NamedKey{"F4", Key::F4},
    NamedKey{"F5", Key::F5},
    NamedKey{"F6", Key::F6},
    NamedKey{"F7", Key::F7},
    NamedKey{"F8", Key::F8},
    NamedKey{"F9", Key::F9},
    NamedKey{"F10", Key::F10},
    NamedKey{"F11", Key::F11},
    NamedKey{"F12", Key::F12},
    NamedKey{"F13", Key::F13},
    NamedKey{"F14", Key::F14},
    NamedKey{"F15", Key::F15},
    NamedKey{"F16", Key::F16},
    NamedKey{"ADD", Key::Add},
    NamedKey{"SUBTRACT", Key::Subtract},
    NamedKey{"MULTIPLY", Key::Multiply},
    NamedKey{"DIVIDE", Key::Divide},
};

// Names are matched in ASCII upper case only, so that no other letter folds onto a key name.
std::optional<Key> namedKey(const std::u32string& name)
{
    std::string upper;
    for (const char32_t c : name) {
        if (c > 0x7F) {
            return std::nullopt;
        }
        upper +=
            (c >= U'a' && c <= U'z') ? static_cast<char>(c - U'a' + U'A') : static_cast<char>(c);
    }
    for (const NamedKey& named : kNamedKeys) {
        if (named.name == upper) {
            return named.key;
        }
    }
    return std::nullopt;
}

std::optional<Modifier> modifierOf(char32_t c)
{
    switch (c) {
    case U'+':
        return Modifier::Shift;
    case U'^':
        return Modifier::Control;
    case U'%':
        return Modifier::Alt;
    default:
        return std::nullopt;
    }
}

QString modifierNames(Modifiers modifiers)
{
    QStringList names;
    if (modifiers.testFlag(Modifier::Control)) {
        names << QStringLiteral("Ctrl");
    }
    if (modifiers.testFlag(Modifier::Alt)) {
        names << QStringLiteral("Alt");
    }
    if (modifiers.testFlag(Modifier::Shift)) {
        names << QStringLiteral("Shift");
    }
    return names.join(u'+');
}

bool isBlank(char32_t c)
{
    return c == U' ' || c == U'\t';
}
bool isDigit(char32_t c)
{
    return c >= U'0' && c <= U'9';
}

QString fromUcs4(const std::u32string& text)
{
    return QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
}

/// One character of the parsed text and its index in the text the user wrote.
struct Unit
{
    char32_t c;
    qsizetype source;
};

class Parser
{
public:
    Parser(const QString& source, bool dropLineBreaks)
        : m_source(source.toStdU32String())
    {
        for (std::size_t i = 0; i < m_source.size(); ++i) {
            const char32_t c = m_source[i];
            if (dropLineBreaks && (c == U'\r' || c == U'\n')) {
                continue;
            }
            m_units.push_back({c, static_cast<qsizetype>(i)});
        }
    }

    SendKeysResult run()
    {
        while (m_at < m_units.size() && !m_error) {
            step();
        }
        if (!m_error && !m_pending.empty()) {
            fail(m_pending.front(), QCoreApplication::translate(
                                        "SendKeys", "\"%1\" (%2) at the end of the text is not "
                                                    "followed by a key")
                                        .arg(pendingText(), modifierNames(pendingModifiers())));
        }
        if (!m_error && !m_groups.empty()) {
            fail(m_groups.back().open,
                 QCoreApplication::translate("SendKeys", "\"(\" is not closed by \")\""));
        }
        SendKeysResult result;
        if (m_error) {
            result.error = std::move(m_error);
        } else {
            result.keys = std::move(m_keys);
        }
        return result;
    }

private:
    struct Group
    {
        Modifiers modifiers;
        std::size_t open;
    };

    void step()
    {
        const char32_t c = m_units[m_at].c;
        if (const auto modifier = modifierOf(c)) {
            if ((heldModifiers() | pendingModifiers()).testFlag(*modifier)) {
                fail(m_at,
                     QCoreApplication::translate("SendKeys",
                                                 "\"%1\" (%2) is given twice for the same key")
                         .arg(QString(QChar(static_cast<char16_t>(c))), modifierNames(*modifier)));
                return;
            }
            m_pending.push_back(m_at++);
            return;
        }
        switch (c) {
        case U'(':
            m_groups.push_back({pendingModifiers(), m_at++});
            m_pending.clear();
            return;
        case U')':
            if (!m_pending.empty()) {
                fail(m_pending.front(),
                     QCoreApplication::translate("SendKeys", "\"%1\" (%2) is not followed by a key")
                         .arg(pendingText(), modifierNames(pendingModifiers())));
            } else if (m_groups.empty()) {
                fail(m_at, QCoreApplication::translate("SendKeys", "\")\" has no matching \"(\""));
            } else {
                m_groups.pop_back();
                ++m_at;
            }
            return;
        case U'}':
            fail(m_at, QCoreApplication::translate("SendKeys", "\"}\" has no matching \"{\""));
            return;
        case U'~':
            add(Keystroke::named(Key::Enter));
            ++m_at;
            return;
        case U'{':
            braced();
            return;
        default:
            add(Keystroke::typed(c));
            ++m_at;
            return;
        }
    }

    // "{NAME}", "{NAME n}", "{x}", "{x n}"; the first character after "{" may itself be "}".
    void braced()
    {
        const std::size_t open = m_at;
        const std::size_t first = open + 1;
        std::size_t close = first < m_units.size() && m_units[first].c == U'}' ? first + 1 : first;
        while (close < m_units.size() && m_units[close].c != U'}') {
            ++close;
        }
        if (close >= m_units.size()) {
            const bool emptyBraces = first < m_units.size() && m_units[first].c == U'}';
            fail(open, emptyBraces ? QCoreApplication::translate("SendKeys", "empty key name {}")
                                   : QCoreApplication::translate("SendKeys",
                                                                 "\"{\" is not closed by \"}\""));
            return;
        }
        std::size_t nameEnd = first;
        while (nameEnd < close && !isBlank(m_units[nameEnd].c)) {
            ++nameEnd;
        }
        const std::u32string name = text(first, nameEnd);
        const QString token = tokenText(open, close + 1);
        if (name.empty()) {
            fail(open, QCoreApplication::translate("SendKeys", "empty key name %1").arg(token));
            return;
        }

        std::size_t countStart = nameEnd;
        while (countStart < close && isBlank(m_units[countStart].c)) {
            ++countStart;
        }
        std::size_t countEnd = close;
        while (countEnd > countStart && isBlank(m_units[countEnd - 1].c)) {
            --countEnd;
        }
        int repeat = 1;
        if (countStart < countEnd) {
            const std::u32string count = text(countStart, countEnd);
            for (const char32_t c : count) {
                if (!isDigit(c)) {
                    fail(countStart, QCoreApplication::translate(
                                         "SendKeys", "the repeat count \"%1\" in %2 is not a "
                                                     "whole number")
                                         .arg(fromUcs4(count), token));
                    return;
                }
            }
            const std::size_t firstNonZero = count.find_first_not_of(U'0');
            const std::u32string digits = firstNonZero == std::u32string::npos
                                              ? std::u32string()
                                              : count.substr(firstNonZero);
            repeat = 0;
            for (const char32_t c : digits) {
                if (repeat > SendKeys::kMaxRepeat) {
                    break;
                }
                repeat = repeat * 10 + static_cast<int>(c - U'0');
            }
            if (repeat > SendKeys::kMaxRepeat) {
                fail(countStart, QCoreApplication::translate(
                                     "SendKeys", "the repeat count in %1 is larger than %2")
                                     .arg(token)
                                     .arg(SendKeys::kMaxRepeat));
                return;
            }
        }

        if (name.size() == 1) {
            add(Keystroke::typed(name.front(), {}, repeat));
        } else if (const auto key = namedKey(name)) {
            add(Keystroke::named(*key, {}, repeat));
        } else {
            fail(open, QCoreApplication::translate("SendKeys", "unknown key name %1").arg(token));
            return;
        }
        m_at = close + 1;
    }

    void add(Keystroke keystroke)
    {
        keystroke.modifiers = heldModifiers() | pendingModifiers();
        m_pending.clear();
        if (keystroke.repeat > 0) {
            m_keys.push_back(keystroke);
        }
    }

    [[nodiscard]] Modifiers heldModifiers() const
    {
        Modifiers held;
        for (const Group& group : m_groups) {
            held |= group.modifiers;
        }
        return held;
    }

    [[nodiscard]] Modifiers pendingModifiers() const
    {
        Modifiers pending;
        for (const std::size_t at : m_pending) {
            pending |= *modifierOf(m_units[at].c);
        }
        return pending;
    }

    [[nodiscard]] QString pendingText() const
    {
        std::u32string chars;
        for (const std::size_t at : m_pending) {
            chars += m_units[at].c;
        }
        return fromUcs4(chars);
    }

    [[nodiscard]] std::u32string text(std::size_t from, std::size_t to) const
    {
        std::u32string out;
        for (std::size_t i = from; i < to; ++i) {
            out += m_units[i].c;
        }
        return out;
    }

    // A token as quoted in a message; a long one is cut so that the message stays readable.
    [[nodiscard]] QString tokenText(std::size_t from, std::size_t to) const
    {
        constexpr std::size_t kShown = 40;
        if (to - from <= kShown) {
            return fromUcs4(text(from, to));
        }
        return fromUcs4(text(from, from + kShown - 1)) + QChar(u'\u2026');
    }

    void fail(std::size_t unit, const QString& description)
    {
        SendKeysError error;
        error.description = description;
        error.position = m_units[unit].source;
        // Count lines in the text as written; CR LF and LF CR are one line break each.
        const auto end = static_cast<std::size_t>(error.position);
        for (std::size_t i = 0; i < end; ++i) {
            const char32_t c = m_source[i];
            if (c != U'\r' && c != U'\n') {
                ++error.column;
                continue;
            }
            const char32_t partner = c == U'\r' ? U'\n' : U'\r';
            if (i + 1 < end && m_source[i + 1] == partner) {
                ++i;
            }
            ++error.line;
            error.column = 1;
        }
        m_error = std::move(error);
    }

    std::u32string m_source;
    std::vector<Unit> m_units;
    std::size_t m_at = 0;
    std::vector<std::size_t> m_pending; // modifiers waiting for their key, as indexes into m_units
    std::vector<Group> m_groups;
    std::vector<Keystroke> m_keys;
    std::optional<SendKeysError> m_error;
};

} // namespace

QString SendKeysError::where() const
{
    return QStringLiteral("line %1, column %2 (character %3)")
        .arg(line)
        .arg(column)
        .arg(position + 1);
}

QString SendKeysError::message() const
{
    return description + QStringLiteral(" at ") + where();
}

QString SendKeys::literal(QStringView text)
{
    static constexpr QStringView kSpecial = u"+^%~(){}[]";
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (kSpecial.contains(c)) {
            out += u'{';
            out += c;
            out += u'}';
        } else {
            out += c;
        }
    }
    return out;
}

SendKeysResult SendKeys::parse(const QString& notation)
{
    return Parser(notation, false).run();
}

QString SendKeys::keyString(const QString& text)
{
    QString keys;
    keys.reserve(text.size());
    for (const QChar c : text) {
        if (c != u'\r' && c != u'\n') {
            keys += c;
        }
    }
    return keys;
}

SendKeysResult SendKeys::parseKeyString(const QString& text)
{
    return Parser(text, true).run();
}

QString SendKeys::keyName(Keystroke::Key key)
{
    for (const NamedKey& named : kNamedKeys) {
        if (named.key == key) {
            return QString::fromLatin1(named.name.data(),
                                       static_cast<qsizetype>(named.name.size()));
        }
    }
    return {};
}

QString SendKeys::describe(const Keystroke& keystroke)
{
    QString out = modifierNames(keystroke.modifiers);
    if (!out.isEmpty()) {
        out += u'+';
    }
    const QString repeat =
        keystroke.repeat == 1 ? QString() : QStringLiteral(" %1").arg(keystroke.repeat);
    if (keystroke.key == Key::Character) {
        const char32_t c = keystroke.character;
        const QString shown =
            c >= 0x20 && c != 0x7F
                ? QString::fromUcs4(&c, 1)
                : QStringLiteral("U+%1").arg(static_cast<uint>(c), 4, 16, QChar(u'0'));
        return out + (repeat.isEmpty() ? QStringLiteral("'%1'").arg(shown)
                                       : QStringLiteral("{%1%2}").arg(shown, repeat));
    }
    return out + QStringLiteral("{%1%2}").arg(keyName(keystroke.key), repeat);
}
