#include "acquisition/terminalfilename.h"
#include "qtprinters.h"

#include <gtest/gtest.h>

TEST(TerminalFileName, TheIdentityReplacesTheFileNameAfterTheLastSeparator)
{
    struct Case
    {
        const char* name;
        const char* id;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\data\\Demo.txt", "T1      ", "C:\\data\\T1      .txt"},
        {"/home/u/out/Demo.txt", "T1      ", "/home/u/out/T1      .txt"},
        {"C:\\a\\b/c.txt", "SHOP 42 ", "C:\\a\\b/SHOP 42 .txt"},
        {"Demo.txt", "T1      ", "Demo.txt"},
        {"", "T1      ", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fileNameForTerminal(QString::fromLatin1(c.name), QString::fromLatin1(c.id)),
                  QString::fromLatin1(c.expected))
            << c.name;
    }
}

TEST(TerminalFileName, IdentitiesCannotLeadOutOfTheFolder)
{
    struct Case
    {
        QString id;
        QString expected;
    };
    const Case cases[] = {
        {QStringLiteral("../../x"), QStringLiteral("/out/______x.txt")},
        {QStringLiteral("a/b\\c   "), QStringLiteral("/out/a_b_c   .txt")},
        {QStringLiteral("..      "), QStringLiteral("/out/__      .txt")},
        {QString::fromLatin1("T\0\n1    ", 8), QStringLiteral("/out/T__1    .txt")},
        {QStringLiteral("v1.2    "), QStringLiteral("/out/v1.2    .txt")},
        // No hidden file and no name of the folder itself.
        {QStringLiteral("."), QStringLiteral("/out/_.txt")},
        {QStringLiteral(".       "), QStringLiteral("/out/_       .txt")},
        {QStringLiteral(".hidden "), QStringLiteral("/out/_hidden .txt")},
        {QStringLiteral("..."), QStringLiteral("/out/__..txt")},
        // C1 control characters are control characters too; the printable ones after them stay.
        {QStringLiteral("T\u0080\u0085\u009f1   "), QStringLiteral("/out/T___1   .txt")},
        {QStringLiteral("\u20ac\u00a0\u00e71     "),
         QStringLiteral("/out/\u20ac\u00a0\u00e71     .txt")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fileNameForTerminal(QStringLiteral("/out/Demo.txt"), c.id), c.expected)
            << c.id.toStdString();
    }
}
