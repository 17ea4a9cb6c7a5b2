#include "porterror.h"

#include "common/numbertext.h"
#include "i18n/uilanguage.h"
#include "link/commlibrary.h"

#include <array>
#include <optional>

namespace {

// One text per language, in the order of UiLanguage::languageIndex(): English, Portuguese,
// Spanish. %1 is the device path; %2 and %3 the holding program and its process number.
using Texts = std::array<const char16_t*, 3>;

constexpr Texts kMissing = {
    u"The device %1 does not exist. Check that the cradle is connected and that the port number "
    u"is right.",
    u"O dispositivo %1 não existe. Verifique se o berço está ligado e se o número da porta está "
    u"certo.",
    u"El dispositivo %1 no existe. Compruebe que la cuna está conectada y que el número de puerto "
    u"es el correcto.",
};
constexpr Texts kPermissionDenied = {
    u"Permission denied on %1. Add your user to the dialout group, then log out and back in.",
    u"Permissão negada em %1. Adicione o seu utilizador ao grupo dialout e volte a iniciar a "
    u"sessão.",
    u"Permiso denegado en %1. Añada su usuario al grupo dialout y vuelva a iniciar la sesión.",
};
constexpr Texts kInUse = {
    u"%1 is in use by another program. Close that program and try again.",
    u"%1 está a ser usado por outro programa. Feche esse programa e tente de novo.",
    u"%1 está en uso por otro programa. Cierre ese programa y vuelva a intentarlo.",
};
constexpr Texts kInUseBy = {
    u"%1 is in use by another program (%2, process %3). Close that program and try again.",
    u"%1 está a ser usado por outro programa (%2, processo %3). Feche esse programa e tente de "
    u"novo.",
    u"%1 está en uso por otro programa (%2, proceso %3). Cierre ese programa y vuelva a "
    u"intentarlo.",
};
constexpr Texts kInUseHere = {
    u"%1 is already in use by this program under another port number.",
    u"%1 já está a ser usado por este programa com outro número de porta.",
    u"%1 ya está en uso por este programa con otro número de puerto.",
};

QString pick(const Texts& texts, const UiLanguage& language)
{
    const auto index = static_cast<std::size_t>(language.languageIndex());
    return QString::fromUtf16(texts.at(index < texts.size() ? index : 0));
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
std::optional<QString> inUseReason(const QString& text, const UiLanguage& language)
{
    if (const auto device = between(text, u"", u" is in use by this program")) {
        return pick(kInUseHere, language).arg(*device);
    }
    const QString marker = QStringLiteral(" is in use by another program");
    const qsizetype at = text.indexOf(marker);
    if (at <= 0) {
        return std::nullopt;
    }
    const QString device = text.left(at);
    const QString rest = text.mid(at + marker.size());
    if (rest.isEmpty()) {
        return pick(kInUse, language).arg(device);
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
    return pick(kInUseBy, language).arg(device, holder->left(split), pid);
}

std::optional<QString> knownReason(const CommLibrary::OpenError& error, const UiLanguage& language)
{
    using Kind = CommLibrary::OpenError::Kind;
    switch (error.kind) {
    case Kind::NoDevice:
        if (const auto device = between(error.text, u"no such device: ", u"")) {
            return pick(kMissing, language).arg(*device);
        }
        break;
    case Kind::PermissionDenied:
        if (const auto device = between(error.text, u"permission denied on ",
                                        u": add the user to the dialout group")) {
            return pick(kPermissionDenied, language).arg(*device);
        }
        break;
    case Kind::InUse:
        return inUseReason(error.text, language);
    case Kind::Other:
        break;
    }
    return std::nullopt;
}

} // namespace

QString openFailureReason(const UiLanguage& language, CommLibrary& library)
{
    const auto error = library.lastOpenError();
    if (!error) {
        return {};
    }
    return knownReason(*error, language).value_or(error->text);
}

QString portErrorMessage(const UiLanguage& language, CommLibrary& library, int port)
{
    QString message = language.MsgPortError() + QStringLiteral(" :") + numberText(port);
    if (const QString reason = openFailureReason(language, library); !reason.isEmpty()) {
        message += QStringLiteral("\n\n") + reason;
    }
    return message;
}
