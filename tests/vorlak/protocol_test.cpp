// The wire protocol's codec: CRC, frames (with a decoder that must survive a damaged line) and
// the record stream. Message payloads are exercised end to end (tests/e2e) and by the fuzzer.
#include "protocol/bytes.h"
#include "protocol/crc16.h"
#include "protocol/frame.h"
#include "protocol/messages.h"
#include "protocol/recordstream.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace vorlak::protocol;
using namespace std::string_literals;

namespace {

std::vector<Frame> decodeAll(FrameDecoder& decoder)
{
    std::vector<Frame> frames;
    while (auto frame = decoder.next()) {
        frames.push_back(std::move(*frame));
    }
    return frames;
}

std::vector<Frame> decodeAll(std::string_view bytes)
{
    FrameDecoder decoder;
    decoder.push(bytes);
    return decodeAll(decoder);
}

} // namespace

TEST(Crc16, MatchesTheCcittFalseCheckValues)
{
    struct Case
    {
        std::string data;
        std::uint16_t crc;
    };
    const std::vector<Case> cases = {
        {"", 0xFFFF},
        {"123456789", 0x29B1},
        {"A", 0xB915},
        {std::string(1, '\0'), 0xE1F0},
        {std::string(256, 'a'), 0x5FF0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data.substr(0, 12));
        EXPECT_EQ(crc16(c.data), c.crc);
        // Fed in two pieces, the running CRC gives the same result.
        const std::size_t half = c.data.size() / 2;
        EXPECT_EQ(crc16(std::string_view(c.data).substr(half), crc16(c.data.substr(0, half))),
                  c.crc);
    }
}

TEST(FrameCodec, EncodesTheDocumentedLayout)
{
    const std::string bytes = encodeFrame(Frame{0x17, 0x81, "AB"});
    const std::uint16_t crc = crc16("\x02\x00\x17\x81"
                                    "AB"s);
    EXPECT_EQ(bytes, "\x02\x02\x00\x17\x81"
                     "AB"s +
                         static_cast<char>(crc & 0xFF) + static_cast<char>(crc >> 8));
    EXPECT_EQ(encodeFrame(Frame{0, 1, ""}).size(), kHeaderSize + kTrailerSize);
    EXPECT_THROW(static_cast<void>(encodeFrame(Frame{0, 1, std::string(kMaxPayload + 1, 'x')})),
                 std::length_error);
}

