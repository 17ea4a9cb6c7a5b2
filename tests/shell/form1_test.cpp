#include "common/memorysettingsstore.h"
#include "config/form2.h"
#include "config/inisettingsstore.h"
#include "config/localesource.h"
#include "fakecommlibrary.h"
#include "fakewindow.h"
#include "output/keystrokesink.h"
#include "recordingdialogs.h"
#include "shell/form1.h"
#include "shell/programcore.h"
#include "upload/form4.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class Form1Test : public ::testing::Test
{
protected:
    // The user's data folder, with the offline program folder unless a test removes it.
    void SetUp() override
    {
        ASSERT_TRUE(data.isValid());
        savedDataHome = qgetenv("XDG_DATA_HOME");
        savedDataDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        ASSERT_TRUE(QDir().mkpath(data.filePath(QStringLiteral("qel/bin_offline"))));
    }
    void TearDown() override
    {
        window.close();
        qputenv("XDG_DATA_HOME", savedDataHome);
        qputenv("XDG_DATA_DIRS", savedDataDirs);
    }

    QTemporaryDir data;
    QByteArray savedDataHome;
    QByteArray savedDataDirs;
    MemorySettingsStore store;
    SystemLocaleSource locale{QLocale(QLocale::English, QLocale::UnitedStates)};
    RecordingDialogs dialogs;
    FakeCommLibrary library;
    CountingEventPump pump;
    RecordingKeystrokeSink keys;
    Form1 window{{store, dialogs, library, pump, keys, locale}};
};

} // namespace

TEST_F(Form1Test, LoadSetsTheCaptionLoadsTheSettingsAndOpensTheSession)
{
    window.Form_Load();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Kolbrin  1. 0. 117"));
    EXPECT_EQ(window.core().state.settings.MyFileName, QStringLiteral("Demo.txt"));
    EXPECT_EQ(library.calls, QStringList{QStringLiteral("I_OpenCom 1 9600")});
    EXPECT_EQ(window.statusText(2), QStringLiteral("Port Open ( 1)"));
    EXPECT_EQ(window.Timer1()->interval(), 500);
    EXPECT_TRUE(window.Timer1()->isActive());
    EXPECT_EQ(window.core().state.TerminalId, QByteArray(8, ' '));
}

TEST_F(Form1Test, WithoutTheOfflineFolderStartUpOpensTheUploadDialogInsteadOfThePort)
{
    ASSERT_TRUE(store.write(QStringLiteral("Language"), QStringLiteral("English")));
    ASSERT_TRUE(QDir(data.filePath(QStringLiteral("qel"))).removeRecursively());
    window.Form_Load();
    ASSERT_NE(window.uploadDialog(), nullptr);
    EXPECT_TRUE(window.uploadDialog()->isVisible());
    EXPECT_FALSE(library.calls.contains(QStringLiteral("I_OpenCom 1 9600")));
    EXPECT_FALSE(window.Timer1()->isActive());
    // Closed without installing: the main window comes back and says why the port is shut.
    window.uploadDialog()->close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.statusText(2), QStringLiteral("No terminal program is installed yet: install "
                                                   "one with Communication > Upload software to "
                                                   "the terminal."));
    EXPECT_FALSE(window.Timer1()->isActive());
}

