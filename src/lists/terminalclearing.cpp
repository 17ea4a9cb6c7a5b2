#include "terminalclearing.h"

#include "common/appstate.h"
#include "common/userdialogs.h"
#include "i18n/uilanguage.h"
#include "link/commlibrary.h"

#include <cmath>
#include <limits>

namespace {
constexpr int kRowWhichList = 46;
} // namespace

TerminalClearing::TerminalClearing(CommLibrary& library, AppState& state, UserDialogs& dialogs,
                                   const UiLanguage& language)
    : m_library(library)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_language(language)
{
}

std::int16_t TerminalClearing::listNumber(const QString& entry)
{
    bool ok = false;
    const double value = entry.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        return 0;
    }
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<std::int16_t>::min() ||
        rounded > std::numeric_limits<std::int16_t>::max()) {
        return 0;
    }
    return static_cast<std::int16_t>(rounded);
}

void TerminalClearing::clearList()
{
    const std::optional<QString> entry = m_dialogs.askText(m_language.text(kRowWhichList));
    const std::int16_t list = listNumber(entry.value_or(QString()));
    if (list <= 0) {
        return;
    }
    reportResult(static_cast<std::int16_t>(m_library.I_ClearEntries(m_state.TerminalId, list)));
}

std::int16_t TerminalClearing::clearAll()
{
    const auto result = static_cast<std::int16_t>(m_library.I_ClearAllEntries(m_state.TerminalId));
    reportResult(result);
    return result;
}

void TerminalClearing::reportResult(std::int16_t result)
{
    if (result == CommLibrary::kCommError) {
        m_dialogs.showMessage(m_language.MsgCommError());
    } else if (result == CommLibrary::kNoTerminal) {
        m_dialogs.showMessage(m_language.MsgPlaceTerminal());
    }
}