TEST(FrameDecoder, FindsFramesHoweverTheBytesArePiecedAndWhateverSurroundsThem)
{
    const Frame first{1, 0x02, "payload with \x02 start bytes \x02 inside"s};
    const Frame second{2, 0x82, std::string(kMaxPayload, '\x02')};
    const Frame empty{3, 0x01, ""};
    const std::string frames = encodeFrame(first) + encodeFrame(second) + encodeFrame(empty);
    const std::vector<Frame> expected{first, second, empty};

    struct Case
    {
        const char* name;
        std::string bytes;
        std::size_t piece; // bytes pushed at a time
    };
    const std::vector<Case> cases = {
        {"whole", frames, frames.size()},
        {"byte by byte", frames, 1},
        {"in sevens", frames, 7},
        {"garbage around",
         "\xFF\x00noise"s + frames.substr(0, encodeFrame(first).size()) + "\xFF\xFF"s +
             frames.substr(encodeFrame(first).size()) + "tail",
         5},
        // A false start byte whose length would swallow the true frames behind it.
        {"false start", "\x02\x10\x00"s + frames, 3},
        // A false start announcing more than any frame may hold is dropped at once.
        {"oversized length", "\x02\xFF\xFF"s + frames, frames.size()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameDecoder decoder;
        std::vector<Frame> found;
        for (std::size_t at = 0; at < c.bytes.size(); at += c.piece) {
            decoder.push(std::string_view(c.bytes).substr(at, c.piece));
            for (Frame& frame : decodeAll(decoder)) {
                found.push_back(std::move(frame));
            }
        }
        EXPECT_EQ(found, expected);
    }
}

TEST(FrameDecoder, RejectsEveryDamagedFrameAndRecoversForTheNext)
{
    const std::string good = encodeFrame(Frame{9, 0x81, "identity"});
    // Change each byte in turn, or drop it: the damaged frame never decodes, the next one does.
    for (std::size_t at = 0; at < good.size(); ++at) {
        SCOPED_TRACE(at);
        std::string changed = good;
        changed[at] = static_cast<char>(changed[at] ^ 0x5A);
        std::string dropped = good;
        dropped.erase(at, 1);
        for (const std::string& damaged : {changed, dropped}) {
            // The idle fill after a reply ends a frame that lost a byte without waiting for
            // more. A damaged length may announce a longer frame: that one ends only when
            // enough bytes have followed (on the line: resends), and the true frame inside it
            // is found then.
            const bool lengthDamaged = at == 1 || at == 2;
            const std::string after = lengthDamaged ? std::string(kMaxFrameSize, '\xFF') : "";
            const auto frames = decodeAll(damaged + "\xFF\xFF" + good + after);
            ASSERT_EQ(frames.size(), 1U);
            EXPECT_EQ(frames[0], (Frame{9, 0x81, "identity"}));
        }
    }
    FrameDecoder decoder;
    decoder.push(good.substr(0, good.size() - 1) + "\x00"s);
    EXPECT_FALSE(decoder.next());
    EXPECT_EQ(decoder.rejectedFrames(), 1U);
}

TEST(FrameDecoder, AFalseStartGivesUpTheFramesItHeldBackWhenTheLineIsQuietOrItIsTooLong)
{
    const std::string good = encodeFrame(Frame{9, 0x8A, "chunk"});
    // A 0x02 in noise announcing 0x0300 bytes, followed by a whole frame and then nothing.
    const std::string falseStart = "\x02\x00\x03"s;
    FrameDecoder quiet;
    quiet.push(falseStart + good);
    EXPECT_FALSE(quiet.next());
    std::vector<Frame> found;
    while (quiet.pending() > 0) {
        quiet.dropIncomplete();
        for (auto& frame : decodeAll(quiet)) {
            found.push_back(std::move(frame));
        }
    }
    EXPECT_EQ(found, (std::vector<Frame>{Frame{9, 0x8A, "chunk"}}));

    FrameDecoder bounded;
    bounded.setMaxPayload(16);
    bounded.push(falseStart + good);
    EXPECT_EQ(decodeAll(bounded), (std::vector<Frame>{Frame{9, 0x8A, "chunk"}}));
}

TEST(ReadChunks, RequestsAndChunksRoundTripAndMalformedRangesAreRefused)
{
    Request request{.type = MessageType::ReadChunks,
                    .call = 7,
                    .scope = Scope::AllEntries,
                    .document = 0,
                    .chunkSize = 40,
                    .ranges = {{0, 100}, {130, 5}, {70000, 16}}};
    const Frame frame = requestFrame(3, request);
    EXPECT_EQ(decodeRequest(frame), request);
    EXPECT_EQ(chunksOf(request.ranges, 40),
              (std::vector<ByteRange>{{0, 40}, {40, 40}, {80, 20}, {130, 5}, {70000, 16}}));
    EXPECT_EQ(decodeChunk(chunkFrame(3, Chunk{300, "bytes"})), (Chunk{300, "bytes"}));

    // The ranges travel as count, then gap and length varints.
    const auto withRanges = [](std::string ranges, std::uint16_t chunk = 40) {
        ByteWriter out;
        out.u16(7);
        out.u8(3);
        out.u32(0);
        out.u16(chunk);
        out.bytes(ranges);
        return decodeRequest(Frame{3, 0x09, std::move(out).result()});
    };
    EXPECT_TRUE(withRanges("\x01\x00\x10"s));
    const std::vector<std::pair<const char*, std::optional<Request>>> refused = {
        {"no ranges", withRanges("\x00"s)},
        {"an empty range", withRanges("\x01\x00\x00"s)},
        {"more than a request carries", withRanges("\x01\x00\x81\x80\x08"s)},
        {"a chunk below the smallest", withRanges("\x01\x00\x10"s, 8)},
        {"a range past 4 GiB", withRanges("\x02\x00\x10\xff\xff\xff\xff\x0f\x10"s)},
        {"a count it does not hold", withRanges("\x03\x00\x10"s)},
    };
    for (const auto& [what, decoded] : refused) {
        EXPECT_FALSE(decoded) << what;
    }
}

TEST(RecordStream, RoundTripsRecordsOfEveryShape)
{
    using vorlak::Record;
    const std::vector<std::vector<Record>> cases = {
        {},
        {Record{}},
        {Record{{"Doc", "0001"}, {"Date", "2024-05-01"}}},
        {Record{{"Code", "5601"}, {"Qty", "3"}}, Record{{"Code", "Caf\xE9"}, {"Qty", ""}},
         Record{{"Qty", "1"}, {"Code", "77"}}, Record{}, Record{{"Code", "\0\x02"s}},
         Record{{"Extra", "x"}, {"Code", "8"}}},
    };
    for (const auto& records : cases) {
        const auto decoded = decodeRecords(encodeRecords(records));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->size(), records.size());
        for (std::size_t i = 0; i < records.size() && i < decoded->size(); ++i) {
            ASSERT_EQ((*decoded)[i].size(), records[i].size());
            for (std::size_t f = 0; f < records[i].size(); ++f) {
                EXPECT_EQ((*decoded)[i][f].name, records[i][f].name);
                EXPECT_EQ((*decoded)[i][f].value, records[i][f].value);
            }
        }
    }
}

