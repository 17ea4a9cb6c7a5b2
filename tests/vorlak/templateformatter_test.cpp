#include "template/templateformatter.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>

using namespace std::string_literals;
using vorlak::formatRecord;
using vorlak::Record;

namespace {

const Record kEntry = {
    {"Code", "5601"},
    {"Qty", "3"},
    {"Artigos", "Parafuso sextavado M6x40"},
    {"Qt", "12"},
    {"Desc", "Caf\xE9"},
    {"Pre\xE7o", "1,25"},
    {"Empty", ""},
    {"Note", "[Qty]{ENTER}"},
};

struct FormatCase
{
    const char* name;
    std::string templ;
    std::string expected;
    Record record = kEntry;
};

// Readable failure output instead of a byte dump of the whole case.
void PrintTo(const FormatCase& c, std::ostream* os)
{
    *os << c.name;
}

class FormatRecord : public ::testing::TestWithParam<FormatCase>
{
};

std::string caseName(const ::testing::TestParamInfo<FormatCase>& param)
{
    return param.param.name;
}

TEST_P(FormatRecord, LaysOutTheRecord)
{
    EXPECT_EQ(formatRecord(GetParam().templ, GetParam().record), GetParam().expected);
}

const FormatCase kLayout[] = {
    {"ColumnsPadded", "[Code][XXXXXXXX][Qty][XXXX]", "5601    3   "},
    {"SampleBodyTemplate", "[Artigos][XXXXXXXXXXXXXXXXXX][Qt][XXXXXX]\r\n",
     "Parafuso sextavado12    \r\n"},
    {"LongValueCut", "[Artigos][XXXXXXXX]|", "Parafuso|"},
    {"ValueExactlyAsWide", "[Code][XXXX]|", "5601|"},
    {"WidthOfOne", "[Code][X]|", "5|"},
    {"LowercaseWidth", "[Code][xxxxxx]|", "5601  |"},
    {"BlanksAroundWidth", "[Code][ XX ]|", "56|"},
    {"WideColumn", "[Qty]["s + std::string(300, 'X') + "]|", "3" + std::string(299, ' ') + "|"},
    {"CutCountsBytes", "[Desc][XXX]|[Desc][XXXX]|", "Caf|Caf\xE9|"},
    {"UnknownFieldWithWidthIsBlank", "[Nope][XXX]|", "   |"},
    {"EmptyValueWithWidthIsBlank", "[Empty][XX]|", "  |"},
    {"WholeValueWithoutWidth", "<[Artigos]>", "<Parafuso sextavado M6x40>"},
    {"UnknownFieldInsertsNothing", "a[Nope]b", "ab"},
    {"TextAroundFields", "Code=[Code];Qty=[Qty]", "Code=5601;Qty=3"},
    {"NothingAppended", "[Code]", "5601"},
    {"EmptyTemplate", "", ""},
    {"EmptyRecord", "[Code][XXXXXX]|[Qty]|", "      ||", Record{}},
};
INSTANTIATE_TEST_SUITE_P(Layout, FormatRecord, ::testing::ValuesIn(kLayout), caseName);

const FormatCase kPassThrough[] = {
    {"NamedKeys", "[Code]{TAB}[Qty]{ENTER}\r\n", "5601{TAB}3{ENTER}\r\n"},
    {"Modifiers", "^c+[Code]%{F12}", "^c+5601%{F12}"},
    {"ValuesNotReparsed", "[Note]", "[Qty]{ENTER}"},
    {"NulByte", "a\0[Qty]\0b"s,
     "a\0"
     "3\0b"s},
};
INSTANTIATE_TEST_SUITE_P(PassThrough, FormatRecord, ::testing::ValuesIn(kPassThrough), caseName);

const FormatCase kNames[] = {
    {"CaseIgnored", "[code]/[QTY]", "5601/3"},
    {"AccentedCaseIgnored", "[PRE\xC7O]", "1,25"},
    {"BlanksAroundNameIgnored", "[ Code\t]", "5601"},
    {"BlanksInsideNameCount", "[Co de]|", "|"},
    {"BlanksAroundFieldNameIgnored", "[Code]", "7", Record{{" code ", "7"}}},
    {"FirstOfDuplicatesWins", "[Code]", "1", Record{{"Code", "1"}, {"CODE", "2"}}},
    {"FieldNamedX", "[X]|[Code][X]", "7|5", Record{{"Code", "5601"}, {"X", "7"}}},
};
INSTANTIATE_TEST_SUITE_P(Names, FormatRecord, ::testing::ValuesIn(kNames), caseName);

const FormatCase kMalformed[] = {
    {"UnclosedBracket", "a[Code]b[Qty", "a5601b[Qty"},
    {"UnclosedWidth", "[Code][XXXX", "5601[XXXX"},
    {"EmptyGroup", "[][ ]", "[][ ]"},
    {"OpenBracketInsideGroup", "[Co[Code]", "[Co5601"},
    {"BracketsAroundField", "[[Code]]", "[5601]"},
    {"StrayCloseBracket", "a]b", "a]b"},
    {"LineBreakInsideGroup", "[Co\r\nde]", "[Co\r\nde]"},
    {"XGroupAlone", "<[XXXX]>", "<>"},
    {"XGroupAfterText", "[Code] [XXXX]", "5601 "},
    {"XGroupAfterWidth", "[Code][XX][XXX]|", "56|"},
    {"XGroupAfterEmptyGroup", "[][XXXX]", "[]"},
    {"NotOnlyX", "[Code][XXYX]|", "5601|"},
};
INSTANTIATE_TEST_SUITE_P(Malformed, FormatRecord, ::testing::ValuesIn(kMalformed), caseName);

} // namespace
