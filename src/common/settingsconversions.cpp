#include "settingsconversions.h"

#include <cmath>
#include <limits>

namespace {

bool isDigit(QChar ch)
{
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

bool isBlank(QChar ch)
{
    return ch == QLatin1Char(' ') || ch == QLatin1Char('\t');
}

// Length of the longest prefix of text[from..] that is a decimal number, 0 if none.
qsizetype numberPrefixLength(const QString& text, qsizetype from)
{
    qsizetype i = from;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        ++i;
    }
    qsizetype digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0;
    }
    // An exponent counts only when digits follow it ("1e" is the number 1).
    if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < text.size() && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) {
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) {
                ++j;
            }
            i = j;
        }
    }
    return i - from;
}

} // namespace

double SettingsConversions::leadingNumber(const QString& text)
{
    qsizetype start = 0;
    while (start < text.size() && isBlank(text[start])) {
        ++start;
    }
    const qsizetype length = numberPrefixLength(text, start);
    if (length == 0) {
        return 0.0;
    }
    bool ok = false;
    const double value = text.mid(start, length).toDouble(&ok);
    if (ok) {
        return value;
    }
    // Too large for a double: keep its sign so range checks still reject it.
    return text[start] == QLatin1Char('-') ? -std::numeric_limits<double>::infinity()
                                           : std::numeric_limits<double>::infinity();
}

std::optional<bool> SettingsConversions::optionState(const QString& text)
{
    const QString word = text.trimmed();
    if (word.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (word.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
        return false;
    }
    if (!word.isEmpty() && numberPrefixLength(word, 0) == word.size()) {
        return leadingNumber(word) != 0.0;
    }
    return std::nullopt;
}

std::optional<std::int16_t> SettingsConversions::checkState(const QString& text)
{
    // Halves round to the even neighbour, as the platform's own integer conversion does.
    const double rounded = std::nearbyint(leadingNumber(text));
    if (!(rounded >= std::numeric_limits<std::int16_t>::min() &&
          rounded <= std::numeric_limits<std::int16_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(rounded);
}

bool SettingsConversions::checkFlag(const QString& text)
{
    return leadingNumber(text) != 0.0;
}

std::optional<std::int32_t> SettingsConversions::comPortNumber(const QString& text)
{
    qsizetype start = text.size();
    while (start > 0 && isDigit(text[start - 1])) {
        --start;
    }
    if (start == text.size()) {
        return 0;
    }
    bool ok = false;
    const qlonglong number = text.mid(start).toLongLong(&ok);
    if (!ok || number > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(number);
}
