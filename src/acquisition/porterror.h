#pragma once

#include "deviceaccess.h"

#include <QString>

class CommLibrary;
class UiLanguage;

/// "Error opening serial port : n" in the current language, followed by the reason of
/// openFailureReason() as a paragraph of its own when there is one.
[[nodiscard]] QString
portErrorMessage(const UiLanguage& language, CommLibrary& library, int port,
                 const AccountLookups& lookups = AccountLookups::forThisMachine());

/// Why the last port opening failed: the device does not exist, permission was denied, or
/// another program holds the device, said in the current language with the device (and the
/// program holding it, when the library found it). A reason the program does not know comes
/// as the library gave it. Permission denied is explained with the device's owner, group and
/// mode and the user's groups (see permissionAdvice) when those can be looked up. Empty when the
/// library tells nothing, or cannot be asked.
[[nodiscard]] QString
openFailureReason(const UiLanguage& language, CommLibrary& library,
                  const AccountLookups& lookups = AccountLookups::forThisMachine());