TEST(RecordStream, RecordsOfOneShapeCostOneByteBeyondTheirValues)
{
    const std::vector<vorlak::Record> records(1000, {{"Code", "5601"}, {"Qty", "3"}});
    // names (10) + record count (2) + the first record's two name numbers (2)
    // + 1000 x (tag 1 + Code 5 + Qty 2)
    EXPECT_EQ(encodeRecords(records).size(), 10U + 2U + 2U + 1000U * 8U);
}

TEST(RecordStream, AStreamsStartCountsTheRecordsThatLieCompleteInIt)
{
    // names 10 bytes, count 1; then records of 10, 8 (same shape) and 4 bytes (another shape)
    const std::string stream = encodeRecords(
        {{{"Code", "5601"}, {"Qty", "3"}}, {{"Code", "5602"}, {"Qty", "4"}}, {{"Code", "7"}}});
    ASSERT_EQ(stream.size(), 33U);
    for (std::size_t length = 0; length <= stream.size(); ++length) {
        const std::uint32_t expected = length >= 33 ? 3 : length >= 29 ? 2 : length >= 21 ? 1 : 0;
        EXPECT_EQ(vorlak::protocol::countCompleteRecords(stream.substr(0, length)), expected)
            << length;
    }
}

TEST(RecordStream, EveryTruncationOrExtensionIsRefused)
{
    const std::string stream =
        encodeRecords({{{"Code", "5601"}, {"Qty", "3"}}, {{"Code", "5602"}, {"Qty", "4"}}});
    for (std::size_t length = 0; length < stream.size(); ++length) {
        EXPECT_FALSE(decodeRecords(stream.substr(0, length))) << length;
    }
    EXPECT_FALSE(decodeRecords(stream + "x"));
    // A record that repeats the shape of a record before the first one.
    EXPECT_FALSE(decodeRecords("\x00\x01\x00"s));
    // A name number past the names.
    EXPECT_FALSE(decodeRecords("\x01\x01"
                               "a\x01\x02\x05\x00"s));
}
