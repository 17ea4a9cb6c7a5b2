#include "templateimport.h"

#include "common/appstate.h"
#include "common/textcodec.h"
#include "common/textutil.h"
#include "common/userdialogs.h"
#include "link/commlibrary.h"

TemplateImport::TemplateImport(CommLibrary& library, AppState& state, UserDialogs& dialogs)
    : m_library(library)
    , m_state(state)
    , m_dialogs(dialogs)
{
}

std::optional<QString> TemplateImport::importTemplate(Kind kind)
{
    const BusyPointer busy(m_dialogs);
    QByteArray& terminalId = m_state.TerminalId;
    QByteArray buffer(CommLibrary::kTemplateCapacity, ' ');
    if (m_library.I_CheckTerminal(terminalId) == 0) {
        return std::nullopt;
    }
    const std::int32_t result = kind == Kind::Body
                                    ? m_library.I_ReadEntriesConfig(terminalId, buffer)
                                    : m_library.I_ReadHeadersConfig(terminalId, buffer);
    if (result <= 0) {
        return QString();
    }
    return trimSpaces(TextCodec::fromWindows1252(buffer));
}
