// Reading, templates, lists and clearing: libvorlak against qel-sim over a pseudo-terminal, with
// the terminal's state folder as the witness of what the terminal did.
#include "simfixture.h"

using namespace std::chrono_literals;

namespace {

TerminalFile shop()
{
    TerminalFile terminal;
    terminal.bodyTemplate = "[Code][XXXXXXXX][Qty][XXXX]";
    terminal.headerTemplate = "[Doc]";
    terminal.documents = {
        {{{"Doc", "0001"}}, {{{"Code", "5601"}, {"Qty", "3"}}, {{"Code", "Café"}, {"Qty", "12"}}}},
        {{{"Doc", "0002"}}, {}},
        {{{"Doc", "0003"}}, {{{"Code", "77"}, {"Qty", "1"}}}},
    };
    return terminal;
}

} // namespace

class Reading : public SimTest
{
};

TEST_F(Reading, DocumentByDocumentWithAHeaderTemplate)
{
    start(shop());
    const auto reading = read("Doc [Doc]", "[Code][XXXXXXXX][Qty][XXXX]\r\n");
    // The empty second document answers 0, so the third is still read; -3 comes after it.
    EXPECT_EQ(reading.results, (std::vector<std::int32_t>{8, 28, 8, 0, 8, 14, -3}));
    EXPECT_EQ(reading.text, "Doc 0001\n"
                            "5601    3   \r\nCaf\xE9    12  \r\n"
                            "Doc 0002\n"
                            "Doc 0003\n"
                            "77      1   \r\n");
    EXPECT_EQ(id(), "T1      ");
    EXPECT_EQ(events(),
              (std::vector<std::string>{"I_ReadHeader -1", "I_ReadEntries -1", "I_ReadHeader -2",
                                        "I_ReadEntries -2", "I_ReadHeader -3", "I_ReadEntries -3",
                                        "I_ReadHeader -4"}));
}

TEST_F(Reading, EveryEntryInOneCallWithoutAHeaderTemplate)
{
    start(shop());
    const auto reading = read(nullptr, kBody);
    EXPECT_EQ(reading.results, std::vector<std::int32_t>{23});
    EXPECT_EQ(reading.text, "5601/3\r\nCaf\xE9/12\r\n77/1\r\n");
    // That reading has nothing more to give.
    EXPECT_EQ(I_ReadEntries(m_id.data(), kBody, -2, &m_token), -3);
    EXPECT_EQ(events(), std::vector<std::string>{"I_ReadEntries -1"});
}

TEST_F(Reading, NoneOneAndManyDocuments)
{
    for (const int documents : {0, 1, 60}) {
        SCOPED_TRACE(documents);
        const TerminalFile terminal = TerminalFile::numbered(documents, 5);
        start(terminal);
        const auto withHeaders = read(kHeader, kBody);
        EXPECT_EQ(withHeaders.text, expectedText(terminal, true));
        EXPECT_EQ(withHeaders.results.size(), 2U * static_cast<std::size_t>(documents) + 1U);
        EXPECT_EQ(withHeaders.results.back(), -3);
        const auto flat = read(nullptr, kBody);
        EXPECT_EQ(flat.text, expectedText(terminal, false));
        EXPECT_EQ(flat.results.back(), documents == 0 ? 0 : static_cast<int>(flat.text.size()));
        TearDown();
    }
}

TEST_F(Reading, TheTextLastsUntilTheNextReadingCall)
{
    TerminalFile terminal = shop();
    terminal.id = "TERMINAL-0042";
    start(terminal);
    const std::int32_t n = I_ReadHeader(m_id.data(), kHeader, -1, &m_token);
    ASSERT_EQ(n, 8);
    const std::int32_t headerToken = m_token;
    EXPECT_EQ(id(), "TERMINAL"); // cut to 8 characters, and nothing past them
    EXPECT_EQ(m_id[8], '\0');
    // A shorter copy takes exactly that many bytes.
    std::string part(6, '#');
    GetStringFromPtr(part.data(), headerToken, 4);
    EXPECT_EQ(part, "Doc ##");
    // A longer request gives the text and leaves the rest of the buffer alone.
    std::string whole(12, '#');
    GetStringFromPtr(whole.data(), headerToken, 12);
    EXPECT_EQ(whole, "Doc 0001####");

    ASSERT_GT(I_ReadEntries(m_id.data(), kBody, -1, &m_token), 0);
    EXPECT_NE(m_token, headerToken);
    std::string stale(8, '#');
    GetStringFromPtr(stale.data(), headerToken, 8);
    EXPECT_EQ(stale, "########");
    // A call that fails ends the text just the same.
    const std::int32_t entriesToken = m_token;
    EXPECT_EQ(I_ReadHeader(m_id.data(), nullptr, -2, &m_token), -1);
    EXPECT_EQ(m_token, 0);
    GetStringFromPtr(stale.data(), entriesToken, 8);
    EXPECT_EQ(stale, "########");
}

