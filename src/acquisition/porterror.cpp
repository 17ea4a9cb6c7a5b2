#include "porterror.h"

#include "common/numbertext.h"
#include "i18n/uilanguage.h"
#include "link/commlibrary.h"

#include <QCoreApplication>
#include <optional>

namespace {

// The library's reasons said again in the user's language. %1 is the device path; %2 and %3
// the holding program and its process number.
QString missingText()
{
    return QCoreApplication::translate("PortError",
                                       "The device %1 does not exist. Check that the cradle is "
                                       "connected and that the port number is right.");
}

QString permissionDeniedText()
{
    return QCoreApplication::translate(
        "PortError",
        "Permission denied on %1. Add your user to the dialout group, then log out and back in.");
}

QString inUseText()
{
    return QCoreApplication::translate(
        "PortError", "%1 is in use by another program. Close that program and try again.");
}

QString inUseByText()
{
    return QCoreApplication::translate("PortError",
                                       "%1 is in use by another program (%2, process %3). Close "
                                       "that program and try again.");
}

QString inUseHereText()
{
    return QCoreApplication::translate(
        "PortError", "%1 is already in use by this program under another port number.");
}

// The device named between `prefix` and `suffix` of the library's text; nothing when the text
// has another shape (another library, or a newer wording this program does not know).
std::optional<QString> between(const QString& text, QStringView prefix, QStringView suffix)
{
    if (!text.startsWith(prefix) || !text.endsWith(suffix) ||
        text.size() <= prefix.size() + suffix.size()) {
        return std::nullopt;
    }
    return text.mid(prefix.size(), text.size() - prefix.size() - suffix.size());
}

// "<device> is in use by another program[ (<name>, process <pid>)]" or
// "<device> is in use by this program", the shapes libvorlak documents for this kind.
std::optional<QString> inUseReason(const QString& text)
{
    if (const auto device = between(text, u"", u" is in use by this program")) {
        return inUseHereText().arg(*device);
    }
    const QString marker = QStringLiteral(" is in use by another program");
    const qsizetype at = text.indexOf(marker);
    if (at <= 0) {
        return std::nullopt;
    }
    const QString device = text.left(at);
    const QString rest = text.mid(at + marker.size());
    if (rest.isEmpty()) {
        return inUseText().arg(device);
    }
    const auto holder = between(rest, u" (", u")");
    const QString processMarker = QStringLiteral(", process ");
    const qsizetype split = holder ? holder->lastIndexOf(processMarker) : -1;
    if (split <= 0) {
        return std::nullopt;
    }
    bool isNumber = false;
    const QString pid = holder->mid(split + processMarker.size());
    static_cast<void>(pid.toLongLong(&isNumber));
    if (!isNumber) {
        return std::nullopt;
    }
    return inUseByText().arg(device, holder->left(split), pid);
}

std::optional<QString> knownReason(const CommLibrary::OpenError& error,
                                   const AccountLookups& lookups)
{
    using Kind = CommLibrary::OpenError::Kind;
    switch (error.kind) {
    case Kind::NoDevice:
        if (const auto device = between(error.text, u"no such device: ", u"")) {
            return missingText().arg(*device);
        }
        break;
    case Kind::PermissionDenied:
        if (const auto device = between(error.text, u"permission denied on ",
                                        u": add the user to the dialout group")) {
            // The library's advice fits only a user outside a group the device is open to.
            if (QString advice = permissionAdvice(*device, lookups); !advice.isEmpty()) {
                return advice;
            }
            return permissionDeniedText().arg(*device);
        }
        break;
    case Kind::InUse:
        return inUseReason(error.text);
    case Kind::Other:
        break;
    }
    return std::nullopt;
}

} // namespace

QString openFailureReason(const UiLanguage& /*language*/, CommLibrary& library,
                          const AccountLookups& lookups)
{
    // The reasons follow the language the UiLanguage installed the translators for.
    const auto error = library.lastOpenError();
    if (!error) {
        return {};
    }
    return knownReason(*error, lookups).value_or(error->text);
}

QString portErrorMessage(const UiLanguage& language, CommLibrary& library, int port,
                         const AccountLookups& lookups)
{
    QString message = language.MsgPortError() + QStringLiteral(" :") + numberText(port);
    if (const QString reason = openFailureReason(language, library, lookups); !reason.isEmpty()) {
        message += QStringLiteral("\n\n") + reason;
    }
    return message;
}
