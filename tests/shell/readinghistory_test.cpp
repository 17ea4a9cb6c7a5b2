#include "common/memorysettingsstore.h"
#include "config/localesource.h"
#include "fakecommlibrary.h"
#include "fakewindow.h"
#include "journal/sqlitejournal.h"
#include "output/keystrokesink.h"
#include "recordingdialogs.h"
#include "shell/form1.h"
#include "shell/programcore.h"
#include "shell/readinghistorywindow.h"
#include "tempdir.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

/// The main window on a real journal file, holding two readings of different terminals.
class ReadingHistoryTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_TRUE(journal.isOpen()) << journal.problem().toStdString();
        older = addReading(QStringLiteral("SHOP01"), QStringLiteral("5601;3\n"), false,
                           QDateTime(QDate(2024, 3, 1), QTime(8, 15, 0), Qt::UTC));
        newer = addReading(QStringLiteral("VAN07"), QStringLiteral("88;1\n89;2\n"), true,
                           QDateTime(QDate(2024, 3, 2), QTime(17, 40, 5), Qt::UTC));
    }
    void TearDown() override { window.close(); }

    JournalReading addReading(const QString& terminal, const QString& text, bool cleared,
                              const QDateTime& finished)
    {
        JournalReading r;
        r.terminal = terminal;
        r.started = finished.addSecs(-20);
        r.finished = finished;
        r.documents = 1;
        r.records = static_cast<int>(text.count(QLatin1Char('\n')));
        r.text = text;
        r.mode = QStringLiteral("overwrite");
        r.target = QStringLiteral("/data/") + terminal + QStringLiteral(".txt");
        r.result = QStringLiteral("delivered");
        r.cleared = cleared;
        EXPECT_TRUE(journal.addReading(r));
        return r;
    }
    ReadingHistoryWindow* open()
    {
        window.findChild<QAction*>(QStringLiteral("ReadingHistory"))->trigger();
        return window.readingHistoryWindow();
    }
    [[nodiscard]] QStringList cells(QTableWidget* table, int row) const
    {
        QStringList result;
        for (int column = 0; column < table->columnCount(); ++column) {
            result.append(table->item(row, column)->text());
        }
        return result;
    }
    static QString localTime(const QDateTime& utc)
    {
        return utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }

    SqliteJournal journal{path(QStringLiteral("journal.sqlite"))};
    JournalReading older;
    JournalReading newer;
    MemorySettingsStore store;
    SystemLocaleSource locale{QLocale(QLocale::English, QLocale::UnitedStates)};
    RecordingDialogs dialogs;
    FakeCommLibrary library;
    CountingEventPump pump;
    RecordingKeystrokeSink keys;
    Form1 window{{.store = store,
                  .dialogs = dialogs,
                  .library = library,
                  .pump = pump,
                  .keys = keys,
                  .locale = locale,
                  .journal = &journal}};
};

} // namespace

TEST_F(ReadingHistoryTest, TheMenuEntryOpensOneWindowListingTheReadingsNewestFirst)
{
    ReadingHistoryWindow* history = open();
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(history->isVisible());
    EXPECT_EQ(open(), history);
    EXPECT_EQ(window.findChildren<ReadingHistoryWindow*>().size(), 1);

    auto* table = history->findChild<QTableWidget*>(QStringLiteral("Readings"));
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(cells(table, 0),
              (QStringList{localTime(newer.finished), QStringLiteral("VAN07"), QStringLiteral("1"),
                           QStringLiteral("2"), QStringLiteral("/data/VAN07.txt"),
                           QStringLiteral("delivered"), QStringLiteral("Yes")}));
    EXPECT_EQ(cells(table, 1).at(0), localTime(older.finished));
    EXPECT_EQ(cells(table, 1).at(1), QStringLiteral("SHOP01"));
    EXPECT_EQ(cells(table, 1).at(6), QStringLiteral("No"));
    EXPECT_TRUE(window.Text1()->toPlainText().isEmpty()) << "listing alone shows no reading";

    window.close();
    EXPECT_FALSE(history->isVisible()) << "closed with the main window";
}

