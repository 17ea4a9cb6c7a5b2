#include "i18n/uitext.h"
#include "qtprinters.h"

#include <gtest/gtest.h>

TEST(UiText, IsEmptyUntilFilledAndThenHoldsExactlyTheThreeLanguagesOfRows0To46)
{
    UiText table;
    EXPECT_TRUE(table.cell(0, 0).isEmpty());
    table.fill();
    int filled = 0;
    for (int row = 0; row < UiText::kRowCount; ++row) {
        for (int language = 0; language < UiText::kLanguageCount; ++language) {
            const bool shouldHoldText = row <= 46 && language <= 2;
            EXPECT_EQ(!table.cell(row, language).isEmpty(), shouldHoldText)
                << row << "/" << language;
            filled += table.cell(row, language).isEmpty() ? 0 : 1;
        }
    }
    EXPECT_EQ(filled, 141);
}

TEST(UiText, KeepsTheTextsAsTheyAreWrittenSpacesAndMisspellingsIncluded)
{
    UiText table;
    table.fill();
    struct Case
    {
        int row;
        int language;
        const char16_t* text;
    };
    const Case cases[] = {
        {0, 0, u"File"},
        {0, 2, u"Fichero"},
        {5, 1, u"Configura\u00e7\u00f5es"},
        {12, 0, u" Qel Data Collection Software 1.1"},
        {12, 2, u" Qel - Programa de Recogida de Datos 1.1"},
        {14, 2, u"Autom\u00e1tico"},
        {17, 0, u"When the terminal is on the craddle data should be read immediately"},
        {24, 2, u"Formato de los datos(l\u00edneas)"},
        {28, 0, u"Please place the terminal on the craddle"},
        {35, 0, u"After read run external program "},
        {35, 2, u"Despu\u00e9s de leer ejecutar el programa "},
        {44, 2, u"El enviar..."},
        {46, 0, u"Witch list to clear?"},
        {46, 1, u"Witch list to clear?"},
        {46, 2, u"Apagar que lista?"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(table.cell(c.row, c.language), QString::fromUtf16(c.text)) << c.row;
    }
    for (int language = 0; language < 3; ++language) {
        EXPECT_EQ(table.cell(15, language), QStringLiteral("Manual"));
    }
    EXPECT_EQ(table.cell(4, 1), table.cell(4, 2));
    EXPECT_EQ(table.cell(16, 1), table.cell(16, 2));
}
