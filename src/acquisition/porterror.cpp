#include "porterror.h"

#include "common/numbertext.h"
#include "i18n/uilanguage.h"
#include "link/commlibrary.h"

QString portErrorMessage(const UiLanguage& language, CommLibrary& library, int port)
{
    QString message = language.MsgPortError() + QStringLiteral(" :") + numberText(port);
    if (const auto reason = library.lastOpenError(); reason && !reason->text.isEmpty()) {
        message += QStringLiteral("\n\n") + reason->text;
    }
    return message;
}
