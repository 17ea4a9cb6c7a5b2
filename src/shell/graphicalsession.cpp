#include "graphicalsession.h"

#include "common/settings.h"
#include "common/settingsstore.h"
#include "config/localesource.h"
#include "i18n/uilanguage.h"

#include <QCoreApplication>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#include "x11displayprobe.h"
#endif

bool GraphicalSession::available()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsEmpty(name)) {
            return true;
        }
    }
    return false;
#else
    return true;
#endif
}

GraphicalSession::DisplayProbe::DisplayProbe()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return; // nothing to ask, or Qt chooses among more than X11
    }
    m_display = openX11Display();
    m_answers = m_display != nullptr;
#endif
}

GraphicalSession::DisplayProbe::~DisplayProbe()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    closeX11Display(m_display);
#endif
}

std::int16_t GraphicalSession::startLanguage(SettingsStore& store, const LocaleSource& locale)
{
    const std::optional<QString> stored = store.value(QString::fromUtf16(SettingsKey::Language));
    if (stored) {
        if (const auto index = UiLanguage::languageIndexOf(*stored)) {
            return *index;
        }
    }
    const QString localeName = locale.languageName();
    if (localeName.startsWith(QLatin1String("Portugues"))) {
        return 1;
    }
    if (localeName.startsWith(QLatin1String("Spanish"))) {
        return 2;
    }
    return 0;
}

QString GraphicalSession::missingText()
{
    return QCoreApplication::translate(
        "GraphicalSession",
        "kolbrin: Kolbrin needs a graphical session, and there is none here (neither DISPLAY "
        "nor WAYLAND_DISPLAY is set). --help and the other command-line options work without "
        "one.");
}

QString GraphicalSession::unreachableText(const QString& display)
{
    return QCoreApplication::translate(
               "GraphicalSession",
               "kolbrin: Kolbrin needs a graphical session, but the display %1 (DISPLAY) does not "
               "answer: it has ended, or this user may not use it. --help and the other "
               "command-line options work without one.")
        .arg(display);
}
