// The PC's side of the protocol against a terminal scripted by the test, for what qel-sim does
// not do on purpose: stale replies, damage on demand, silence after some requests.
#include "library/terminalclient.h"
#include "protocol/bytes.h"
#include "protocol/frame.h"
#include "protocol/messages.h"
#include "pty.h"
#include "transport/serialport.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <thread>

using namespace vorlak;
using namespace vorlak::protocol;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

/// Serves the master side of a pseudo-terminal on a thread: every request frame found is handed
/// to the script, and what the script returns is sent back.
class ScriptedTerminal
{
public:
    using Script = std::function<std::string(const Frame& frame, const Request& request)>;

    explicit ScriptedTerminal(Script script)
        : m_script(std::move(script))
        , m_thread([this] { serve(); })
    {
    }
    ~ScriptedTerminal()
    {
        m_stop = true;
        m_thread.join();
    }

    [[nodiscard]] const std::string& slavePath() const { return m_pty.slavePath(); }
    [[nodiscard]] std::vector<Request> requests()
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    /// The requests once at least `count` have been taken in: the client may have given up on a
    /// request before this thread, run late on a loaded machine, has read it.
    [[nodiscard]] std::vector<Request> requestsOnceThereAre(std::size_t count)
    {
        const auto deadline = Clock::now() + 20s;
        while (requests().size() < count && Clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
        }
        return requests();
    }

private:
    void serve()
    {
        FrameDecoder decoder;
        std::array<char, 4096> buffer{};
        while (!m_stop) {
            pollfd pfd{m_pty.master(), POLLIN, 0};
            if (poll(&pfd, 1, 10) <= 0) {
                continue;
            }
            const ssize_t n = read(m_pty.master(), buffer.data(), buffer.size());
            if (n <= 0) {
                std::this_thread::sleep_for(1ms); // no slave side open yet
                continue;
            }
            decoder.push(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
            while (auto frame = decoder.next()) {
                const auto request = decodeRequest(*frame);
                if (!request) {
                    continue;
                }
                {
                    std::lock_guard lock(m_mutex);
                    m_requests.push_back(*request);
                }
                const std::string reply = m_script(*frame, *request);
                static_cast<void>(write(m_pty.master(), reply.data(), reply.size()));
            }
        }
    }

    TestPty m_pty;
    Script m_script;
    std::mutex m_mutex;
    std::vector<Request> m_requests;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

std::string reply(const Frame& frame, Reply answer)
{
    answer.type = static_cast<MessageType>(frame.type & 0x7F);
    return encodeFrame(replyFrame(frame.sequence, answer));
}

// The page a well-behaved terminal serves from `stream`.
std::string page(const Frame& frame, const Request& request, const std::string& stream)
{
    return reply(frame, Reply{.terminalId = "T1",
                              .total = static_cast<std::uint32_t>(stream.size()),
                              .offset = request.offset,
                              .data = stream.substr(request.offset, request.maxBytes)});
}

// A terminal that reads only page by page: it answers a streamed read "unsupported".
ScriptedTerminal::Script pagingOnly(ScriptedTerminal::Script script)
{
    return [script = std::move(script)](const Frame& frame, const Request& request) {
        if (request.type == MessageType::ReadChunks) {
            ByteWriter payload;
            payload.u8(static_cast<std::uint8_t>(Status::Unsupported));
            payload.text("T1");
            return encodeFrame(Frame{frame.sequence, replyType(MessageType::ReadChunks),
                                     std::move(payload).result()});
        }
        return script(frame, request);
    };
}

// What a terminal streams for a ReadChunks request on `stream`: its reply, then the chunks;
// `change` may drop (return false) or alter each chunk frame on its way.
std::string streamed(const Frame& frame, const Request& request, const std::string& stream,
                     const std::function<bool(std::size_t, std::string&)>& change,
                     std::uint32_t total)
{
    std::string out = reply(frame, Reply{.terminalId = "T1", .total = total});
    const auto chunks = chunksOf(request.ranges, request.chunkSize);
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        if (chunks[i].offset >= stream.size()) {
            continue;
        }
        std::string bytes = encodeFrame(
            chunkFrame(frame.sequence, Chunk{static_cast<std::uint32_t>(i),
                                             stream.substr(chunks[i].offset, chunks[i].length)}));
        if (change(i, bytes)) {
            out += bytes;
        }
    }
    return out;
}

class TerminalClientTest : public ::testing::Test
{
protected:
    void connect(ScriptedTerminal& terminal)
    {
        OpenError error;
        m_port = SerialPort::open(terminal.slavePath(), 9600, error);
        ASSERT_TRUE(m_port) << error.message;
        m_client = std::make_unique<TerminalClient>(*m_port);
    }

