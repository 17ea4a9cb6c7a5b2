#include "terminalclearing.h"

#include "common/appstate.h"
#include "common/userdialogs.h"
#include "i18n/uilanguage.h"
#include "journal/journal.h"
#include "link/commlibrary.h"

#include <cmath>
#include <limits>

namespace {
constexpr int kRowWhichList = 46;
} // namespace

TerminalClearing::TerminalClearing(CommLibrary& library, AppState& state, UserDialogs& dialogs,
                                   const UiLanguage& language, Journal* journal)
    : m_library(library)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_language(language)
    , m_journal(journal)
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
    const auto result =
        static_cast<std::int16_t>(m_library.I_ClearEntries(m_state.TerminalId, list));
    journal(QStringLiteral("clear-list"), QStringLiteral("list %1").arg(list), result);
    reportResult(result);
}

std::int16_t TerminalClearing::clearAll()
{
    const auto result = static_cast<std::int16_t>(m_library.I_ClearAllEntries(m_state.TerminalId));
    journal(QStringLiteral("clear-all"), QString(), result);
    reportResult(result);
    return result;
}

void TerminalClearing::journal(const QString& kind, const QString& detail, std::int16_t result)
{
    if (m_journal == nullptr) {
        return;
    }
    JournalEvent event = JournalEvent::now(
        kind, m_state.terminalName(), detail,
        result > 0                           ? QStringLiteral("ok")
        : result == CommLibrary::kCommError  ? QStringLiteral("communication error")
        : result == CommLibrary::kNoTerminal ? QStringLiteral("no terminal")
                                             : QStringLiteral("nothing cleared (%1)").arg(result));
    // The clearing has happened either way; a journal that cannot be written has been reported
    // with the reading that preceded it.
    static_cast<void>(m_journal->addEvent(event));
}

void TerminalClearing::reportResult(std::int16_t result)
{
    if (result == CommLibrary::kCommError) {
        m_dialogs.showError(m_language.MsgCommError());
    } else if (result == CommLibrary::kNoTerminal) {
        m_dialogs.showWarning(m_language.MsgPlaceTerminal());
    }
}
