#include "keyboarddelivery.h"

#include "common/documentview.h"
#include "common/userdialogs.h"
#include "keystrokesink.h"
#include "sendkeys.h"
#include "terminaleraser.h"

#include <QCoreApplication>

namespace {

QString keptOnTerminal()
{
    return QCoreApplication::translate("KeyboardDelivery",
                                       "The data stays on the terminal and in the window.");
}

} // namespace

KeyboardDelivery::KeyboardDelivery(KeystrokeSink& sink, TerminalEraser& clearing,
                                   DocumentView& view, UserDialogs& dialogs)
    : m_sink(sink)
    , m_clearing(clearing)
    , m_view(view)
    , m_dialogs(dialogs)
{
}

bool KeyboardDelivery::deliver()
{
    const SendKeysResult parsed = SendKeys::parseKeyString(m_view.text());
    if (!parsed.ok()) {
        m_dialogs.showWarning(
            QCoreApplication::translate("KeyboardDelivery",
                                        "The data cannot be typed: it is not valid keystroke "
                                        "notation. At %1: %2.\n\nNothing was typed. %3")
                .arg(parsed.error->where(), parsed.error->description, keptOnTerminal()));
        return false;
    }
    if (parsed.keys.empty()) {
        return false; // nothing to type, so nothing delivered that could be cleared
    }
    QString reason;
    if (!m_sink.send(parsed.keys, &reason)) {
        m_dialogs.showError(QCoreApplication::translate("KeyboardDelivery",
                                                        "The data could not be typed. %1.\n\n%2")
                                .arg(reason, keptOnTerminal()));
        return false;
    }
    // The clearing shows its own message when it fails; the data was typed either way.
    static_cast<void>(m_clearing.clearAll());
    return true;
}
