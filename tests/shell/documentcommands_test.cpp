#include "config/settings.h"
#include "fakewindow.h"
#include "recordingdialogs.h"
#include "shell/documentcommands.h"
#include "shell/filedialogstate.h"
#include "shell/qtexteditdocumentview.h"
#include "shell/qttextprinter.h"
#include "tempdir.h"

#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

class DocumentCommandsTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        settings.MyFileName = path(QStringLiteral("Demo.txt"));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path(QStringLiteral("printed.pdf")));
        view.setText(QStringLiteral("before"));
        window.panel1 = QStringLiteral("earlier");
    }

    void write(const QString& name, const QByteArray& content)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(content), content.size());
    }

    QByteArray read(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    /// Pages of the PDF the printer wrote (page objects, not the page tree).
    int printedPages() const
    {
        static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
        return int(QString::fromLatin1(read(QStringLiteral("printed.pdf"))).count(page));
    }

    QTextEdit edit;
    QTextEditDocumentView view{&edit};
    FakeWindowControls window;
    RecordingDialogs dialogs;
    QPrinter printer{QPrinter::HighResolution};
    QtTextPrinter textPrinter{printer};
    Settings settings;
    FileDialogState dialogState;
    DocumentCommands commands{view, window, dialogs, textPrinter, settings, dialogState};
};

} // namespace

TEST_F(DocumentCommandsTest, LoadShowsTheFileAndItsPath)
{
    struct Case
    {
        const char* name;
        QByteArray content;
        QString shown;
    };
    const Case cases[] = {
        {"utf8.txt", "caf\xc3\xa9 \xe2\x82\xac", QStringLiteral("caf\u00e9 \u20ac")},
        {"utf8-mark.txt", "\xEF\xBB\xBFmarked", QStringLiteral("marked")},
        {"cp1252.txt", "caf\xe9 \x80", QStringLiteral("caf\u00e9 \u20ac")},
        {"breaks.txt", "a\r\nb\rc\n\rd", QStringLiteral("a\nb\nc\nd")},
        {"no-extension", "plain", QStringLiteral("plain")},
    };
    dialogState.fileName = QStringLiteral("chosen-last.csv");
    QString offered = dialogState.fileName;
    for (const Case& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        write(name, c.content);
        dialogs.fileAnswers.push_back(path(name));
        commands.Load_Click();
        EXPECT_EQ(edit.toPlainText(), c.shown) << c.name;
        EXPECT_EQ(window.panel1, path(name)) << c.name;
        ASSERT_FALSE(dialogs.fileRequests.isEmpty());
        EXPECT_EQ(dialogs.fileRequests.last().filter,
                  QStringLiteral("Text files (*.txt);; All Files (*.*)"));
        EXPECT_EQ(dialogs.fileRequests.last().initialPath, offered) << c.name;
        offered = path(name);
    }
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_EQ(dialogs.busyDepth, 0);
}

TEST_F(DocumentCommandsTest, LoadShowsARichTextFileWithItsFormatting)
{
    // What makes a file rich text is its content, not its name.
    write(QStringLiteral("letter.txt"), "{\\rtf1\\ansi Dear {\\b reader}\\par bye}");
    dialogs.fileAnswers.push_back(path(QStringLiteral("letter.txt")));

    commands.Load_Click();

    EXPECT_EQ(edit.toPlainText(), QStringLiteral("Dear reader\nbye"));
    const QTextCursor reader = edit.document()->find(QStringLiteral("reader"));
    ASSERT_FALSE(reader.isNull());
    EXPECT_GE(reader.charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(window.panel1, path(QStringLiteral("letter.txt")));
}

TEST_F(DocumentCommandsTest, CancelledLoadChangesNothing)
{
    commands.Load_Click();

    EXPECT_EQ(edit.toPlainText(), QStringLiteral("before"));
    EXPECT_EQ(window.panel1, QStringLiteral("earlier"));
    EXPECT_TRUE(dialogs.messages().isEmpty());
}

TEST_F(DocumentCommandsTest, FailedLoadSaysWhyAndLeavesViewAndStatusBar)
{
    ASSERT_TRUE(QDir(path()).mkdir(QStringLiteral("folder")));
    struct Case
    {
        const char* name;
        const char* reason;
    };
    const Case cases[] = {
        {"missing.txt", "No such file"},
        {"folder", "folder"},
    };
    for (const Case& c : cases) {
        dialogs.shown.clear();
        dialogs.fileAnswers.push_back(path(QString::fromLatin1(c.name)));
        commands.Load_Click();
        EXPECT_EQ(edit.toPlainText(), QStringLiteral("before")) << c.name;
        EXPECT_EQ(window.panel1, QStringLiteral("earlier")) << c.name;
        ASSERT_EQ(dialogs.messages().size(), 1) << c.name;
        const QString message = dialogs.messages().first();
        EXPECT_TRUE(message.contains(path(QString::fromLatin1(c.name)))) << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromLatin1(c.reason))) << message.toStdString();
    }
}

