#pragma once

#include "translators.h"
#include "uitext.h"

#include <QFlags>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class CaptionTarget;

/// The windows whose captions come from the string table.
enum class CaptionWindow { Main = 0, Configuration = 1, Upload = 2 };

/// The windows a change of language captions.
enum class CaptionWindowFlag { Main = 0x1, Configuration = 0x2, Upload = 0x4 };
Q_DECLARE_FLAGS(CaptionWindows, CaptionWindowFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(CaptionWindows)

/// The current user-interface language: the string table, the language index, the four message
/// copies, and applyLanguage, which puts the current language's texts on the registered windows.
class UiLanguage
{
public:
    /// Finds a window when its captions are to be set; may create it (the configuration dialog
    /// is created hidden on its first captioning) or give nullptr when it does not exist.
    using WindowProvider = std::function<CaptionTarget*()>;

    UiLanguage();

    void setWindowProvider(CaptionWindow window, WindowProvider provider);

    /// Sets the language for a known name ("English", "Portugues", "Spanish", exact case;
    /// any other name keeps the current one), refills the table, captions the chosen windows
    /// and refreshes the message copies. It also installs the translators of that language for
    /// every text outside the table (the program's tr() texts and Qt's own dialogs).
    void applyLanguage(const QString& languageName, CaptionWindows windows = {});

    /// 0 English, 1 Portuguese, 2 Spanish; nullopt for any other name.
    [[nodiscard]] static std::optional<std::int16_t> languageIndexOf(const QString& languageName);

    [[nodiscard]] std::int16_t languageIndex() const { return m_languageIndex; }
    [[nodiscard]] const UiText& table() const { return m_table; }
    /// Row r in the current language.
    [[nodiscard]] const QString& text(int row) const { return m_table.cell(row, m_languageIndex); }

    [[nodiscard]] const QString& MsgCommError() const { return m_msgCommError; }
    [[nodiscard]] const QString& MsgPlaceTerminal() const { return m_msgPlaceTerminal; }
    [[nodiscard]] const QString& MsgReadData() const { return m_msgReadData; }
    [[nodiscard]] const QString& MsgPortError() const { return m_msgPortError; }

private:
    void captionWindow(CaptionWindow window);

    UiText m_table;
    Translators m_translators;
    std::int16_t m_languageIndex = 0;
    std::array<WindowProvider, 3> m_providers;
    QString m_msgCommError;
    QString m_msgPlaceTerminal;
    QString m_msgReadData;
    QString m_msgPortError;
};
