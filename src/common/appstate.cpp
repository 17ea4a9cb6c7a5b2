#include "appstate.h"

#include "textcodec.h"
#include "textutil.h"

QString AppState::terminalName() const
{
    return trimSpaces(TextCodec::fromWindows1252(TerminalId));
}
