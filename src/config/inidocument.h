#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

/// The text of an INI settings file, as lines that are kept in order. Only the entries of one
/// section are read and written; everything else (comments, other sections, lines that are not
/// understood) is kept as it stands, so nothing a person wrote is lost.
///
/// Values are written plainly where they read back unchanged. A value with spaces at either end,
/// or one beginning with a double quote, is written in double quotes with each quote inside
/// doubled; a value holding control characters (line breaks) is written as @Percent(...) with
/// those characters and '%' percent-encoded. Backslashes, commas, semicolons and the like are
/// never special, so a hand-written `C:\out\data.txt` or `[Code],[Qty]` means just that.
class IniDocument
{
public:
    explicit IniDocument(QString section);

    /// Replaces the content with the parsed text. Returns the line numbers (1-based) of lines
    /// that are neither blank, comment, section header nor key=value.
    std::vector<int> parse(const QString& text);

    /// The file text, lines ending with '\n'.
    [[nodiscard]] QString toText() const;

    /// The value of a key of the section, matched without regard to letter case.
    [[nodiscard]] std::optional<QString> value(const QString& key) const;

    /// Sets the value of the entry of any spelling of the key; adds the key at the end of the
    /// section (creating the section) when absent.
    void setValue(const QString& key, const QString& value);

    [[nodiscard]] static QString encodeValue(const QString& value);
    [[nodiscard]] static QString decodeValue(const QString& written);

private:
    struct Line
    {
        QString text; ///< the line as read, for lines that are not our entries
        QString key;  ///< for entries of our section
        QString value;
        bool isEntry = false;
    };

    [[nodiscard]] std::optional<std::size_t> findEntry(const QString& key) const;

    QString m_section;
    std::vector<Line> m_lines;
};