    std::unique_ptr<SerialPort> m_port;
    std::unique_ptr<TerminalClient> m_client;
};

} // namespace

TEST_F(TerminalClientTest, TakesOnlyTheReplyCarryingItsRequestsSequenceNumber)
{
    ScriptedTerminal terminal([](const Frame& frame, const Request&) {
        Frame stale = frame;
        --stale.sequence;
        return reply(stale, {.terminalId = "STALE"}) + "\xFF" + reply(frame, {.terminalId = "T1"});
    });
    connect(terminal);
    const auto result = m_client->check();
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.terminalId, "T1");
}

TEST_F(TerminalClientTest, ResendsTheSameRequestAfterADamagedReply)
{
    std::atomic<int> served{0};
    ScriptedTerminal terminal([&served](const Frame& frame, const Request&) {
        std::string bytes = reply(frame, {.terminalId = "T1"});
        if (served++ == 0) {
            bytes[bytes.size() - 3] ^= 0x40;
        }
        return bytes;
    });
    connect(terminal);
    EXPECT_TRUE(m_client->command(MessageType::Kill).ok());
    const auto requests = terminal.requests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[0], requests[1]);
}

TEST_F(TerminalClientTest, SilenceIsNoTerminalAndGarbageIsACommunicationError)
{
    {
        ScriptedTerminal silent([](const Frame&, const Request&) { return std::string(); });
        connect(silent);
        // A check fits the polling cycle's 200 ms. A loaded machine only makes a check slower:
        // the quickest of a few shows what the client spends.
        std::size_t checks = 0;
        auto quickest = Clock::duration::max();
        for (; checks < 5 && quickest >= 200ms; ++checks) {
            const auto start = Clock::now();
            EXPECT_EQ(m_client->check().link, LinkResult::NoTerminal);
            quickest = std::min(quickest, Clock::now() - start);
        }
        EXPECT_LT(quickest, 200ms);
        // Two silent attempts are enough to give up on any request.
        EXPECT_EQ(m_client->command(MessageType::ClearAll).link, LinkResult::NoTerminal);
        const std::size_t sent = 2 * checks + 2;
        EXPECT_EQ(silent.requestsOnceThereAre(sent).size(), sent);
    }
    {
        ScriptedTerminal noisy(
            [](const Frame&, const Request&) { return std::string("\x02\x05garbage\xFF", 11); });
        connect(noisy);
        EXPECT_EQ(m_client->command(MessageType::ClearAll).link, LinkResult::CommError);
        const auto attempts = static_cast<std::size_t>(TerminalClient::kDataPolicy.attempts);
        EXPECT_EQ(noisy.requestsOnceThereAre(attempts).size(), attempts);
    }
}

TEST_F(TerminalClientTest, PagesFitTogetherWhenPagesAreLostAndShrinkOnRetry)
{
    std::string stream(12000, '\0');
    for (std::size_t i = 0; i < stream.size(); ++i) {
        stream[i] = static_cast<char>(i * 7 + i / 251);
    }
    std::atomic<int> served{0};
    ScriptedTerminal terminal(pagingOnly([&](const Frame& frame, const Request& request) {
        // Two replies are lost, one arrives damaged.
        const int n = served++;
        if (n == 2 || n == 5) {
            return std::string();
        }
        std::string bytes = page(frame, request, stream);
        if (n == 3) {
            bytes[10] ^= 1;
        }
        return bytes;
    }));
    connect(terminal);
    std::string received;
    const auto result = m_client->read(Scope::AllEntries, 0, received);
    ASSERT_TRUE(result.ok()) << static_cast<int>(result.link) << " after "
                             << terminal.requests().size() << " requests";
    EXPECT_EQ(received, stream);

    // After the streamed read was refused, every retry asks for the same offset with a quarter
    // of the page; success doubles it.
    const auto requests = terminal.requests();
    ASSERT_GE(requests.size(), 2U);
    EXPECT_EQ(requests[0].type, MessageType::ReadChunks);
    for (std::size_t i = 2; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].type, MessageType::Read);
        const Request& before = requests[i - 1];
        const Request& now = requests[i];
        if (now.offset == before.offset) {
            EXPECT_EQ(now.maxBytes, std::max<std::size_t>(before.maxBytes / 4, 16U));
        } else {
            EXPECT_EQ(now.offset, before.offset + before.maxBytes);
        }
    }
}

