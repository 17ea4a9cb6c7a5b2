// Port numbers turned into devices and labels on a made-up /dev/serial/by-id, /dev and sysfs
// tree, numbered as the communication library numbers them.
#include "acquisition/portdevices.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>

namespace {

class PortDevicesTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        for (const char* device : {"dev/ttyUSB0", "dev/ttyACM0", "dev/ttyS0", "dev/ttyS1"}) {
            write(device, "");
        }
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("by-id"))));
        link("../dev/ttyUSB0", "by-id/usb-FTDI_FT232R_A1B2C3-if00-port0");
        link("../dev/ttyACM0", "by-id/usb-1a86_USB_Serial-if00-port0");
        // The FTDI adapter is known to sysfs: its USB device carries maker and model.
        write("sys/devices/usb1/1-1/manufacturer", "FTDI\n");
        write("sys/devices/usb1/1-1/product", "FT232R\n");
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("sys/devices/usb1/1-1/1-1:1.0/ttyUSB0"))));
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("sys/class/tty/ttyUSB0"))));
        link("../../../devices/usb1/1-1/1-1:1.0/ttyUSB0", "sys/class/tty/ttyUSB0/device");
        write("ports.conf", "# test\ncom9 = " + path(QStringLiteral("dev/ttyS1")).toUtf8() +
                                "\nCOM8=" + path(QStringLiteral("dev/ttyS7")).toUtf8() + "\n");
    }

    void write(const char* relative, const QByteArray& bytes)
    {
        const QString file = path(QString::fromUtf8(relative));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    void link(const char* target, const char* relative)
    {
        ASSERT_TRUE(QFile::link(QString::fromUtf8(target), path(QString::fromUtf8(relative))));
    }

    PortDevices devices() const
    {
        return PortDevices({path(QStringLiteral("ports.conf")), path(QStringLiteral("by-id")),
                            path(QStringLiteral("dev")), path(QStringLiteral("sys/class/tty"))});
    }
};

} // namespace

TEST_F(PortDevicesTest, EachPortShowsItsDeviceAndAdapterInTheLibrarysOrder)
{
    const QString dev = path(QStringLiteral("dev"));
    const QList<PortChoice> expected{
        // by-id names sort by bytes: digits before capitals. No sysfs entry: named from the link.
        {QStringLiteral("Com1"),
         QStringLiteral("Com1 — 1a86 USB Serial (usb-1a86_USB_Serial-if00-port0)")},
        {QStringLiteral("Com2"),
         QStringLiteral("Com2 — FTDI FT232R (usb-FTDI_FT232R_A1B2C3-if00-port0)")},
        {QStringLiteral("Com3"), QStringLiteral("Com3 — %1/ttyS0").arg(dev)},
        {QStringLiteral("Com4"), QStringLiteral("Com4 — %1/ttyS1").arg(dev)},
        {QStringLiteral("Com5"), QStringLiteral("Com5 — %1/ttyS2 (not connected)").arg(dev)},
    };
    EXPECT_EQ(devices().choices(1, 5), expected);
    // The map names a port whatever is plugged in, in any letter case.
    EXPECT_EQ(devices().label(9), QStringLiteral("Com9 — %1/ttyS1").arg(dev));
    EXPECT_EQ(devices().label(8), QStringLiteral("Com8 — %1/ttyS7 (not connected)").arg(dev));
    EXPECT_EQ(devices().devicePath(2),
              path(QStringLiteral("by-id/usb-FTDI_FT232R_A1B2C3-if00-port0")));
}
