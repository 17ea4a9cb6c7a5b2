#include "common/settings.h"
#include "config/configloader.h"
#include "config/inidocument.h"
#include "config/inisettingsstore.h"
#include "config/localesource.h"
#include "i18n/uilanguage.h"
#include "recordingdialogs.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeRaw(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class IniSettingsStoreTest : public TempDirTest
{
protected:
    [[nodiscard]] QString iniPath() const
    {
        return path(QStringLiteral("cfg/Kolbrin/Kolbrin.ini"));
    }

    RecordingDialogs dialogs;
};

} // namespace

TEST(IniDocument, ValuesRoundTripExactly)
{
    const QString values[] = {
        QStringLiteral("[Code],[Qty]"),
        QStringLiteral("C:\\out.d\\data.txt"),
        QStringLiteral("a;b # c"),
        QStringLiteral("\"quoted\""),
        QStringLiteral("say \"hi\""),
        QStringLiteral("\\\\server\\share\\"),
        QStringLiteral("100%"),
        QStringLiteral("@Variant(x)"),
        QStringLiteral("@Percent(41)"),
        QStringLiteral("  both ends  "),
        QStringLiteral("\t"),
        QStringLiteral("line1\r\nline2"),
        QStringLiteral("a=b=c"),
        QStringLiteral("Portugu\u00eas \u20ac \u4e2d"),
        QString(),
        QStringLiteral("\""),
    };
    IniDocument doc(QStringLiteral("Setup"));
    int n = 0;
    for (const QString& value : values) {
        doc.setValue(QStringLiteral("Key%1").arg(n++), value);
    }
    IniDocument reread(QStringLiteral("Setup"));
    EXPECT_TRUE(reread.parse(doc.toText()).empty());
    n = 0;
    for (const QString& value : values) {
        EXPECT_EQ(reread.value(QStringLiteral("key%1").arg(n++)), value) << value.toStdString();
    }
}

TEST(IniDocument, HandWrittenFilesReadAsAPersonExpects)
{
    IniDocument doc(QStringLiteral("Setup"));
    const std::vector<int> bad = doc.parse(QStringLiteral("; written by hand\r\n"
                                                          "[Other]\r\n"
                                                          "MyFileName=elsewhere.txt\r\n"
                                                          "[setup]\r\n"
                                                          "  MyFileName = C:\\out\\data.txt  \r\n"
                                                          "AsciiDataFormat=[Code],[Qty]\r\n"
                                                          "AsciiDataFormat2=\"[Doc], [Date]\"\r\n"
                                                          "this line means nothing\r\n"
                                                          "Empty=\r\n"));
    EXPECT_EQ(bad, std::vector<int>{8});
    EXPECT_EQ(doc.value(QStringLiteral("MYFILENAME")), QStringLiteral("C:\\out\\data.txt"));
    EXPECT_EQ(doc.value(QStringLiteral("AsciiDataFormat")), QStringLiteral("[Code],[Qty]"));
    EXPECT_EQ(doc.value(QStringLiteral("AsciiDataFormat2")), QStringLiteral("[Doc], [Date]"));
    EXPECT_EQ(doc.value(QStringLiteral("Empty")), QString());
    EXPECT_FALSE(doc.value(QStringLiteral("Absent")).has_value());
}

TEST(IniDocument, WritingKeepsOtherLinesAndUpdatesTheExistingSpelling)
{
    IniDocument doc(QStringLiteral("Setup"));
    doc.parse(QStringLiteral("# note\n[Setup]\nMyFileName=a.txt\nnonsense\n[Other]\nX=1\n"));
    doc.setValue(QStringLiteral("MyFilename"), QStringLiteral("b.txt"));
    doc.setValue(QStringLiteral("ComPort"), QStringLiteral("Com2"));
    EXPECT_EQ(doc.toText(), QStringLiteral("# note\n[Setup]\nMyFileName=b.txt\nnonsense\n"
                                           "ComPort=Com2\n[Other]\nX=1\n"));
}

