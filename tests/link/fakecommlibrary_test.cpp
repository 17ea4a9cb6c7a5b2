// The scripted fake that the feature tests drive; these pin down the behaviour they rely on.
#include "fakecommlibrary.h"

#include <gtest/gtest.h>

TEST(FakeCommLibrary, ReadingIsScriptedThenEndsWithNothingMore)
{
    FakeCommLibrary library;
    library.identity = "T7";
    library.scriptText(QStringLiteral("I_ReadHeader"), "Doc 0001");
    library.script(QStringLiteral("I_ReadHeader"), {-2});

    QByteArray terminalId(8, ' ');
    std::int32_t token = 0;
    ASSERT_EQ(library.I_ReadHeader(terminalId, "[Doc]", -1, token), 8);
    EXPECT_EQ(library.GetStringFromPtr(token, 8), QByteArray("Doc 0001"));
    EXPECT_EQ(terminalId, QByteArray("T7      "));
    EXPECT_EQ(library.I_ReadHeader(terminalId, "[Doc]", -2, token), -2);
    // Script run dry: the default ends a reading loop instead of spinning on 0.
    EXPECT_EQ(library.I_ReadHeader(terminalId, "[Doc]", -3, token), -3);
    EXPECT_EQ(library.I_ReadEntries(terminalId, "[Code]", -1, token), -3);

    EXPECT_EQ(
        library.calls,
        QStringList({QStringLiteral("I_ReadHeader -1"), QStringLiteral("GetStringFromPtr 1 8"),
                     QStringLiteral("I_ReadHeader -2"), QStringLiteral("I_ReadHeader -3"),
                     QStringLiteral("I_ReadEntries -1")}));
    EXPECT_EQ(library.readTemplates.size(), 4);
}

TEST(FakeCommLibrary, DefaultsAndRawBytes)
{
    FakeCommLibrary library;
    library.setDefault(QStringLiteral("I_CheckTerminal"), 1);
    library.script(QStringLiteral("I_CheckTerminal"), {0});
    QByteArray terminalId(8, ' ');
    EXPECT_EQ(library.I_CheckTerminal(terminalId), 0);
    EXPECT_EQ(library.I_CheckTerminal(terminalId), 1);
    EXPECT_EQ(library.I_CheckTerminal(terminalId), 1);
    EXPECT_EQ(terminalId, QByteArray(8, ' ')) << "no identity set: TerminalId is left alone";

    QByteArray templ;
    EXPECT_EQ(library.I_ReadEntriesConfig(terminalId, templ), 0);
    library.entriesTemplate = "[Code]";
    EXPECT_EQ(library.I_ReadEntriesConfig(terminalId, templ), 1);
    EXPECT_EQ(templ, QByteArray("[Code]").leftJustified(255, ' '));

    library.incoming = "RING\r\nCONNECT";
    EXPECT_EQ(library.IO_NumCharsInQue(2), 13);
    EXPECT_EQ(library.IO_Read(2, 6, 0), QByteArray("RING\r\n"));
    EXPECT_EQ(library.IO_NumCharsInQue(2), 7);
    library.IO_Write(2, "AT S0=0\r");
    EXPECT_EQ(library.written, QByteArray("AT S0=0\r"));
    EXPECT_EQ(library.calls.last(), QStringLiteral("IO_Write 2 8"));
}
