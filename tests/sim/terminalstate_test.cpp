#include "cp1252.h"
#include "terminalstate.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>
#include <tempdir.h>

using qelsim::TerminalFileError;
using qelsim::TerminalState;
using ::testing::HasSubstr;
using ::testing::StartsWith;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const fs::path& file, std::string_view bytes)
{
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string loadError(std::string_view json)
{
    try {
        (void)TerminalState::fromJson(json, "t.json");
    } catch (const TerminalFileError& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(TerminalFile, KeepsFieldOrderAndHoldsTextInWindows1252)
{
    const auto state = TerminalState::fromJson(R"({
        "id": "T1", "body_template": "[Code][XXXX]", "header_template": "[Doc]",
        "documents": [
          {"header": {"Doc": "0001", "Aisle": "7"},
           "entries": [{"Qty": "3", "Code": "5601", "Name": "Café €5 日本"}, {"Qty": 12}]},
          {"header": {"Doc": "0002"}}
        ]})",
                                               "t.json");
    EXPECT_EQ(state.id(), "T1");
    EXPECT_EQ(state.bodyTemplate(), "[Code][XXXX]");
    EXPECT_EQ(state.headerTemplate(), "[Doc]");
    ASSERT_EQ(state.documents().size(), 2U);
    const auto& first = state.documents()[0];
    ASSERT_EQ(first.header.size(), 2U);
    EXPECT_EQ(first.header[1].name, "Aisle");
    ASSERT_EQ(first.entries.size(), 2U);
    const auto& entry = first.entries[0];
    ASSERT_EQ(entry.size(), 3U);
    EXPECT_EQ(entry[0].name, "Qty"); // as written, not sorted
    EXPECT_EQ(entry[1].name, "Code");
    EXPECT_EQ(entry[2].value, "Caf\xE9 \x80"
                              "5 ??");
    EXPECT_EQ(first.entries[1][0].value, "12"); // a number is taken as written
    EXPECT_TRUE(state.documents()[1].entries.empty());
}

TEST(TerminalFile, MissingKeysMeanEmpty)
{
    for (const char* json : {"{}", R"({"documents": null})", R"({"documents": [{}]})",
                             R"({"id": null, "documents": [{"header": null, "entries": null}]})"}) {
        SCOPED_TRACE(json);
        const auto state = TerminalState::fromJson(json, "t.json");
        EXPECT_EQ(state.id(), "");
        EXPECT_EQ(state.bodyTemplate(), "");
        EXPECT_EQ(state.headerTemplate(), "");
        for (const auto& doc : state.documents()) {
            EXPECT_TRUE(doc.header.empty());
            EXPECT_TRUE(doc.entries.empty());
        }
    }
}

TEST(TerminalFile, ErrorsNameTheFileLineAndColumn)
{
    struct Case
    {
        const char* json;
        const char* start;
        const char* says;
    };
    const Case cases[] = {
        {"{\n  \"id\": \"T1\",\n  \"documents\": [ x ]\n}", "t.json:3:18: malformed JSON",
         "invalid literal"},
        {"{\"id\": \"T1\"", "t.json:1:12: malformed JSON", "unexpected end of input"},
        {"", "t.json:1:1: malformed JSON", "unexpected end of input"},
        {"{\"id\": \"T1\"} x", "t.json:1:14: malformed JSON", "expected end of input"},
        {"{\"id\": \"a\xFF\"}", "t.json:1:10: malformed JSON", "UTF-8"},
        {"[1]", "t.json:1:1: top level", "found an array"},
        {"{\"id\": [\"T1\"]}", "t.json:1:8: id", "expected text, found an array"},
        {"{\"documents\": {}}", "t.json:1:15: documents", "expected an array of documents"},
        {"{\"documents\": [{}, 5]}", "t.json:1:20: documents[1]", "expected a document"},
        {"{\"documents\": [\n {\"entries\": [{\"A\": \"1\"},\n   {\"B\": true}]}]}",
         "t.json:3:10: documents[0].entries[1].B", "expected text, found true or false"},
        {"{\"documents\": [{\"header\": \"0001\"}]}", "t.json:1:27: documents[0].header",
         "expected an object of fields"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        const std::string error = loadError(c.json);
        EXPECT_THAT(error, StartsWith(c.start));
        EXPECT_THAT(error, HasSubstr(c.says));
    }
}

TEST(TerminalFile, ShippedExampleLoads)
{
    const auto state = TerminalState::fromFile(fs::path(QELSIM_EXAMPLES_DIR) / "shop.json");
    EXPECT_FALSE(state.id().empty());
    EXPECT_FALSE(state.bodyTemplate().empty());
    EXPECT_FALSE(state.headerTemplate().empty());
    EXPECT_EQ(state.documents().size(), 3U);
    bool accented = false;
    for (const auto& doc : state.documents()) {
        EXPECT_FALSE(doc.entries.empty());
        for (const auto& entry : doc.entries) {
            for (const auto& field : entry) {
                accented = accented || field.value.find('\xE9') != std::string::npos;
            }
        }
    }
    EXPECT_TRUE(accented) << "the example shows a Windows-1252 character";
}

TEST(Cp1252, EveryByteSurvivesTheTripThroughUtf8)
{
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    EXPECT_EQ(qelsim::utf8ToCp1252(qelsim::cp1252ToUtf8(all)), all);
    EXPECT_EQ(qelsim::cp1252ToUtf8("\x80\x9F\xFF"), "€Ÿÿ");
    EXPECT_EQ(qelsim::utf8ToCp1252("€ ‘x’ ő 😀"), "\x80 \x91x\x92 ? ?");
}

class StateFolder : public TempDirTest
{
protected:
    fs::path dir() const { return fs::path(path().toStdString()) / "state"; }
    static TerminalState twoDocuments()
    {
        return TerminalState::fromJson(
            R"({"id": "T1", "documents": [{"header": {"Doc": "Café"}, "entries": [{"C": "1"}]},
                                          {"header": {"Doc": "2"}}]})",
            "t.json");
    }
};