#if !defined(Q_OS_WIN)
TEST_F(Form1Test, AFirstStartFromAnInstalledTreeOffersTheCatalogueNeverTheProgramsOwnFolder)
{
    // The tree the install rules lay out, as a package puts it under /usr.
    QTemporaryDir tree;
    ASSERT_TRUE(tree.isValid());
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(KOLBRIN_CMAKE_COMMAND),
                  {QStringLiteral("--install"),
                   qEnvironmentVariable("KOLBRIN_BIN_DIR") + QStringLiteral("/.."),
                   QStringLiteral("--prefix"), tree.path()});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();
    const QString packageCatalogue = tree.filePath(QStringLiteral("share/kolbrin/programs"));
    ASSERT_TRUE(QFileInfo(packageCatalogue).isDir());
    qputenv("XDG_DATA_DIRS", tree.filePath(QStringLiteral("share")).toUtf8());

    // A program's files beside the running program, like valgrind.bin in /usr/bin.
    const QString beside =
        QCoreApplication::applicationDirPath() +
        QStringLiteral("/first-start-%1").arg(QCoreApplication::applicationPid());
    const auto removeBeside = qScopeGuard([&] {
        QFile::remove(beside + QStringLiteral(".bin"));
        QFile::remove(beside + QStringLiteral(".hea"));
    });
    for (const char* extension : {".bin", ".hea"}) {
        QFile file(beside + QString::fromLatin1(extension));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QTemporaryDir elsewhere;
    for (const char* name : {"/shop.bin", "/shop.hea"}) {
        QFile file(elsewhere.path() + QString::fromLatin1(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("SHOP");
    }

    ASSERT_TRUE(store.write(QStringLiteral("Language"), QStringLiteral("English")));
    ASSERT_TRUE(QDir(data.filePath(QStringLiteral("qel"))).removeRecursively());
    window.Form_Load();
    Form4* upload = window.uploadDialog();
    ASSERT_NE(upload, nullptr);
    auto* list = upload->findChild<QListWidget*>(QStringLiteral("List1"));
    EXPECT_EQ(list->count(), 0);
    const QString notice = upload->findChild<QLabel*>(QStringLiteral("Notice"))->text();
    EXPECT_TRUE(notice.startsWith(QStringLiteral("No terminal program is installed yet")));
    EXPECT_TRUE(notice.contains(data.filePath(QStringLiteral("kolbrin/programs")) +
                                QStringLiteral(", ") + packageCatalogue))
        << notice.toStdString();
    EXPECT_FALSE(notice.contains(QCoreApplication::applicationDirPath() + QStringLiteral(".")));

    // Browse... adds a program from anywhere.
    dialogs.fileAnswers = {elsewhere.filePath(QStringLiteral("shop.bin"))};
    upload->findChild<QPushButton*>(QStringLiteral("Browse"))->click();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), elsewhere.filePath(QStringLiteral("shop.bin")));
    EXPECT_TRUE(list->item(0)->isSelected());
}
#endif

TEST_F(Form1Test, WithAutoAnswerStartUpArmsTheModemAndClosingDisarmsIt)
{
    ASSERT_TRUE(store.write(QStringLiteral("AutoAnswer"), QStringLiteral("1")));
    window.Form_Load();
    EXPECT_EQ(library.written, QByteArray("AT &D2 S0=1\r\n"));
    library.written.clear();
    window.close();
    EXPECT_EQ(library.written, QByteArray("AT S0=0\r\n"));
    EXPECT_EQ(library.calls.last(), QStringLiteral("IO_Close 1"));
}

TEST_F(Form1Test, ClosingEndsTheReadingSession)
{
    window.Form_Load();
    window.close();
    EXPECT_EQ(library.calls.last(), QStringLiteral("I_CloseCom 1"));
    EXPECT_FALSE(window.Timer1()->isActive());
}

TEST_F(Form1Test, MenusComeInOrderAndTakeTheStoredLanguage)
{
    ASSERT_TRUE(store.write(QStringLiteral("Language"), QStringLiteral("Spanish")));
    window.Form_Load();

    QStringList names;
    QStringList captions;
    for (QAction* top : window.menuBar()->actions()) {
        QMenu* menu = top->menu();
        ASSERT_NE(menu, nullptr);
        names.append(menu->objectName());
        captions.append(menu->title());
        for (QAction* item : menu->actions()) {
            // Each entry with the key the menu shows beside it, if any.
            const QString key = item->shortcut().toString(QKeySequence::PortableText);
            names.append(item->objectName() + (key.isEmpty() ? QString() : u'=' + key));
            captions.append(item->text());
        }
    }
    EXPECT_EQ(names.join(QLatin1Char(' ')),
              QStringLiteral("File NewFile Load=Ctrl+O SaveAs=Ctrl+S Print_=Ctrl+P Exit=Ctrl+Q "
                             "Configurations GeneralConf=Ctrl+, Communicate Read_entries=F5 "
                             "Clear_all_entries SendEntries ClearEntries SendProgram2 "
                             "ReadingHistory Help Aboutus=F1"));
    EXPECT_EQ(captions.at(0), QStringLiteral("Fichero"));
    EXPECT_EQ(captions.at(5), QStringLiteral("Salir"));
    EXPECT_EQ(captions.at(12), QStringLiteral("Borrar lista"));
    EXPECT_EQ(captions.at(14), QStringLiteral("Historial de lecturas"));
    EXPECT_EQ(captions.at(16), QStringLiteral("Sobre Qel"));
}

