#include "programcore.h"

ProgramCore::ProgramCore(const ProgramPlatform& p)
    : config(p.store, p.locale, language, p.dialogs)
    , session(p.library, state, p.window, p.pump, p.dialogs, language)
    , modem(p.library, state, p.window, p.pump, p.dialogs, language, session)
    , retrieval(p.library, state, config, p.view, p.dialogs, language)
    , files(p.store, p.view, p.window)
    , clearing(p.library, state, p.dialogs, language)
    , runner(p.pump, p.dialogs)
    , fileDelivery(files, clearing, runner, p.dialogs, state)
    , keyboardDelivery(p.keys, clearing, p.view, p.dialogs)
    , cycle(p.library, state, p.window, p.view, p.dialogs, language, p.store, modem,
            {[this] { retrieval.ReadTerminalData(); }, [this] { return fileDelivery.deliver(); },
             [this] { return keyboardDelivery.deliver(); }})
{
}
