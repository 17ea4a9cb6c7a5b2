#include "desktopnotification.h"

#include "readingnotification.h"

#ifdef KOLBRIN_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QVariantMap>
#endif

namespace {

#ifdef KOLBRIN_HAVE_DBUS
const char kService[] = "org.freedesktop.Notifications";
constexpr int kTimeoutMs = 8000;

bool serviceRegistered()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() != nullptr &&
           bus.interface()->isServiceRegistered(QString::fromLatin1(kService)).value();
}
#endif

} // namespace

bool DesktopNotification::available()
{
#ifdef KOLBRIN_HAVE_DBUS
    return serviceRegistered();
#else
    return false;
#endif
}

bool DesktopNotification::send(const ReadingNotice& notice)
{
#ifdef KOLBRIN_HAVE_DBUS
    if (!serviceRegistered()) {
        return false;
    }
    QDBusInterface service(QString::fromLatin1(kService),
                           QStringLiteral("/org/freedesktop/Notifications"),
                           QString::fromLatin1(kService), QDBusConnection::sessionBus());
    // urgency: 1 normal, 2 critical (stays until the user dismisses it).
    const QVariantMap hints{
        {QStringLiteral("urgency"), QVariant::fromValue<uchar>(notice.failure ? 2 : 1)},
        {QStringLiteral("desktop-entry"), QStringLiteral("kolbrin")}};
    service.asyncCall(QStringLiteral("Notify"), QStringLiteral("Kolbrin"), 0U,
                      QStringLiteral("kolbrin"), notice.title, notice.text, QStringList(), hints,
                      kTimeoutMs);
    return true;
#else
    (void)notice;
    return false;
#endif
}
