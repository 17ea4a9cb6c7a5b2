#include "windowplacement.h"

#include "common/settingsstore.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace {

constexpr char16_t kX[] = u"X";
constexpr char16_t kY[] = u"Y";
constexpr char16_t kWidth[] = u"Width";
constexpr char16_t kHeight[] = u"Height";
constexpr char16_t kMaximised[] = u"Maximized";
/// Smaller windows are not restored: they would hide the menus.
constexpr int kMinimumSide = 100;

bool onSomeScreen(const QRect& rect)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&rect](const QScreen* screen) {
        // Enough of the title bar must be reachable to move the window back.
        const QRect visible = screen->availableGeometry().intersected(rect);
        return visible.width() >= kMinimumSide / 2 && visible.height() >= 1;
    });
}

} // namespace

WindowPlacement::WindowPlacement(SettingsStore& store)
    : m_store(store)
{
}

void WindowPlacement::restore(QWidget& window)
{
    bool ok[4] = {};
    const int x = m_store.read(QString::fromUtf16(kX), QString()).toInt(&ok[0]);
    const int y = m_store.read(QString::fromUtf16(kY), QString()).toInt(&ok[1]);
    const int width = m_store.read(QString::fromUtf16(kWidth), QString()).toInt(&ok[2]);
    const int height = m_store.read(QString::fromUtf16(kHeight), QString()).toInt(&ok[3]);
    const QRect rect(x, y, width, height);
    if (std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; }) &&
        width >= kMinimumSide && height >= kMinimumSide && onSomeScreen(rect)) {
        window.setGeometry(rect);
    }
    if (m_store.read(QString::fromUtf16(kMaximised), QString()) == QLatin1String("True")) {
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
    }
}

void WindowPlacement::save(const QWidget& window)
{
    // The normal geometry is where the window returns when it is no longer maximised.
    const QRect rect = window.isMaximized() ? window.normalGeometry() : window.geometry();
    if (rect.isValid()) {
        (void)m_store.write(QString::fromUtf16(kX), QString::number(rect.x()));
        (void)m_store.write(QString::fromUtf16(kY), QString::number(rect.y()));
        (void)m_store.write(QString::fromUtf16(kWidth), QString::number(rect.width()));
        (void)m_store.write(QString::fromUtf16(kHeight), QString::number(rect.height()));
    }
    (void)m_store.write(QString::fromUtf16(kMaximised),
                        window.isMaximized() ? QStringLiteral("True") : QStringLiteral("False"));
}
