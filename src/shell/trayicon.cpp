#include "trayicon.h"

#include "common/appstate.h"
#include "desktopnotification.h"
#include "programcore.h"
#include "windowdecoration.h"

#include <QCoreApplication>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

constexpr int kRefreshMs = 500;
constexpr int kNoticeMs = 8000;

QString stateText(TrayState state)
{
    switch (state) {
    case TrayState::NoPort:
        return QCoreApplication::translate("TrayIcon", "Kolbrin: the port is not open");
    case TrayState::Waiting:
        return QCoreApplication::translate("TrayIcon",
                                           "Kolbrin: waiting for a terminal in the cradle");
    case TrayState::TerminalPresent:
        return QCoreApplication::translate("TrayIcon", "Kolbrin: a terminal is in the cradle");
    case TrayState::Reading:
        return QCoreApplication::translate("TrayIcon", "Kolbrin: reading the terminal");
    }
    return {};
}

/// The program's icon with a dot in the corner: grey without a port, amber while waiting, green
/// with a terminal, blue while reading.
QIcon stateIcon(TrayState state)
{
    static const QColor colours[] = {QColor(0x8a, 0x8f, 0x96), QColor(0xf0, 0xb0, 0x20),
                                     QColor(0x2e, 0xa0, 0x4a), QColor(0x2a, 0x7a, 0xe0)};
    const QColor colour = colours[static_cast<int>(state)];
    const QIcon base = WindowDecoration::programIcon();
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap = base.pixmap(side, side);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, std::max(1, side / 16)));
        painter.setBrush(colour);
        const int dot = side * 7 / 16;
        painter.drawEllipse(side - dot - 1, side - dot - 1, dot, dot);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

TrayIcon::TrayIcon(const AppState& state, Commands commands, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_commands(std::move(commands))
    , m_icon(new QSystemTrayIcon(this))
    , m_menu(new QMenu)
    , m_timer(new QTimer(this))
{
    m_menu->setObjectName(QStringLiteral("TrayMenu"));
    const auto add = [this](const char* name, const QString& text,
                            const std::function<void()>& command) {
        QAction* action = m_menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [command] {
            if (command) {
                command();
            }
        });
    };
    add("TrayShow", QCoreApplication::translate("TrayIcon", "Show"), m_commands.show);
    add("TrayReadData", QCoreApplication::translate("TrayIcon", "Read data"), m_commands.readData);
    m_menu->addSeparator();
    add("TrayExit", QCoreApplication::translate("TrayIcon", "Exit"), m_commands.exit);
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger && m_commands.show) {
                    m_commands.show();
                }
            });
    connect(m_timer, &QTimer::timeout, this, &TrayIcon::refresh);
    m_timer->start(kRefreshMs);
    refresh();
    if (available()) {
        m_icon->show();
    }
}

TrayIcon::~TrayIcon()
{
    delete m_menu;
}

bool TrayIcon::available()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::useful()
{
    return available() || DesktopNotification::available();
}

void TrayIcon::follow(ProgramCore& core)
{
    core.readingBegins = [this] { setReading(true); };
    core.readingEnded = [this, &core] {
        setReading(false);
        std::optional<JournalReading> journaled;
        if (core.state.DataReceived && core.state.ReadingJournaled) {
            const QList<JournalReading> newest = core.journal.readings(1);
            if (!newest.isEmpty()) {
                journaled = newest.first();
            }
        }
        notify(readingNotice(core.state, journaled));
    };
}

void TrayIcon::setReading(bool reading)
{
    m_reading = reading;
    refresh();
}

void TrayIcon::refresh()
{
    const TrayState now = trayState(m_state, m_reading);
    if (m_shownOnce && now == m_shown) {
        return;
    }
    m_shownOnce = true;
    m_shown = now;
    m_icon->setIcon(stateIcon(now));
    m_icon->setToolTip(stateText(now));
}

QString TrayIcon::toolTip() const
{
    return m_icon->toolTip();
}

void TrayIcon::notify(const ReadingNotice& notice)
{
    if (!m_icon->isVisible() || !QSystemTrayIcon::supportsMessages()) {
        DesktopNotification::send(notice);
        return;
    }
    m_icon->showMessage(notice.title, notice.text,
                        notice.failure ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information,
                        kNoticeMs);
}
