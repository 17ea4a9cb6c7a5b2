#include "deviceaccess.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>

#ifndef Q_OS_WIN
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#endif

namespace {

constexpr unsigned kGroupReadWrite = 060;

#ifndef Q_OS_WIN

QString groupName(gid_t id)
{
    const group* entry = getgrgid(id);
    return entry != nullptr ? QString::fromLocal8Bit(entry->gr_name) : QString::number(id);
}

QString userNameOf(uid_t id)
{
    const passwd* entry = getpwuid(id);
    return entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : QString::number(id);
}

std::optional<DeviceNode> statNode(const QString& path)
{
    struct stat info
    {
    };
    if (stat(QFile::encodeName(path).constData(), &info) != 0) {
        return std::nullopt;
    }
    return DeviceNode{userNameOf(info.st_uid), groupName(info.st_gid),
                      static_cast<unsigned>(info.st_mode & 07777), S_ISCHR(info.st_mode)};
}

QStringList accountGroupsOfUser()
{
    const passwd* entry = getpwuid(getuid());
    if (entry == nullptr) {
        return {};
    }
    int count = 64;
    std::vector<gid_t> ids(static_cast<std::size_t>(count));
    if (getgrouplist(entry->pw_name, entry->pw_gid, ids.data(), &count) < 0) {
        ids.resize(static_cast<std::size_t>(count));
        if (getgrouplist(entry->pw_name, entry->pw_gid, ids.data(), &count) < 0) {
            return {};
        }
    }
    QStringList names;
    for (int i = 0; i < count; ++i) {
        names.append(groupName(ids[static_cast<std::size_t>(i)]));
    }
    return names;
}

QStringList sessionGroupsOfProcess()
{
    const int count = getgroups(0, nullptr);
    std::vector<gid_t> ids(static_cast<std::size_t>(std::max(count, 0)));
    const int got = count > 0 ? getgroups(count, ids.data()) : 0;
    QStringList names{groupName(getegid())};
    for (int i = 0; i < got; ++i) {
        names.append(groupName(ids[static_cast<std::size_t>(i)]));
    }
    return names;
}

#endif

} // namespace

AccountLookups AccountLookups::forThisMachine()
{
#ifdef Q_OS_WIN
    return {[](const QString&) { return std::optional<DeviceNode>(); }, [] { return QString(); },
            [] { return QStringList(); }, [] { return QStringList(); }};
#else
    return {statNode, [] { return userNameOf(getuid()); }, accountGroupsOfUser,
            sessionGroupsOfProcess};
#endif
}

QString describeNode(const DeviceNode& node)
{
    QString bits(node.characterDevice ? QStringLiteral("c") : QStringLiteral("-"));
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        bits += (node.mode & (0400u >> bit)) != 0 ? QLatin1Char(letters[bit]) : QLatin1Char('-');
    }
    return QStringLiteral("%1 %2 %3").arg(bits, node.owner, node.group);
}

QString permissionAdvice(const QString& device, const AccountLookups& lookups)
{
    const std::optional<DeviceNode> node = lookups.node ? lookups.node(device) : std::nullopt;
    if (!node) {
        return {};
    }
    const QString user = lookups.userName ? lookups.userName() : QString();
    if ((node->mode & kGroupReadWrite) != kGroupReadWrite) {
        // Joining a group cannot help: the device's mode keeps every group out.
        return QCoreApplication::translate(
                   "PortError",
                   "Permission denied on %1: the device is %2, so only its owner may open it and "
                   "joining a group does not help. Have a udev rule give the device to a group of "
                   "yours with read and write access for it (for example GROUP=\"dialout\", "
                   "MODE=\"0660\"), or ask the administrator.")
            .arg(device, describeNode(*node));
    }
    const QStringList account = lookups.accountGroups ? lookups.accountGroups() : QStringList();
    if (!account.contains(node->group)) {
        return QCoreApplication::translate(
                   "PortError",
                   "Permission denied on %1 (%2): your user %3 is not in the group %4. Add it "
                   "with \"sudo adduser %3 %4\", then log out and back in: a new group counts "
                   "from the next login.")
            .arg(device, describeNode(*node), user, node->group);
    }
    const QStringList session = lookups.sessionGroups ? lookups.sessionGroups() : QStringList();
    if (!session.contains(node->group)) {
        return QCoreApplication::translate(
                   "PortError",
                   "Permission denied on %1 (%2): your user %3 is in the group %4, but this "
                   "session began before it was added. Log out and back in: the group counts "
                   "from the next login.")
            .arg(device, describeNode(*node), user, node->group);
    }
    return QCoreApplication::translate(
               "PortError",
               "Permission denied on %1 (%2), although this session is in the group %3. Another "
               "rule of the system (an access list or a security policy) keeps the device closed; "
               "ask the administrator.")
        .arg(device, describeNode(*node), node->group);
}
