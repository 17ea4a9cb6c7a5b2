#include "fakewindow.h"
#include "install/libraryinstaller.h"
#include "recordingdialogs.h"
#include "shell/form3.h"
#include "shell/form5.h"
#include "tempdir.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QList<QWidget*> visibleWindows(const QString& name)
{
    QList<QWidget*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == name && widget->isVisible()) {
            found.append(widget);
        }
    }
    return found;
}

QString labelText(QWidget* window, const char* name)
{
    const auto* label = window->findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : u"<no %1>"_s.arg(QLatin1String(name));
}

void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

TEST(Form3, OneAboutBoxAtATimeThatOkCloses)
{
    QWidget main;
    QPointer<Form3> box;

    Form3* first = Form3::showAboutBox(box, &main);
    Form3* again = Form3::showAboutBox(box, &main);

    EXPECT_EQ(first, again);
    EXPECT_EQ(visibleWindows(u"Form3"_s).size(), 1);
    EXPECT_EQ(labelText(first, "Label2"), u"Kolbrin  1. 0. 117"_s);
    EXPECT_EQ(labelText(first, "Label1"), Form3::webAddress());
    EXPECT_EQ(labelText(first, "Label4"), Form3::mailAddress());

    auto* ok = first->findChild<QPushButton*>(u"Command1"_s);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), u"OK"_s);
    ok->click();
    runDeferredDeletes();
    EXPECT_TRUE(box.isNull());
    EXPECT_TRUE(visibleWindows(u"Form3"_s).isEmpty());

    // Opening it again makes a new box.
    ASSERT_NE(Form3::showAboutBox(box, &main), nullptr);
    EXPECT_EQ(visibleWindows(u"Form3"_s).size(), 1);
    box->close();
    runDeferredDeletes();
}

class Form5Test : public TempDirTest
{
protected:
    struct Seen
    {
        bool visible;
        QString searchLine;
    };

    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_TRUE(QDir().mkpath(path(u"prog"_s)));
        ASSERT_TRUE(QDir().mkpath(path(u"data"_s)));
        pump.onEvents = [this] {
            const QList<QWidget*> windows = visibleWindows(u"Form5"_s);
            seen.append({windows.size() == 1,
                         windows.isEmpty() ? QString() : labelText(windows[0], "Label2")});
        };
    }

    void runStartUpStep()
    {
        LibraryInstaller installer(dialogs, pump,
                                   {path(u"prog"_s),
                                    path(u"data/kolbrin/lib"_s),
                                    {{u"C:"_s, path(u"data"_s)}},
                                    u"libvorlak.so"_s});
        Form5::runInstallation(installer, pump);
    }

    RecordingDialogs dialogs;
    CountingEventPump pump;
    QList<Seen> seen;
};

TEST_F(Form5Test, IsShownWhileInstallingAndClosedAfterwardsEvenWithNothingToDo)
{
    runStartUpStep();
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen[0].visible) << "painted before anything else";
    EXPECT_TRUE(visibleWindows(u"Form5"_s).isEmpty());

    seen.clear();
    QFile fresh(path(u"prog/libvorlak.so"_s));
    ASSERT_TRUE(fresh.open(QIODevice::WriteOnly));
    fresh.close();
    runStartUpStep();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[1].visible);
    EXPECT_EQ(seen[1].searchLine, u"Searching C:"_s);
    EXPECT_TRUE(visibleWindows(u"Form5"_s).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(path(u"data/kolbrin/lib/libvorlak.so"_s)));
}
