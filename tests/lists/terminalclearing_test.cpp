#include "i18n/uilanguage.h"
#include "lists/terminalclearing.h"
#include "programcoreparts.h"

#include <gtest/gtest.h>

namespace {

class TerminalClearingTest : public ::testing::Test, public FakeProgramCore
{
protected:
    void SetUp() override { language.applyLanguage(QStringLiteral("English")); }

    // The part under test, as the program wires it.
    UiLanguage& language = core.language;
    TerminalClearing& clearing = core.clearing;
};

} // namespace

TEST_F(TerminalClearingTest, ListNumbersThatAreNotPositiveWholeNumbersSendNothing)
{
    const std::optional<QString> entries[] = {
        QStringLiteral("0"), QStringLiteral("-4"),    QStringLiteral("abc"),  QString(),
        std::nullopt,        QStringLiteral("70000"), QStringLiteral("3abc"),
    };
    for (const auto& entry : entries) {
        dialogs.textAnswers.push_back(entry);
        clearing.clearList();
    }
    EXPECT_TRUE(library.calls.isEmpty());
    EXPECT_TRUE(dialogs.messages().isEmpty());
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.shown.front().text, QStringLiteral("Witch list to clear?"));
}

TEST_F(TerminalClearingTest, AListIsClearedByNumberAndFailuresAreReported)
{
    library.script(QStringLiteral("I_ClearEntries"), {0, 1, -1, -2});
    for (const char* entry : {"3", " 2.6 ", "7", "8"}) {
        dialogs.textAnswers.push_back(QString::fromLatin1(entry));
        clearing.clearList();
    }
    EXPECT_EQ(
        library.calls,
        (QStringList{QStringLiteral("I_ClearEntries 3"), QStringLiteral("I_ClearEntries 3"),
                     QStringLiteral("I_ClearEntries 7"), QStringLiteral("I_ClearEntries 8")}));
    EXPECT_EQ(dialogs.messages(),
              (QStringList{QStringLiteral("Communication Error"),
                           QStringLiteral("Please place the terminal on the craddle")}));
}

TEST_F(TerminalClearingTest, ClearAllAsksNothingAndSpeaksTheCurrentLanguage)
{
    language.applyLanguage(QStringLiteral("Portugues"));
    library.script(QStringLiteral("I_ClearAllEntries"), {5, -1, -2, 65535});
    EXPECT_EQ(clearing.clearAll(), 5);
    EXPECT_EQ(clearing.clearAll(), -1);
    EXPECT_EQ(clearing.clearAll(), -2);
    EXPECT_EQ(clearing.clearAll(), -1); // read as a 16-bit result
    EXPECT_EQ(library.calls.size(), 4);
    EXPECT_EQ(dialogs.messages(),
              (QStringList{QStringLiteral("Erro de Comunica\u00e7\u00f5es"),
                           QStringLiteral("Por favor pouse o terminal no suporte"),
                           QStringLiteral("Erro de Comunica\u00e7\u00f5es")}));
    EXPECT_EQ(dialogs.shown.size(), 3); // no question before clearing
    // Each clearing is in the journal with its result, newest first.
    QStringList results;
    for (const JournalEvent& event : core.journal.events()) {
        EXPECT_EQ(event.kind, QStringLiteral("clear-all"));
        results.append(event.result);
    }
    EXPECT_EQ(results,
              (QStringList{QStringLiteral("communication error"), QStringLiteral("no terminal"),
                           QStringLiteral("communication error"), QStringLiteral("ok")}));
}