TEST_F(StateFolder, HoldsTheTerminalAsLoadedAndAfterClearing)
{
    auto state = twoDocuments();
    state.attachStateDir(dir());
    const auto saved = TerminalState::fromFile(dir() / "terminal.json");
    EXPECT_EQ(saved.id(), "T1");
    ASSERT_EQ(saved.documents().size(), 2U);
    EXPECT_EQ(saved.documents()[0].header[0].value, "Caf\xE9");
    EXPECT_EQ(saved.documents()[0].entries.size(), 1U);

    state.clearAll();
    EXPECT_TRUE(state.documents().empty());
    const auto cleared = TerminalState::fromFile(dir() / "terminal.json");
    EXPECT_EQ(cleared.id(), "T1");
    EXPECT_TRUE(cleared.documents().empty());
}

TEST_F(StateFolder, ListsAreKeptByteForByteAndClearedForGood)
{
    auto state = twoDocuments();
    state.attachStateDir(dir());
    const std::string data("5601;Caf\xE9\r\n\0\xFF;end", 17);
    state.storeList(3, data, "Prices");
    state.storeList(0, "", "");
    EXPECT_EQ(readFile(dir() / "lists/3.bin"), data);
    EXPECT_EQ(readFile(dir() / "lists/3.var"), "Prices");
    EXPECT_TRUE(fs::exists(dir() / "lists/0.bin"));
    EXPECT_EQ(fs::file_size(dir() / "lists/0.bin"), 0U);

    state.storeList(3, "new", "V2");
    EXPECT_EQ(readFile(dir() / "lists/3.bin"), "new");
    EXPECT_EQ(state.lists().at(3).userVariable, "V2");

    state.clearList(3);
    state.clearList(42); // never sent: nothing to do, no complaint
    EXPECT_FALSE(fs::exists(dir() / "lists/3.bin"));
    EXPECT_FALSE(fs::exists(dir() / "lists/3.var"));
    EXPECT_TRUE(fs::exists(dir() / "lists/0.bin"));
    EXPECT_EQ(state.lists().count(3), 0U);
    // Clearing lists leaves the documents alone.
    EXPECT_EQ(TerminalState::fromFile(dir() / "terminal.json").documents().size(), 2U);
}

TEST_F(StateFolder, EventsAreOneLineEachAndReadableAtOnce)
{
    auto state = twoDocuments();
    state.logEvent("before attaching"); // no folder yet: not kept
    state.attachStateDir(dir());
    state.logEvent("I_CheckTerminal");
    state.logEvent("I_ReadHeader -1");
    EXPECT_EQ(readFile(dir() / "events.log"), "I_CheckTerminal\nI_ReadHeader -1\n");
    state.logEvent("two\nlines");
    EXPECT_EQ(readFile(dir() / "events.log"), "I_CheckTerminal\nI_ReadHeader -1\ntwo lines\n");
}

TEST_F(StateFolder, AnEarlierRunsStateGivesWayToTheTerminalFile)
{
    fs::create_directories(dir() / "lists");
    writeFile(dir() / "events.log", "I_ClearAllEntries\n");
    writeFile(dir() / "lists/7.bin", "old");
    writeFile(dir() / "lists/7.var", "old");
    writeFile(dir() / "terminal.json", R"({"id": "OLD"})");
    writeFile(dir() / "notes.txt", "the user's own file");

    auto state = twoDocuments();
    state.attachStateDir(dir());
    EXPECT_EQ(readFile(dir() / "events.log"), "");
    EXPECT_FALSE(fs::exists(dir() / "lists/7.bin"));
    EXPECT_FALSE(fs::exists(dir() / "lists/7.var"));
    EXPECT_EQ(TerminalState::fromFile(dir() / "terminal.json").documents().size(), 2U);
    EXPECT_EQ(readFile(dir() / "notes.txt"), "the user's own file");
}

TEST_F(StateFolder, UnusableFolderIsReportedWithItsPath)
{
    writeFile(dir(), "a file where the folder should be");
    auto state = twoDocuments();
    try {
        state.attachStateDir(dir());
        FAIL() << "attached to a file";
    } catch (const qelsim::StateDirError& e) {
        EXPECT_THAT(e.what(), HasSubstr(dir().string()));
    }
}
