#include "portdevices.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {

QString configHomePortMap()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config)) {
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty()) {
            return {};
        }
        config = home + QStringLiteral("/.config");
    }
    return config + QStringLiteral("/vorlak/ports.conf");
}

/// The device the map gives `port`, read as the library reads it: "COM<n>=<device>", '#' starts
/// a comment, "com" in any letter case, a later line for the same port wins.
QString deviceInMap(const QString& mapFile, int port)
{
    QFile file(mapFile);
    if (mapFile.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QString found;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        QString line = QString::fromLocal8Bit(raw);
        line = line.left(line.indexOf(QLatin1Char('#')));
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            continue;
        }
        const QString key = line.left(equals).trimmed();
        const QString device = line.mid(equals + 1).trimmed();
        if (!key.startsWith(QLatin1String("com"), Qt::CaseInsensitive) || device.isEmpty()) {
            continue;
        }
        bool isNumber = false;
        if (key.mid(3).trimmed().toInt(&isNumber) == port && isNumber) {
            found = device;
        }
    }
    return found;
}

QString readLine(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readLine()).trimmed();
}

} // namespace

PortDevices::PortDevices(PortDeviceRoots roots)
    : m_roots(std::move(roots))
{
}

QString PortDevices::portValue(int port)
{
    return QStringLiteral("Com%1").arg(port);
}

QString PortDevices::nameFromLink(const QString& linkName)
{
    static const QRegularExpression bus(QStringLiteral("^(usb|pci)-"));
    static const QRegularExpression interface(QStringLiteral("-if[0-9A-Fa-f]+(-port[0-9]+)?$"));
    QString name = linkName;
    name.remove(bus).remove(interface);
    return name.replace(QLatin1Char('_'), QLatin1Char(' ')).trimmed();
}

QString PortDevices::mappedDevice(int port) const
{
    const QString mapFile =
        m_roots.portMapFile.isEmpty() ? configHomePortMap() : m_roots.portMapFile;
    return deviceInMap(mapFile, port);
}

QStringList PortDevices::adapterLinks() const
{
    // Sorted by name in bytes, as the library sorts them.
    QStringList names = QDir(m_roots.serialById)
                            .entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot,
                                       QDir::Name | QDir::IgnoreCase);
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    return names;
}

QString PortDevices::devicePath(int port) const
{
#ifdef Q_OS_WIN
    static_cast<void>(port);
    return {};
#else
    if (QString mapped = mappedDevice(port); !mapped.isEmpty()) {
        return mapped;
    }
    const QStringList links = adapterLinks();
    if (port >= 1 && port <= links.size()) {
        return QDir(m_roots.serialById).filePath(links.at(port - 1));
    }
    return QDir(m_roots.deviceFolder)
        .filePath(QStringLiteral("ttyS%1").arg(port - 1 - links.size()));
#endif
}

QString PortDevices::adapterNameFromSystem(const QString& device) const
{
    // The tty's device in sysfs is the adapter's port; the USB device above it carries the
    // maker's and the model's names.
    const QString tty = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
    if (tty.isEmpty()) {
        return {};
    }
    QString folder = QFileInfo(QDir(m_roots.sysClassTty).filePath(tty + QStringLiteral("/device")))
                         .canonicalFilePath();
    for (int level = 0; level < 4 && !folder.isEmpty(); ++level) {
        const QString product = readLine(folder + QStringLiteral("/product"));
        if (!product.isEmpty()) {
            const QString maker = readLine(folder + QStringLiteral("/manufacturer"));
            if (maker.isEmpty() || product.startsWith(maker, Qt::CaseInsensitive)) {
                return product;
            }
            return maker + QLatin1Char(' ') + product;
        }
        folder = QFileInfo(folder).path();
    }
    return {};
}

PortDevices::Device PortDevices::describe(int port) const
{
    Device device;
    device.path = devicePath(port);
    if (device.path.isEmpty()) {
        return device;
    }
    const QFileInfo info(device.path);
    device.present = info.exists();
    const QString byId = QFileInfo(m_roots.serialById).canonicalFilePath();
    if (!byId.isEmpty() && QFileInfo(info.path()).canonicalFilePath() == byId) {
        device.linkName = info.fileName();
    }
    if (device.present) {
        device.adapterName = adapterNameFromSystem(device.path);
    }
    if (device.adapterName.isEmpty() && !device.linkName.isEmpty()) {
        device.adapterName = nameFromLink(device.linkName);
    }
    return device;
}

QString PortDevices::label(int port) const
{
    const Device device = describe(port);
    const QString value = portValue(port);
    if (device.path.isEmpty()) {
        return value;
    }
    if (!device.present) {
        // %1 the port ("Com3"), %2 its device file.
        return QCoreApplication::translate("PortDevices", "%1 — %2 (not connected)")
            .arg(value, device.path);
    }
    if (!device.adapterName.isEmpty()) {
        const QString where = device.linkName.isEmpty() ? device.path : device.linkName;
        return QStringLiteral("%1 — %2 (%3)").arg(value, device.adapterName, where);
    }
    return QStringLiteral("%1 — %2").arg(value, device.path);
}

QList<PortChoice> PortDevices::choices(int first, int last) const
{
    QList<PortChoice> list;
    for (int port = first; port <= last; ++port) {
        list.append({portValue(port), label(port)});
    }
    return list;
}
