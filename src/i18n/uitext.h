#pragma once

#include <QString>
#include <vector>

/// The table of every localised caption and message: rows 0 to 1000, languages 0 to 10, of
/// which rows 0 to 46 of English (0), Portuguese (1) and Spanish (2) hold text.
class UiText
{
public:
    static constexpr int kRowCount = 1001;
    static constexpr int kLanguageCount = 11;
    static constexpr int kFilledRows = 47;
    static constexpr int kFilledLanguages = 3;

    UiText();

    /// Writes the filled cells with their texts (the same every time).
    void fill();

    /// The text of a cell; empty text for a cell that holds none. Row and language outside
    /// the table are a caller's error: they give empty text in release builds.
    [[nodiscard]] const QString& cell(int row, int language) const;

private:
    std::vector<QString> m_cells;
};