TEST_F(Reading, TemplatesComeIntoThe255CharacterBuffer)
{
    TerminalFile terminal = shop();
    terminal.headerTemplate.clear();
    start(terminal);
    // 255 spaces and a guard beyond them that must stay as it is.
    const std::string prepared = std::string(255, ' ') + "GUARD";
    std::string buffer = prepared;
    EXPECT_EQ(I_ReadEntriesConfig(m_id.data(), buffer.data()), 27);
    EXPECT_EQ(buffer, "[Code][XXXXXXXX][Qty][XXXX]" + std::string(255 - 27, ' ') + "GUARD");
    buffer = prepared;
    EXPECT_EQ(I_ReadHeadersConfig(m_id.data(), buffer.data()), 0);
    EXPECT_EQ(buffer, prepared);
    TearDown();

    terminal.bodyTemplate = std::string(300, 'B');
    start(terminal);
    buffer = prepared;
    EXPECT_EQ(I_ReadEntriesConfig(m_id.data(), buffer.data()), 255);
    EXPECT_EQ(buffer, std::string(255, 'B') + "GUARD");
    EXPECT_EQ(events(), (std::vector<std::string>{"I_ReadEntriesConfig"}));
}

TEST_F(Reading, ClearingRemovesTheDataAndKillIsAcknowledged)
{
    start(shop());
    ASSERT_EQ(I_SendList(m_id.data(), "v", "abc", 3, 3), 1);
    EXPECT_EQ(I_ClearEntries(m_id.data(), 3), 1);
    EXPECT_FALSE(std::filesystem::exists(m_dir.path() / "state" / "lists" / "3.bin"));
    EXPECT_EQ(I_ClearEntries(m_id.data(), -1), -1);
    EXPECT_EQ(I_ClearAllEntries(m_id.data()), 1);
    EXPECT_EQ(read(kHeader, kBody).results, std::vector<std::int32_t>{-3});
    EXPECT_EQ(read(nullptr, kBody).results, std::vector<std::int32_t>{0});
    EXPECT_EQ(I_KillProgram(m_id.data()), 1);
    EXPECT_EQ(events(),
              (std::vector<std::string>{"I_SendList 3 3", "I_ClearEntries 3", "I_ClearAllEntries",
                                        "I_ReadHeader -1", "I_ReadEntries -1", "I_KillProgram"}));
}

TEST_F(Reading, ListsArriveByteForByte)
{
    std::string everyByte;
    for (int i = 0; i < 100000; ++i) {
        everyByte += static_cast<char>((i * 31 + i / 256) & 0xFF);
    }
    struct Case
    {
        std::int32_t position;
        std::string data;
        std::string userVariable;
    };
    const std::vector<Case> cases = {
        {5, std::string("A1\0\0Apple\0", 10), "Caf\xE9"},
        {0, "", ""},
        {12, everyByte, "big"},
    };
    start(shop());
    std::vector<std::string> expectedEvents;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        EXPECT_EQ(I_SendList(m_id.data(), c.userVariable.c_str(), c.data.data(),
                             static_cast<std::int32_t>(c.data.size()), c.position),
                  1);
        const std::string name = "lists/" + std::to_string(c.position);
        EXPECT_EQ(stateFile(name + ".bin"), c.data);
        EXPECT_EQ(stateFile(name + ".var"), c.userVariable);
        expectedEvents.push_back("I_SendList " + std::to_string(c.position) + " " +
                                 std::to_string(c.data.size()));
    }
    EXPECT_EQ(I_SendList(m_id.data(), "", "x", 1, -4), -1);
    EXPECT_EQ(events(), expectedEvents);
}