TEST_F(DocumentCommandsTest, SaveAsOffersTheOutputFileEvenAfterALoad)
{
    write(QStringLiteral("other.txt"), "other");
    dialogs.fileAnswers.push_back(path(QStringLiteral("other.txt")));
    commands.Load_Click();

    commands.SaveAs_Click();

    ASSERT_EQ(dialogs.fileRequests.size(), 2);
    EXPECT_EQ(dialogs.fileRequests[1].initialPath, settings.MyFileName);
    EXPECT_EQ(dialogs.fileRequests[1].filter, DocumentCommands::fileFilter());
    EXPECT_EQ(read(QStringLiteral("Demo.txt")), "<missing>") << "a cancelled save writes nothing";
}

TEST_F(DocumentCommandsTest, SaveAsWritesThePlainTextOverAnExistingFile)
{
    write(QStringLiteral("letter.rtf"), "{\\rtf1 Dear {\\b reader}\\par bye}");
    dialogs.fileAnswers.push_back(path(QStringLiteral("letter.rtf")));
    commands.Load_Click();
    write(QStringLiteral("saved.txt"), "old content that is longer than the new one");
    dialogs.fileAnswers.push_back(path(QStringLiteral("saved.txt")));

    commands.SaveAs_Click();

    EXPECT_EQ(read(QStringLiteral("saved.txt")), "Dear reader\nbye");
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_EQ(window.panel1, path(QStringLiteral("letter.rtf"))) << "Save as leaves the status bar";
}

TEST_F(DocumentCommandsTest, FailedSaveAsSaysWhereAndWhy)
{
    ASSERT_TRUE(QDir(path()).mkdir(QStringLiteral("folder")));
    const QString targets[] = {path(QStringLiteral("no-such-folder/out.txt")),
                               path(QStringLiteral("folder"))};
    for (const QString& target : targets) {
        dialogs.shown.clear();
        dialogs.fileAnswers.push_back(target);
        commands.SaveAs_Click();
        ASSERT_EQ(dialogs.messages().size(), 1) << target.toStdString();
        EXPECT_TRUE(dialogs.messages().first().contains(target))
            << dialogs.messages().first().toStdString();
    }
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("folder"))).isDir());
}

TEST_F(DocumentCommandsTest, PrintsTheSelectionOrElseTheWholeView)
{
    QStringList lines;
    for (int n = 1; n <= 400; ++n) {
        lines.append(QStringLiteral("line %1").arg(n));
    }
    view.setText(lines.join(QLatin1Char('\n')));

    commands.Print__Click();
    const int wholeView = printedPages();

    QTextCursor cursor(edit.document());
    cursor.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, 2);
    edit.setTextCursor(cursor);
    ASSERT_EQ(view.selectedText(), QStringLiteral("line 1\nline 2\n"));
    commands.Print__Click();

    EXPECT_GE(wholeView, 3);
    EXPECT_EQ(printedPages(), 1);
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_EQ(dialogs.busyDepth, 0);
}

TEST_F(DocumentCommandsTest, PrintingThatCannotHappenSaysWhy)
{
    QtTextPrinter noPrinter({}, [] { return QString(); });
    QPrinter badFile;
    badFile.setOutputFormat(QPrinter::PdfFormat);
    badFile.setOutputFileName(path(QStringLiteral("no-such-folder/out.pdf")));
    QtTextPrinter toBadFile(badFile);

    const std::pair<QtTextPrinter*, QString> cases[] = {
        {&noPrinter, QStringLiteral("no default printer")},
        {&toBadFile, path(QStringLiteral("no-such-folder/out.pdf"))},
    };
    for (const auto& [printerUsed, says] : cases) {
        dialogs.shown.clear();
        DocumentCommands printing(view, window, dialogs, *printerUsed, settings, dialogState);
        printing.Print__Click();
        ASSERT_EQ(dialogs.messages().size(), 1) << says.toStdString();
        EXPECT_TRUE(dialogs.messages().first().startsWith(QStringLiteral("Nothing was printed")));
        EXPECT_TRUE(dialogs.messages().first().contains(says))
            << dialogs.messages().first().toStdString();
    }
}

TEST(QTextEditDocumentView, KeepsOneKindOfLineBreak)
{
    QTextEdit edit;
    QTextEditDocumentView view(&edit);

    view.setText(QStringLiteral("a\r\nb\rc\n\rd"));
    QTextCursor cursor(edit.document());
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);

    EXPECT_EQ(view.text(), QStringLiteral("a\nb\nc\nd"));
    EXPECT_EQ(view.selectedText(), QStringLiteral("a\nb\nc\nd"));
    edit.setTextCursor(QTextCursor(edit.document()));
    EXPECT_EQ(view.selectedText(), QString());
}
