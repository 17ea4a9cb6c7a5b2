#include "common/settings.h"
#include "document/filedialogstate.h"
#include "document/qtexteditdocumentview.h"
#include "fakewindow.h"
#include "recordingdialogs.h"
#include "shell/documentcommands.h"
#include "shell/qttextprinter.h"
#include "tempdir.h"

#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextEdit>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

class DocumentCommandsTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        settings.MyFileName = path(u"Demo.txt"_s);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path(u"printed.pdf"_s));
        view.setText(u"before"_s);
        window.panel1 = u"earlier"_s;
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
        static const QRegularExpression page(u"/Type\\s*/Page[^s]"_s);
        return int(QString::fromLatin1(read(u"printed.pdf"_s)).count(page));
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
        {"cp1252.txt", "caf\xe9 \x80", u"caf\u00e9 \u20ac"_s},
        {"breaks",
         "\xEF\xBB\xBF"
         "a\r\nb\rc\n\rd",
         u"a\nb\nc\nd"_s},
    };
    dialogState.fileName = u"chosen-last.csv"_s;
    QString offered = dialogState.fileName;
    for (const Case& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        write(name, c.content);
        dialogs.fileAnswers.push_back(path(name));
        commands.load();
        EXPECT_EQ(edit.toPlainText(), c.shown) << c.name;
        EXPECT_EQ(window.panel1, path(name)) << c.name;
        ASSERT_FALSE(dialogs.fileRequests.isEmpty());
        EXPECT_EQ(dialogs.fileRequests.last().filter, u"Text files (*.txt);; All Files (*.*)"_s);
        EXPECT_EQ(dialogs.fileRequests.last().initialPath, offered) << c.name;
        offered = path(name);
    }
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_EQ(dialogs.busyDepth, 0);
}

TEST_F(DocumentCommandsTest, LoadShowsARichTextFileWithItsFormatting)
{
    // What makes a file rich text is its content, not its name.
    write(u"letter.txt"_s, "{\\rtf1\\ansi Dear {\\b reader}\\par bye}");
    dialogs.fileAnswers.push_back(path(u"letter.txt"_s));

    commands.load();

    EXPECT_EQ(edit.toPlainText(), u"Dear reader\nbye"_s);
    const QTextCursor reader = edit.document()->find(u"reader"_s);
    ASSERT_FALSE(reader.isNull());
    EXPECT_GE(reader.charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(window.panel1, path(u"letter.txt"_s));
}

TEST_F(DocumentCommandsTest, CancelledLoadChangesNothing)
{
    commands.load();

    EXPECT_EQ(edit.toPlainText(), u"before"_s);
    EXPECT_EQ(window.panel1, u"earlier"_s);
    EXPECT_TRUE(dialogs.messages().isEmpty());
}

TEST_F(DocumentCommandsTest, FailedLoadSaysWhyAndLeavesViewAndStatusBar)
{
    ASSERT_TRUE(QDir(path()).mkdir(u"folder"_s));
    struct Case
    {
        const char* name;
        const char* reason;
    };
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(u"pipe"_s)).constData(), 0600), 0);
    // Rich-text files that would freeze the window or exhaust memory, at a smaller scale.
    write(u"deep.rtf"_s, "{\\rtf1 " + QByteArray(300'000, '{') + "x}");
    QByteArray lines = "{\\rtf1 ";
    for (int i = 0; i < 60'000; ++i) {
        lines += "line \\par\n";
    }
    write(u"lines.rtf"_s, lines + "}");
    const Case cases[] = {
        {"missing.txt", "No such file"},
        {"folder", "folder"},
        {"pipe", "not an ordinary file"},
        {"deep.rtf", "its groups are nested more than 256 deep at byte 264"},
        {"lines.rtf", "it has more than 50000 paragraphs and table rows (at byte 500008)"},
    };
    for (const Case& c : cases) {
        dialogs.shown.clear();
        dialogs.fileAnswers.push_back(path(QString::fromLatin1(c.name)));
        commands.load();
        EXPECT_EQ(edit.toPlainText(), u"before"_s) << c.name;
        EXPECT_EQ(window.panel1, u"earlier"_s) << c.name;
        ASSERT_EQ(dialogs.messages().size(), 1) << c.name;
        const QString message = dialogs.messages().first();
        EXPECT_TRUE(message.contains(path(QString::fromLatin1(c.name)))) << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromLatin1(c.reason))) << message.toStdString();
    }
}