TEST_F(TerminalClientTest, APageAtAnotherOffsetIsACommunicationError)
{
    const std::string stream(5000, 'x');
    ScriptedTerminal terminal(pagingOnly([&](const Frame& frame, Request request) {
        request.offset += request.offset > 0 ? 1 : 0;
        return page(frame, request, stream);
    }));
    connect(terminal);
    std::string received;
    EXPECT_EQ(m_client->read(Scope::AllEntries, 0, received).link, LinkResult::CommError);
}

TEST_F(TerminalClientTest, AStreamedReadAsksAgainOnlyForWhatWasLostAndIgnoresStaleFrames)
{
    std::string stream(9000, '\0');
    for (std::size_t i = 0; i < stream.size(); ++i) {
        stream[i] = static_cast<char>(i * 11 + i / 253);
    }
    std::atomic<int> served{0};
    ScriptedTerminal terminal([&](const Frame& frame, const Request& request) {
        const bool first = served++ == 0;
        // Before the answer: a frame of an older request with the wrong bytes at chunk 0.
        Frame stale = frame;
        --stale.sequence;
        std::string out = encodeFrame(chunkFrame(stale.sequence, Chunk{0, "stale"}));
        // The first answer loses every third chunk and damages chunk 1; later ones are whole.
        out += streamed(
            frame, request, stream,
            [first](std::size_t index, std::string& bytes) {
                if (first && index == 1) {
                    bytes[bytes.size() / 2] ^= 0x10;
                }
                return !first || index % 3 != 2;
            },
            static_cast<std::uint32_t>(stream.size()));
        return out;
    });
    connect(terminal);
    std::string received;
    const auto result = m_client->read(Scope::AllEntries, 0, received);
    ASSERT_TRUE(result.ok()) << static_cast<int>(result.link);
    EXPECT_EQ(received, stream);

    const auto requests = terminal.requests();
    ASSERT_GE(requests.size(), 2U);
    // The second request asks for exactly what the first lost, in smaller chunks.
    const auto first = chunksOf(requests[0].ranges, requests[0].chunkSize);
    std::vector<ByteRange> lost;
    for (std::size_t i = 0; i < first.size() && first[i].offset < stream.size(); ++i) {
        if (i == 1 || i % 3 == 2) {
            lost.push_back(first[i]);
        }
    }
    std::vector<ByteRange> askedAgain;
    for (const ByteRange& range : requests[1].ranges) {
        if (range.offset < first.back().offset + first.back().length) {
            askedAgain.push_back(range);
        }
    }
    const auto bytesOf = [](const std::vector<ByteRange>& ranges) {
        std::size_t bytes = 0;
        for (const ByteRange& range : ranges) {
            bytes += range.length;
        }
        return bytes;
    };
    ASSERT_FALSE(askedAgain.empty());
    EXPECT_EQ(askedAgain.front().offset, lost.front().offset);
    EXPECT_EQ(bytesOf(askedAgain), bytesOf(lost));
    EXPECT_LT(requests[1].chunkSize, requests[0].chunkSize);
    EXPECT_GT(m_client->lineErrors().byteErrorRate(), 1e-4);
}

TEST_F(TerminalClientTest, AStreamThatDoesNotFitTogetherIsACommunicationError)
{
    const std::string stream(3000, 's');
    struct Case
    {
        const char* what;
        std::function<bool(std::size_t, std::string&)> change;
        std::uint32_t total;
    };
    const auto keep = [](std::size_t, std::string&) { return true; };
    const std::vector<Case> cases = {
        {"a length that is not the stream's", keep, 2000},
        {"a short chunk before the end",
         [](std::size_t index, std::string& bytes) {
             if (index == 0) {
                 bytes = encodeFrame(Frame{static_cast<std::uint8_t>(bytes[3]), kChunkFrameType,
                                           std::string("\x00short", 6)});
             }
             return true;
         },
         3000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedTerminal terminal([&](const Frame& frame, const Request& request) {
            return streamed(frame, request, stream, c.change, c.total);
        });
        connect(terminal);
        std::string received;
        EXPECT_EQ(m_client->read(Scope::AllEntries, 0, received).link, LinkResult::CommError);
    }
}
