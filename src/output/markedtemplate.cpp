#include "markedtemplate.h"

#include "sendkeys.h"

#include <optional>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

struct Group
{
    QStringView name;  ///< without the blanks at either end
    qsizetype end = 0; ///< just past its ']'
};

// The well-formed group at `pos`, read as the library's formatter reads it (docs/templates.md):
// a '[', a name that is not only blanks, and the next ']', with no '[' or line break between.
std::optional<Group> groupAt(QStringView text, qsizetype pos)
{
    if (pos >= text.size() || text[pos] != u'[') {
        return std::nullopt;
    }
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u']') {
            QStringView name = text.sliced(pos + 1, i - pos - 1);
            while (!name.isEmpty() && isBlank(name.front())) {
                name = name.sliced(1);
            }
            while (!name.isEmpty() && isBlank(name.back())) {
                name.chop(1);
            }
            if (name.isEmpty()) {
                return std::nullopt;
            }
            return Group{name, i + 1};
        }
        if (c == u'[' || c == u'\r' || c == u'\n') {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool isWidth(QStringView name)
{
    for (const QChar c : name) {
        if (c != u'X' && c != u'x') {
            return false;
        }
    }
    return true;
}

void appendWithoutMarkers(QString& out, QStringView text)
{
    for (const QChar c : text) {
        if (c != MarkedTemplate::kValueStart && c != MarkedTemplate::kValueEnd) {
            out += c;
        }
    }
}

} // namespace

MarkedTemplate::MarkedTemplate(const QString& userTemplate)
{
    QString source;
    appendWithoutMarkers(source, userTemplate);
    m_text.reserve(source.size() + 16);
    // The template's own text before, between and after its groups.
    QStringList literals{QString()};
    qsizetype pos = 0;
    while (pos < source.size()) {
        const std::optional<Group> field = groupAt(source, pos);
        if (!field) {
            literals.back() += source[pos];
            m_text += source[pos];
            ++pos;
            continue;
        }
        // A width belongs to its field: the library reads it only right after the field.
        qsizetype end = field->end;
        if (const std::optional<Group> width = groupAt(source, end);
            width && isWidth(width->name)) {
            end = width->end;
        }
        m_text += kValueStart;
        m_text += QStringView(source).sliced(pos, end - pos);
        m_text += kValueEnd;
        literals.append(QString());
        pos = end;
    }
    if (literals.size() > 1) {
        m_after = literals.back();
        m_between = literals.mid(1, literals.size() - 2);
        m_between.append(literals.back() + literals.front());
    }
}

QString MarkedTemplate::notation(QStringView libraryText) const
{
    QString out;
    out.reserve(libraryText.size() + libraryText.size() / 8);
    qsizetype pos = 0;
    while (pos < libraryText.size()) {
        const qsizetype start = libraryText.indexOf(kValueStart, pos);
        if (start < 0) {
            appendWithoutMarkers(out, libraryText.sliced(pos));
            break;
        }
        appendWithoutMarkers(out, libraryText.sliced(pos, start - pos));
        const qsizetype end = valueEnd(libraryText, start + 1);
        const qsizetype stop = end < 0 ? libraryText.size() : end;
        QString value;
        appendWithoutMarkers(value, libraryText.sliced(start + 1, stop - start - 1));
        out += SendKeys::literal(value);
        pos = stop + 1;
    }
    return out;
}

qsizetype MarkedTemplate::valueEnd(QStringView text, qsizetype from) const
{
    const qsizetype first = text.indexOf(kValueEnd, from);
    for (qsizetype end = first; end >= 0; end = text.indexOf(kValueEnd, end + 1)) {
        const qsizetype next = text.indexOf(kValueStart, end + 1);
        const bool fits = next < 0 ? text.sliced(end + 1) == m_after
                                   : m_between.contains(text.sliced(end + 1, next - end - 1));
        if (fits) {
            return end;
        }
    }
    // Not laid out as this template would be: the first end marker ends the value.
    return first;
}