TEST_F(IniSettingsStoreTest, KeysAreMatchedWithoutRegardToCaseInTheFile)
{
    IniSettingsStore store(iniPath(), &dialogs);
    ASSERT_TRUE(store.write(QStringLiteral("MyFileName"), QStringLiteral("first.txt")));
    ASSERT_TRUE(store.write(QStringLiteral("MyFilename"), QStringLiteral("second.txt")));

    IniSettingsStore reopened(iniPath(), &dialogs);
    EXPECT_EQ(reopened.value(QStringLiteral("myfilename")), QStringLiteral("second.txt"));
    EXPECT_EQ(readAll(iniPath()), QByteArray("[Setup]\nMyFileName=second.txt\n"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(IniSettingsStoreTest, ChangesMadeToTheFileByHandAreSeen)
{
    IniSettingsStore store(iniPath(), &dialogs);
    ASSERT_TRUE(store.write(QStringLiteral("ComPort"), QStringLiteral("Com1")));
    writeRaw(iniPath(), "[Setup]\nComPort=Com4\nMyFileName=\"  padded  \"\n");
    EXPECT_EQ(store.value(QStringLiteral("ComPort")), QStringLiteral("Com4"));
    EXPECT_EQ(store.value(QStringLiteral("MyFileName")), QStringLiteral("  padded  "));
}

TEST_F(IniSettingsStoreTest, AFileThatIsNotValidUtf8IsReadAsWindows1252)
{
    writeRaw(iniPath(), "[Setup]\nMyFileName=Caf\xe9.txt\n");
    IniSettingsStore store(iniPath(), &dialogs);
    EXPECT_EQ(store.value(QStringLiteral("MyFileName")), QStringLiteral("Caf\u00e9.txt"));
}

TEST_F(IniSettingsStoreTest, GarbageAndUnreadableFilesLoadWithOneMessage)
{
    writeRaw(iniPath(), QByteArray("[Setup]\nAutoStart=1\n\x01\x02garbage\nComPort=Com3\n"));
    IniSettingsStore store(iniPath(), &dialogs);
    UiLanguage language;
    SystemLocaleSource locale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    Settings settings;
    ConfigLoader(store, locale, language, dialogs).loadSettings(settings);
    EXPECT_EQ(settings.AutoStart, 1);
    EXPECT_EQ(settings.ComPortNumber, 3);
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Invalid Configurations !!!")});
    // The line that was not understood is still in the file after the load wrote Language.
    EXPECT_TRUE(readAll(iniPath()).contains("\x01\x02garbage"));

    // A folder where the file should be: defaults, one message, and nothing overwritten.
    const QString folderPath = path(QStringLiteral("cfg2/Kolbrin.ini"));
    QDir().mkpath(folderPath);
    RecordingDialogs otherDialogs;
    IniSettingsStore unreadable(folderPath, &otherDialogs);
    Settings defaults;
    ConfigLoader(unreadable, locale, language, otherDialogs).loadSettings(defaults);
    EXPECT_EQ(defaults.MyFileName, QStringLiteral("Demo.txt"));
    ASSERT_EQ(otherDialogs.messages().size(), 2);
    EXPECT_TRUE(otherDialogs.messages().at(0).contains(QDir::toNativeSeparators(folderPath)));
    EXPECT_EQ(otherDialogs.messages().at(1), QStringLiteral("Invalid Configurations !!!"));
    EXPECT_TRUE(QFileInfo(folderPath).isDir());
}

TEST_F(IniSettingsStoreTest, AFileAboveTheSizeLimitIsNeitherReadNorWrittenOver)
{
    const qint64 limit = IniSettingsStore::kMaxFileBytes;
    for (const qint64 size : {limit, limit + 1}) {
        SCOPED_TRACE(size);
        QByteArray bytes = "[Setup]\nComPort=Com3\n;";
        bytes.append(QByteArray(size - bytes.size() - 1, 'x')).append('\n');
        writeRaw(iniPath(), bytes);
        RecordingDialogs shown;
        IniSettingsStore store(iniPath(), &shown);
        UiLanguage language;
        SystemLocaleSource locale(QLocale(QLocale::English, QLocale::UnitedKingdom));
        Settings settings;
        ConfigLoader(store, locale, language, shown).loadSettings(settings);

        if (size == limit) {
            EXPECT_EQ(settings.ComPortNumber, 3);
            EXPECT_TRUE(shown.messages().isEmpty());
            continue;
        }
        // The defaults, one message saying why, and the file as it was for the user to mend.
        EXPECT_EQ(settings.ComPortNumber, 1);
        EXPECT_EQ(settings.MyFileName, QStringLiteral("Demo.txt"));
        ASSERT_EQ(shown.messages().size(), 2);
        const QString message = shown.messages().at(0);
        for (const QString& part : {QDir::toNativeSeparators(iniPath()),
                                    QStringLiteral("1,048,577"), QStringLiteral("1,048,576")}) {
            EXPECT_TRUE(message.contains(part)) << message.toStdString();
        }
        EXPECT_EQ(shown.messages().at(1), QStringLiteral("Invalid Configurations !!!"));
        EXPECT_FALSE(store.write(QStringLiteral("ComPort"), QStringLiteral("Com2")));
        EXPECT_EQ(store.value(QStringLiteral("ComPort")), QStringLiteral("Com2"));
        EXPECT_EQ(shown.messages().size(), 2);
        EXPECT_EQ(readAll(iniPath()), bytes);
    }
}

TEST_F(IniSettingsStoreTest, AFailedWriteNamesTheFileOnceAndIsNotReportedAsSaved)
{
    // A regular file where the folder should be stops the write, also for root.
    writeRaw(path(QStringLiteral("blocked")), "not a folder");
    const QString target = path(QStringLiteral("blocked/Kolbrin/Kolbrin.ini"));
    IniSettingsStore store(target, &dialogs);
    EXPECT_FALSE(store.write(QStringLiteral("MyFileName"), QStringLiteral("a.txt")));
    EXPECT_FALSE(store.write(QStringLiteral("ComPort"), QStringLiteral("Com2")));
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().front().contains(QDir::toNativeSeparators(target)));
    // What was written stays in effect for this run.
    EXPECT_EQ(store.value(QStringLiteral("ComPort")), QStringLiteral("Com2"));
}

TEST_F(IniSettingsStoreTest, AnExistingFileIsReplacedWholeAndLeavesNoTemporaryFiles)
{
    IniSettingsStore store(iniPath(), &dialogs);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(store.write(QStringLiteral("Key%1").arg(i), QStringLiteral("value %1").arg(i)));
    }
    const QStringList files = QDir(QFileInfo(iniPath()).absolutePath()).entryList(QDir::Files);
    EXPECT_EQ(files, QStringList{QStringLiteral("Kolbrin.ini")});
    IniSettingsStore reopened(iniPath(), &dialogs);
    EXPECT_EQ(reopened.value(QStringLiteral("key19")), QStringLiteral("value 19"));
}

TEST_F(IniSettingsStoreTest, DefaultPathIsInTheUsersConfigFolder)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", path().toUtf8());
    const QString expected = path(QStringLiteral("Kolbrin/Kolbrin.ini"));
    EXPECT_EQ(IniSettingsStore::defaultFilePath(), expected);
    qputenv("XDG_CONFIG_HOME", saved);
}