TEST_F(DocumentCommandsTest, SaveAsOffersTheOutputFileAndWritesPlainText)
{
    write(u"letter.rtf"_s, "{\\rtf1 Dear {\\b reader}\\par bye}");
    dialogs.fileAnswers.push_back(path(u"letter.rtf"_s));
    commands.load();
    commands.saveAs(); // cancelled
    write(u"saved.txt"_s, "old content that is longer than the new one");
    dialogs.fileAnswers.push_back(path(u"saved.txt"_s));
    commands.saveAs();

    // Even right after a Load, the output file of the settings is offered.
    ASSERT_EQ(dialogs.fileRequests.size(), 3);
    EXPECT_EQ(dialogs.fileRequests[1].initialPath, settings.MyFileName);
    EXPECT_EQ(dialogs.fileRequests[1].filter, DocumentCommands::fileFilter());
    EXPECT_EQ(read(u"Demo.txt"_s), "<missing>") << "a cancelled save writes nothing";
    EXPECT_EQ(read(u"saved.txt"_s), "Dear reader\nbye");
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_EQ(window.panel1, path(u"letter.rtf"_s)) << "Save as leaves the status bar";
}

TEST_F(DocumentCommandsTest, FailedSaveAsSaysWhereAndWhy)
{
    ASSERT_TRUE(QDir(path()).mkdir(u"folder"_s));
    const QString targets[] = {path(u"no-such-folder/out.txt"_s), path(u"folder"_s)};
    for (const QString& target : targets) {
        dialogs.shown.clear();
        dialogs.fileAnswers.push_back(target);
        commands.saveAs();
        ASSERT_EQ(dialogs.messages().size(), 1) << target.toStdString();
        EXPECT_TRUE(dialogs.messages().first().contains(target))
            << dialogs.messages().first().toStdString();
    }
    EXPECT_TRUE(QFileInfo(path(u"folder"_s)).isDir());
}

TEST_F(DocumentCommandsTest, PrintsTheSelectionOrElseTheWholeView)
{
    QStringList lines;
    for (int n = 1; n <= 400; ++n) {
        lines.append(u"line %1"_s.arg(n));
    }
    view.setText(lines.join(QLatin1Char('\n')));

    commands.print();
    const int wholeView = printedPages();

    QTextCursor cursor(edit.document());
    cursor.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, 2);
    edit.setTextCursor(cursor);
    ASSERT_EQ(view.selectedText(), u"line 1\nline 2\n"_s);
    commands.print();

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
    badFile.setOutputFileName(path(u"no-such-folder/out.pdf"_s));
    QtTextPrinter toBadFile(badFile);

    const std::pair<QtTextPrinter*, QString> cases[] = {
        {&noPrinter, u"no default printer"_s},
        {&toBadFile, path(u"no-such-folder/out.pdf"_s)},
    };
    for (const auto& [printerUsed, says] : cases) {
        dialogs.shown.clear();
        DocumentCommands printing(view, window, dialogs, *printerUsed, settings, dialogState);
        printing.print();
        ASSERT_EQ(dialogs.messages().size(), 1) << says.toStdString();
        EXPECT_TRUE(dialogs.messages().first().startsWith(u"Nothing was printed"_s));
        EXPECT_TRUE(dialogs.messages().first().contains(says))
            << dialogs.messages().first().toStdString();
    }
}

TEST(QTextEditDocumentView, KeepsOneKindOfLineBreak)
{
    QTextEdit edit;
    QTextEditDocumentView view(&edit);

    view.setText(u"a\r\nb\rc\n\rd"_s);
    QTextCursor cursor(edit.document());
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);

    EXPECT_EQ(view.text(), u"a\nb\nc\nd"_s);
    EXPECT_EQ(view.selectedText(), u"a\nb\nc\nd"_s);
    edit.setTextCursor(QTextCursor(edit.document()));
    EXPECT_EQ(view.selectedText(), QString());
}
