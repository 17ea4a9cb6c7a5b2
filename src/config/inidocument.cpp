#include "inidocument.h"

namespace {

const QString kPercentOpen = QStringLiteral("@Percent(");

bool isSectionHeader(const QString& trimmed)
{
    return trimmed.size() >= 2 && trimmed.startsWith(QLatin1Char('[')) &&
           trimmed.endsWith(QLatin1Char(']'));
}

bool hasControlCharacter(const QString& value)
{
    for (const QChar ch : value) {
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7F) {
            return true;
        }
    }
    return false;
}

QString percentEncode(const QString& value)
{
    QString out;
    for (const QChar ch : value) {
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7F || ch == QLatin1Char('%') ||
            ch == QLatin1Char(')')) {
            out += QStringLiteral("%%1").arg(ch.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        } else {
            out += ch;
        }
    }
    return out;
}

std::optional<QString> percentDecode(const QString& encoded)
{
    QString out;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != QLatin1Char('%')) {
            out += encoded[i];
            continue;
        }
        bool ok = false;
        const int code = encoded.mid(i + 1, 2).toInt(&ok, 16);
        if (!ok || i + 2 >= encoded.size()) {
            return std::nullopt;
        }
        out += QChar(code);
        i += 2;
    }
    return out;
}

// The text between the outer quotes, with doubled quotes made single; nullopt when a quote
// inside stands alone (then the whole text is taken as written).
std::optional<QString> unquote(const QString& written)
{
    QString out;
    for (qsizetype i = 1; i + 1 < written.size(); ++i) {
        if (written[i] == QLatin1Char('"')) {
            if (i + 2 < written.size() && written[i + 1] == QLatin1Char('"')) {
                ++i;
            } else {
                return std::nullopt;
            }
        }
        out += written[i];
    }
    return out;
}

} // namespace

IniDocument::IniDocument(QString section)
    : m_section(std::move(section))
{
}

std::vector<int> IniDocument::parse(const QString& text)
{
    m_lines.clear();
    std::vector<int> notUnderstood;
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    bool inSection = false;
    for (qsizetype number = 0; number < lines.size(); ++number) {
        QString line = lines[number];
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        const QString trimmed = line.trimmed();
        Line entry{line, {}, {}, false};
        if (isSectionHeader(trimmed)) {
            inSection = trimmed.mid(1, trimmed.size() - 2)
                            .trimmed()
                            .compare(m_section, Qt::CaseInsensitive) == 0;
        } else if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) ||
                   trimmed.startsWith(QLatin1Char('#'))) {
            // blank or comment: kept as it is
        } else if (const qsizetype eq = line.indexOf(QLatin1Char('='));
                   eq > 0 && !line.left(eq).trimmed().isEmpty()) {
            if (inSection) {
                entry.key = line.left(eq).trimmed();
                entry.value = decodeValue(line.mid(eq + 1).trimmed());
                entry.isEntry = true;
            }
        } else {
            notUnderstood.push_back(static_cast<int>(number + 1));
        }
        m_lines.push_back(std::move(entry));
    }
    return notUnderstood;
}

QString IniDocument::toText() const
{
    QString text;
    for (const Line& line : m_lines) {
        text += line.isEntry ? line.key + QLatin1Char('=') + encodeValue(line.value) : line.text;
        text += QLatin1Char('\n');
    }
    return text;
}

std::optional<std::size_t> IniDocument::findEntry(const QString& key) const
{
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].isEntry && m_lines[i].key.compare(key, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<QString> IniDocument::value(const QString& key) const
{
    if (const auto index = findEntry(key)) {
        return m_lines[*index].value;
    }
    return std::nullopt;
}

void IniDocument::setValue(const QString& key, const QString& value)
{
    if (const auto index = findEntry(key)) {
        m_lines[*index].value = value;
        return;
    }
    // After the last line of our section, or in a new section at the end.
    std::optional<std::size_t> insertAt;
    bool inSection = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const QString trimmed = m_lines[i].text.trimmed();
        if (!m_lines[i].isEntry && isSectionHeader(trimmed)) {
            inSection = trimmed.mid(1, trimmed.size() - 2)
                            .trimmed()
                            .compare(m_section, Qt::CaseInsensitive) == 0;
            if (inSection) {
                insertAt = i + 1;
            }
        } else if (inSection && !trimmed.isEmpty()) {
            insertAt = i + 1;
        }
    }
    if (!insertAt) {
        if (!m_lines.empty() && !m_lines.back().text.trimmed().isEmpty()) {
            m_lines.push_back({QString(), {}, {}, false});
        }
        m_lines.push_back({QLatin1Char('[') + m_section + QLatin1Char(']'), {}, {}, false});
        insertAt = m_lines.size();
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(*insertAt),
                   Line{{}, key, value, true});
}

QString IniDocument::encodeValue(const QString& value)
{
    if (hasControlCharacter(value)) {
        return kPercentOpen + percentEncode(value) + QLatin1Char(')');
    }
    const bool needsQuotes =
        !value.isEmpty() && (value.front().isSpace() || value.back().isSpace() ||
                             value.startsWith(QLatin1Char('"')) || value.startsWith(kPercentOpen));
    if (!needsQuotes) {
        return value;
    }
    QString quoted = value;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString IniDocument::decodeValue(const QString& written)
{
    if (written.startsWith(kPercentOpen) && written.endsWith(QLatin1Char(')'))) {
        if (auto decoded = percentDecode(
                written.mid(kPercentOpen.size(), written.size() - kPercentOpen.size() - 1))) {
            return *decoded;
        }
        return written;
    }
    if (written.size() >= 2 && written.startsWith(QLatin1Char('"')) &&
        written.endsWith(QLatin1Char('"'))) {
        return unquote(written).value_or(written);
    }
    return written;
}
