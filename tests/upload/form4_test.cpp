#include "upload/form4.h"
#include "upload/programupload.h"
#include "uploadtestsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <optional>

namespace {

class RecordingHost : public UploadHost
{
public:
    void setMainWindowVisible(bool visible) override { visibility.append(visible); }
    QList<bool> visibility;
};

class Form4Test : public UploadTest
{
protected:
    void SetUp() override
    {
        UploadTest::SetUp();
        writeTestFile(path(QStringLiteral("programs/a.bin")), "image a");
        writeTestFile(path(QStringLiteral("programs/a.hea")), "HEADER_A");
        writeTestFile(path(QStringLiteral("programs/sub/b.bin")), "image b");
        writeTestFile(path(QStringLiteral("programs/sub/b.hea")), "HEADER_B");
    }

    /// The dialog on `sources`; by default the folder "programs", unexplained as on Windows.
    void open(const std::optional<ProgramSources>& sources = std::nullopt)
    {
        host.visibility.clear();
        dialog.reset();
        upload = std::make_unique<ProgramUpload>(
            library, state, session, store, pump, dialogs, language,
            sources.value_or(ProgramSources::programFolder(path(QStringLiteral("programs")))),
            path(QStringLiteral("offline")), UploadTiming{kWait});
        dialog = std::make_unique<Form4>(host, *upload, language);
        dialog->show();
    }
    template <typename T>
    T* control(const char* name)
    {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }
    void select(int row) { control<QListWidget>("List1")->item(row)->setSelected(true); }
    void install() { control<QPushButton>("Command1")->click(); }
    /// The catalogue in two data folders, "home" (the user's) and "share" (the system's).
    [[nodiscard]] ProgramSources catalogue() const
    {
        return ProgramSources::catalogueIn({path(QStringLiteral("home")),
                                            path(QStringLiteral("share")),
                                            path(QStringLiteral("home"))});
    }
    [[nodiscard]] QStringList listed()
    {
        QStringList texts;
        for (int row = 0; row < control<QListWidget>("List1")->count(); ++row) {
            texts.append(control<QListWidget>("List1")->item(row)->text());
        }
        return texts;
    }

    RecordingHost host;
    std::unique_ptr<ProgramUpload> upload;
    std::unique_ptr<Form4> dialog;
};

} // namespace

TEST_F(Form4Test, OpeningListsTheProgramsInTheStoredLanguageAndHidesTheMainWindow)
{
    const struct
    {
        const char* stored; ///< nullptr: no Language setting
        const char* title;
        const char* install;
        const char* port;
        const char* version;
    } cases[] = {
        {"Spanish", "Por favor seleccione el programa deseado para instalar!",
         "Instalar el programa", "Puerto serie", "Version <7.8"},
        {nullptr, "Por favor selecione o programa pretendido para instalar!", "Instalar o programa",
         "Porta Série", "Version <7.8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        store = MemorySettingsStore();
        if (c.stored != nullptr) {
            ASSERT_TRUE(store.write(QStringLiteral("Language"), QString::fromLatin1(c.stored)));
        }
        open();
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(c.title));
        EXPECT_EQ(control<QPushButton>("Command1")->text(), QString::fromUtf8(c.install));
        EXPECT_EQ(control<QLabel>("Label2")->text(), QString::fromUtf8(c.port));
        EXPECT_EQ(control<QCheckBox>("Check1")->text(), QString::fromUtf8(c.version));
        QListWidget* list = control<QListWidget>("List1");
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->item(0)->text(), path(QStringLiteral("programs/a.bin")));
        EXPECT_EQ(list->item(1)->text(), path(QStringLiteral("programs/sub/b.bin")));
        EXPECT_EQ(host.visibility, QList<bool>{false});
        EXPECT_EQ(dialogs.busyDepth, 0);
        EXPECT_GT(dialogs.busyMaxDepth, 0);
    }
}

TEST_F(Form4Test, ThePortBoxFollowsTheCheckBoxAndShowsTheStoredPort)
{
    ASSERT_TRUE(store.write(QStringLiteral("ComPort"), QStringLiteral("Com12")));
    open();
    auto* box = control<QComboBox>("ComPortText");
    auto* label = control<QLabel>("Label2");
    EXPECT_EQ(box->currentText(), QStringLiteral("Com12"));
    for (const bool shown : {false, true, false}) {
        EXPECT_EQ(box->isVisible(), shown);
        EXPECT_EQ(label->isVisible(), shown);
        control<QCheckBox>("Check1")->click();
    }
}

TEST_F(Form4Test, InstallWithoutAChoiceKeepsTheDialogOpen)
{
    open();
    install();
    EXPECT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(host.visibility, QList<bool>{false});
}

TEST_F(Form4Test, InstallCopiesTheProgramClosesTheDialogAndShowsTheMainWindow)
{
    open();
    select(1);
    install();
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(readTestFile(path(QStringLiteral("offline/b.bin"))), QByteArray("image b"));
    EXPECT_EQ(readTestFile(path(QStringLiteral("offline/b.hea"))), QByteArray("HEADER_B"));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(host.visibility, (QList<bool>{false, true}));
}

TEST_F(Form4Test, AnUploadInProgressCannotBeClosedOrStartedTwice)
{
    ASSERT_TRUE(store.write(QStringLiteral("Language"), QStringLiteral("English")));
    open();
    select(0);
    control<QCheckBox>("Check1")->click();
    library.replies = {"OK\r\n"};
    QStringList seen;
    pump.onEvents = [&] {
        if (library.calls.contains(QStringLiteral("IO_Open 7 38400")) && seen.isEmpty()) {
            seen.append(control<QLabel>("StatusBar1Panel1")->text());
            dialog->close();
            dialog->Command1_Click();
            seen.append(dialog->isVisible() ? QStringLiteral("open") : QStringLiteral("closed"));
        }
    };
    install();
    EXPECT_EQ(seen, list("Sending...(1)|open"));
    EXPECT_EQ(library.calls.count(QStringLiteral("IO_Open 7 38400")), 1);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(host.visibility, (QList<bool>{false, true}));
}