TEST_F(ReadingHistoryTest, ChoosingARowShowsItsTextAndDeliverAgainWritesTheFileWithoutClearing)
{
    const QString output = path(QStringLiteral("out.txt"));
    Settings& settings = window.core().state.settings;
    settings.MyFileName = output;
    settings.NewFile = true;
    settings.AutoClear = 1;
    library.setDefault(QStringLiteral("I_ClearAllEntries"), 1);
    // As right after a complete reading of the terminal now in the cradle, which may be cleared.
    window.core().state.LastReading = ReadingEnd::Complete;
    window.core().state.ReadingJournaled = true;

    ReadingHistoryWindow* history = open();
    auto* table = history->findChild<QTableWidget*>(QStringLiteral("Readings"));
    auto* deliverAgain = history->findChild<QPushButton*>(QStringLiteral("DeliverAgain"));
    EXPECT_FALSE(deliverAgain->isEnabled()) << "nothing chosen yet";
    table->setCurrentCell(1, 0);
    EXPECT_EQ(window.Text1()->toPlainText(), older.text);
    ASSERT_TRUE(deliverAgain->isEnabled());

    deliverAgain->click();
    QFile file(output);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()).remove(QLatin1Char('\r')), older.text);
    EXPECT_FALSE(library.calls.contains(QStringLiteral("I_ClearAllEntries")));
    EXPECT_TRUE(dialogs.messages().isEmpty());

    const QList<JournalReading> readings = journal.readings();
    ASSERT_EQ(readings.size(), 3);
    EXPECT_EQ(readings.front().terminal, QStringLiteral("SHOP01"));
    EXPECT_EQ(readings.front().text, older.text);
    EXPECT_EQ(readings.front().mode, QStringLiteral("overwrite"));
    EXPECT_EQ(readings.front().target, output);
    EXPECT_EQ(readings.front().result, QStringLiteral("delivered"));
    EXPECT_FALSE(readings.front().cleared);
    ASSERT_EQ(table->rowCount(), 3) << "the window lists the new delivery";
    EXPECT_EQ(cells(table, 0).at(4), output);
}

TEST_F(ReadingHistoryTest, CaptionsFollowTheLanguageWhileTheWindowIsOpen)
{
    window.core().language.applyLanguage(QStringLiteral("Spanish"), CaptionWindowFlag::Main);
    EXPECT_EQ(window.findChild<QAction*>(QStringLiteral("ReadingHistory"))->text(),
              QStringLiteral("Historial de lecturas"));
    ReadingHistoryWindow* history = open();
    const auto caption = [history](const char* button) {
        return history->findChild<QPushButton*>(QString::fromLatin1(button))->text();
    };
    const auto header = [history](int column) {
        return history->findChild<QTableWidget*>(QStringLiteral("Readings"))
            ->horizontalHeaderItem(column)
            ->text();
    };
    EXPECT_EQ(history->windowTitle(), QStringLiteral("Historial de lecturas"));
    EXPECT_EQ(header(0), QStringLiteral("Hora"));
    EXPECT_EQ(header(6), QStringLiteral("Borrado"));
    EXPECT_EQ(caption("DeliverAgain"), QStringLiteral("Entregar de nuevo"));
    EXPECT_EQ(caption("Refresh"), QStringLiteral("Actualizar"));
    EXPECT_EQ(caption("Close"), QStringLiteral("Cerrar"));

    window.core().language.applyLanguage(QStringLiteral("Portugues"), CaptionWindowFlag::Main);
    EXPECT_EQ(history->windowTitle(), QStringLiteral("Histórico de leituras"));
    EXPECT_EQ(caption("DeliverAgain"), QStringLiteral("Entregar novamente"));
}

TEST_F(ReadingHistoryTest, AJournalThatCannotBeReadShowsItsProblemInTheWindow)
{
    QFile notAJournal(path(QStringLiteral("broken.sqlite")));
    ASSERT_TRUE(notAJournal.open(QIODevice::WriteOnly));
    notAJournal.write(QByteArray(4096, 'x'));
    notAJournal.close();
    SqliteJournal broken(notAJournal.fileName());
    ASSERT_FALSE(broken.isOpen());
    Form1 other({.store = store,
                 .dialogs = dialogs,
                 .library = library,
                 .pump = pump,
                 .keys = keys,
                 .locale = locale,
                 .journal = &broken});
    other.findChild<QAction*>(QStringLiteral("ReadingHistory"))->trigger();
    ReadingHistoryWindow* history = other.readingHistoryWindow();
    ASSERT_NE(history, nullptr);
    auto* problem = history->findChild<QLabel*>(QStringLiteral("Problem"));
    EXPECT_TRUE(problem->isVisible());
    EXPECT_TRUE(problem->text().startsWith(QStringLiteral("The journal could not be read: ")));
    EXPECT_TRUE(problem->text().contains(broken.problem()));
    EXPECT_EQ(history->findChild<QTableWidget*>(QStringLiteral("Readings"))->rowCount(), 0);
    other.close();
}
