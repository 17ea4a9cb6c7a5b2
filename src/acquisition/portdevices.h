#pragma once

#include <QList>
#include <QString>

/// Where the numbering of serial ports and the names of their devices are read from. The
/// program uses the machine's own; tests point them into a temporary folder.
struct PortDeviceRoots
{
    /// The port map, lines "COM<n>=<device>"; empty: vorlak/ports.conf in the user's config
    /// folder, looked up at every use ($XDG_CONFIG_HOME, else ~/.config).
    QString portMapFile;
    /// Stable names of USB serial adapters (symbolic links to their devices).
    QString serialById = QStringLiteral("/dev/serial/by-id");
    /// Where the built-in ports ttyS0, ttyS1, ... are.
    QString deviceFolder = QStringLiteral("/dev");
    /// The kernel's view of terminal devices, with the USB device each adapter belongs to.
    QString sysClassTty = QStringLiteral("/sys/class/tty");
};

/// One entry of a port list: the value stored in the settings and what the user reads.
struct PortChoice
{
    QString value; ///< "Com1"
    QString label; ///< "Com1 — FTDI FT232R (usb-FTDI_FT232R_A1B2C3-if00-port0)"

    friend bool operator==(const PortChoice&, const PortChoice&) = default;
};

/// The device behind each port number, numbered as the communication library numbers them
/// (docs/ports.md): a port named in the port map is that device; otherwise ports 1..k are the k
/// entries of the by-id folder sorted by name, and the ports after them ttyS0, ttyS1, ...
/// Everything is read afresh at each call, so an adapter plugged in counts at once. On Windows
/// port n is COMn and no device file can be looked at: the paths are empty there.
class PortDevices
{
public:
    explicit PortDevices(PortDeviceRoots roots = {});

    struct Device
    {
        QString path;        ///< the device file, e.g. /dev/serial/by-id/usb-...-port0
        QString linkName;    ///< the by-id name, when the device is one of those
        QString adapterName; ///< maker and model of a USB adapter, e.g. "FTDI FT232R"
        bool present = false;
    };

    /// The device file of `port`; empty on Windows.
    [[nodiscard]] QString devicePath(int port) const;
    [[nodiscard]] Device describe(int port) const;
    /// What a port list shows for `port`: "Com1 — FTDI FT232R (usb-FTDI_FT232R_...-port0)",
    /// "Com3 — /dev/ttyS0", or that the device is not there.
    [[nodiscard]] QString label(int port) const;
    /// Ports `first` to `last` with their labels.
    [[nodiscard]] QList<PortChoice> choices(int first, int last) const;

    /// "Com" and the port number: the value the settings keep.
    [[nodiscard]] static QString portValue(int port);
    /// The maker and model in a by-id name: "usb-FTDI_FT232R-if00-port0" gives "FTDI FT232R".
    [[nodiscard]] static QString nameFromLink(const QString& linkName);

private:
    [[nodiscard]] QString mappedDevice(int port) const;
    [[nodiscard]] QStringList adapterLinks() const;
    [[nodiscard]] QString adapterNameFromSystem(const QString& device) const;

    PortDeviceRoots m_roots;
};
