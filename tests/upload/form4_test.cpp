#include "upload/form4.h"
#include "upload/programupload.h"
#include "uploadtestsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

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

    void open()
    {
        host.visibility.clear();
        dialog.reset();
        upload = std::make_unique<ProgramUpload>(
            library, state, session, store, pump, dialogs, language,
            path(QStringLiteral("programs")), path(QStringLiteral("offline")), UploadTiming{kWait});
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
