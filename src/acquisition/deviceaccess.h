#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

/// Who may open a device file, and whether the user running the program is among them: what
/// the advice after "permission denied" is made of.
struct DeviceNode
{
    QString owner;    ///< "root"
    QString group;    ///< "dialout"
    unsigned mode{0}; ///< the permission bits, e.g. 0660
    bool characterDevice = true;
};

/// The look-ups behind the advice, replaceable for tests.
struct AccountLookups
{
    /// The owner, group and mode of a device file; nothing when it cannot be looked at.
    std::function<std::optional<DeviceNode>(const QString& path)> node;
    /// The name of the user running the program.
    std::function<QString()> userName;
    /// The groups the user belongs to in the system's account database.
    std::function<QStringList()> accountGroups;
    /// The groups this login session carries (those added since count from the next login).
    std::function<QStringList()> sessionGroups;

    /// The machine's own (on Windows: nothing is known).
    [[nodiscard]] static AccountLookups forThisMachine();
};

/// "crw-rw---- root dialout": type, mode, owner and group as `ls -l` shows them.
[[nodiscard]] QString describeNode(const DeviceNode& node);

/// Why `device` could not be opened for lack of permission, and what to do, in the current
/// language: the user is not in the device's group (add it, then log in again); is in it but
/// this session started before (log in again); or the device is not open to its group at all
/// (its owner, group and mode, and that a udev rule must change them). Empty when the device
/// cannot be looked at, or nothing here explains the refusal.
[[nodiscard]] QString permissionAdvice(const QString& device, const AccountLookups& lookups);