TEST_F(Form1Test, TheViewFollowsTheWindowSizeAndATinyWindowIsNoError)
{
    window.show();
    window.resize(800, 600);
    const QRect outer = window.frameGeometry();
    const QRect view = window.Text1()->geometry();
    EXPECT_LT(view.width(), outer.width());
    EXPECT_GT(view.width(), outer.width() - 20);
    EXPECT_LT(view.height(), outer.height() - 40);
    window.resize(10, 10);
    EXPECT_GE(window.Text1()->width(), 0);
    EXPECT_EQ(window.Text1()->height(), 0);
}

TEST_F(Form1Test, ReadDataFillsTheViewFromTheTerminal)
{
    ASSERT_TRUE(store.write(QStringLiteral("AsciiDataFormat"), QStringLiteral("[Code]")));
    window.Form_Load();
    library.scriptText(QStringLiteral("I_ReadEntries"), "5601\r\n");
    window.findChild<QAction*>(QStringLiteral("Read_entries"))->trigger();
    EXPECT_EQ(window.Text1()->toPlainText(), QStringLiteral("5601\n"));
}

TEST_F(Form1Test, TheConfigurationDialogIsCaptionedHiddenAndShownByItsMenu)
{
    ASSERT_TRUE(store.write(QStringLiteral("Language"), QStringLiteral("Spanish")));
    window.Form_Load();
    auto* dialog = window.findChild<Form2*>();
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (dialog == nullptr) {
            dialog = qobject_cast<Form2*>(top);
        }
    }
    ASSERT_NE(dialog, nullptr); // created by the captioning at start-up
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Configuraciones Generales"));
    window.findChild<QAction*>(QStringLiteral("GeneralConf"))->trigger();
    EXPECT_TRUE(dialog->isVisible());
    window.close();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(Form1Test, SizePlaceAndMaximisedStateComeBackAfterARestart)
{
    struct Case
    {
        const char* name;
        QRect geometry;
        bool maximised;
    };
    const Case cases[] = {{"normal", QRect(40, 60, 700, 500), false},
                          {"maximised", QRect(80, 30, 640, 480), true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir config;
        const QString file = config.filePath(QStringLiteral("Kolbrin.ini"));
        {
            QFile ini(file);
            ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
            ini.write("[Setup]\nLanguage=English\n");
        }
        const auto run = [&](const std::function<void(Form1&)>& use) {
            IniSettingsStore windowStore(file, nullptr, QStringLiteral("Window"));
            ProgramPlatform platform{store, dialogs, library, pump, keys, locale};
            platform.windowStore = &windowStore;
            Form1 form(platform);
            form.show();
            QApplication::processEvents();
            use(form);
            form.close();
        };
        run([&](Form1& form) {
            form.setGeometry(c.geometry);
            QApplication::processEvents();
            if (c.maximised) {
                form.showMaximized();
                QApplication::processEvents();
            }
        });
        run([&](Form1& form) {
            EXPECT_EQ(form.isMaximized(), c.maximised);
            EXPECT_EQ(c.maximised ? form.normalGeometry() : form.geometry(), c.geometry);
        });
        // Kept under [Window]; the settings stay as they were.
        IniSettingsStore setup(file, nullptr);
        EXPECT_EQ(setup.value(QStringLiteral("Language")), QStringLiteral("English"));
        EXPECT_FALSE(setup.value(QStringLiteral("Width")).has_value());
        IniSettingsStore placement(file, nullptr, QStringLiteral("Window"));
        EXPECT_EQ(placement.value(QStringLiteral("Width")), QString::number(c.geometry.width()));
    }
}

TEST_F(Form1Test, BringToFrontShowsTheWindowFromTheTaskBarOrTheTrayAndKeepsItMaximised)
{
    window.Form_Load();
    const std::pair<Qt::WindowStates, Qt::WindowStates> cases[] = {
        {Qt::WindowMinimized, Qt::WindowNoState},
        {Qt::WindowMinimized | Qt::WindowMaximized, Qt::WindowMaximized},
        {Qt::WindowNoState, Qt::WindowNoState},
    };
    for (const auto& [before, after] : cases) {
        for (const bool hidden : {false, true}) {
            window.setWindowState(before);
            window.setVisible(!hidden);
            window.bringToFront();
            EXPECT_TRUE(window.isVisible());
            EXPECT_EQ(window.windowState() & ~Qt::WindowActive, after)
                << before.toInt() << (hidden ? " hidden" : "");
        }
    }
}