TEST_F(Form4Test, UnexplainedSourcesShowNeitherNoticeNorBrowse)
{
    open();
    EXPECT_FALSE(control<QLabel>("Notice")->isVisible());
    EXPECT_FALSE(control<QPushButton>("Browse")->isVisible());
}

TEST_F(Form4Test, TheCatalogueSaysWhyTheDialogIsOpenWhereItLookedAndWhereProgramsGo)
{
    const struct
    {
        const char* name;
        bool installed;     ///< the offline folder exists
        const char* files;  ///< in the data folders; empty: none
        const char* notice; ///< its lines, "%h" and "%s" for the two catalogue folders
        int listed;
    } cases[] = {
        {"first start", false, "share/kolbrin/programs/inv.bin|share/kolbrin/programs/inv.hea",
         "No terminal program is installed yet: choose one to install. Programs were looked for "
         "in %h, %s.",
         1},
        {"from the menu", true,
         "home/kolbrin/programs/a/inv.bin|home/kolbrin/programs/a/inv.hea|share/inv.bin",
         "Programs were looked for in %h, %s.", 1},
        {"nothing found", false, "home/kolbrin/inv.bin|share/kolbrin/programs/inv.hea",
         "No terminal program is installed yet: choose one to install. Programs were looked for "
         "in %h, %s.\nNone was found: put a program's image (.bin) and header (.hea) into %h, or "
         "choose one with Browse...",
         0},
    };
    ASSERT_TRUE(store.write(QStringLiteral("Language"), QStringLiteral("English")));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* folder : {"home", "share", "offline"}) {
            ASSERT_TRUE(QDir(path(QString::fromLatin1(folder))).removeRecursively());
        }
        if (c.installed) {
            ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("offline"))));
        }
        for (const QString& file : list(c.files)) {
            writeTestFile(path(file), "x");
        }
        open(catalogue());
        const QString notice =
            QString::fromUtf8(c.notice)
                .replace(QStringLiteral("%h"), path(QStringLiteral("home/kolbrin/programs")))
                .replace(QStringLiteral("%s"), path(QStringLiteral("share/kolbrin/programs")));
        EXPECT_EQ(control<QLabel>("Notice")->text(), notice);
        EXPECT_TRUE(control<QLabel>("Notice")->isVisible());
        EXPECT_TRUE(control<QPushButton>("Browse")->isVisible());
        EXPECT_EQ(listed().size(), c.listed) << listed().join(QLatin1Char(' ')).toStdString();
    }
}

TEST_F(Form4Test, BrowseAddsAProgramWithItsHeaderBesideItAndRefusesAnythingElse)
{
    writeTestFile(path(QStringLiteral("elsewhere/shop.bin")), "image shop");
    writeTestFile(path(QStringLiteral("elsewhere/SHOP.HEA")), "HEADER_S");
    writeTestFile(path(QStringLiteral("elsewhere/lonely.bin")), "image");
    writeTestFile(path(QStringLiteral("elsewhere/notes.txt")), "text");
    const struct
    {
        const char* name;
        std::optional<const char*> chosen; ///< the file dialog's answer; none: cancelled
        const char* warning;               ///< the start of the warning; empty: none
        bool added;
    } cases[] = {
        {"cancelled", std::nullopt, "", false},
        {"no header", "elsewhere/lonely.bin",
         "\"%p/elsewhere/lonely.bin\" cannot be installed: "
         "its header file \"%p/elsewhere/lonely.hea\"",
         false},
        {"no image", "elsewhere/notes.txt", "\"%p/elsewhere/notes.txt\" is not a terminal program",
         false},
        {"a program", "elsewhere/shop.bin", "", true},
        {"the same again", "elsewhere/../elsewhere/shop.bin", "", true},
    };
    ASSERT_TRUE(store.write(QStringLiteral("Language"), QStringLiteral("English")));
    open(catalogue());
    ASSERT_TRUE(listed().isEmpty());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.shown.clear();
        dialogs.fileAnswers = {c.chosen ? std::optional(path(QString::fromLatin1(*c.chosen)))
                                        : std::nullopt};
        control<QPushButton>("Browse")->click();
        ASSERT_EQ(dialogs.fileRequests.size(), 1);
        EXPECT_EQ(dialogs.fileRequests.takeFirst().initialPath, QDir::homePath());
        const QString warning = QString::fromUtf8(c.warning).replace(QStringLiteral("%p"), path());
        EXPECT_EQ(dialogs.messages().size(), warning.isEmpty() ? 0 : 1);
        if (!warning.isEmpty()) {
            EXPECT_TRUE(dialogs.messages().value(0).startsWith(warning))
                << dialogs.messages().value(0).toStdString();
        }
        EXPECT_EQ(listed(), c.added ? QStringList{path(QStringLiteral("elsewhere/shop.bin"))}
                                    : QStringList{});
    }
    // The program added is chosen: Install copies it, its header found in any letter case.
    install();
    EXPECT_TRUE(dialogs.messages().isEmpty())
        << dialogs.messages().join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(readTestFile(path(QStringLiteral("offline/shop.bin"))), QByteArray("image shop"));
    EXPECT_EQ(readTestFile(path(QStringLiteral("offline/shop.hea"))), QByteArray("HEADER_S"));
    EXPECT_FALSE(dialog->isVisible());
}
