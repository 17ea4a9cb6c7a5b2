// Putting a streamed read together and sizing its chunks: the bookkeeping behind a reading that
// survives a noisy line, without a line.
#include "library/lineerrors.h"
#include "library/streamassembly.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using namespace vorlak;
using vorlak::protocol::ByteRange;

TEST(StreamAssembly, PiecesInAnyOrderAndTwiceMakeTheStreamAndOnlyTheGapsAreAskedFor)
{
    const std::string stream = "0123456789abcdefghijklmnopqrstuvwxyz";
    StreamAssembly assembly;
    EXPECT_EQ(assembly.plan(16, 8), (std::vector<ByteRange>{{0, 16}})); // length unknown yet
    ASSERT_TRUE(assembly.place(10, stream.substr(10, 6)));
    ASSERT_TRUE(assembly.place(2, stream.substr(2, 4)));
    ASSERT_TRUE(assembly.place(4, stream.substr(4, 4)));   // overlaps the piece before
    ASSERT_TRUE(assembly.place(10, stream.substr(10, 6))); // a resend
    EXPECT_EQ(assembly.held(), 12U);
    EXPECT_EQ(assembly.plan(16, 8), (std::vector<ByteRange>{{0, 2}, {8, 2}}));

    ASSERT_TRUE(assembly.setTotal(36));
    EXPECT_FALSE(assembly.setTotal(37));         // the length never changes within a call
    EXPECT_FALSE(assembly.place(30, "toolong")); // past the end
    EXPECT_EQ(assembly.plan(100, 8), (std::vector<ByteRange>{{0, 2}, {8, 2}, {16, 20}}));
    EXPECT_EQ(assembly.plan(5, 8), (std::vector<ByteRange>{{0, 2}, {8, 2}, {16, 1}}));
    EXPECT_EQ(assembly.plan(100, 2), (std::vector<ByteRange>{{0, 2}, {8, 2}}));

    ASSERT_TRUE(assembly.place(0, stream.substr(0, 2)));
    ASSERT_TRUE(assembly.place(16, stream.substr(16)));
    ASSERT_TRUE(assembly.place(8, stream.substr(8, 2)));
    EXPECT_TRUE(assembly.complete());
    EXPECT_TRUE(assembly.plan(100, 8).empty());
    EXPECT_EQ(assembly.take(), stream);

    StreamAssembly shorter;
    ASSERT_TRUE(shorter.place(0, "abcdef"));
    EXPECT_FALSE(shorter.setTotal(4)); // bytes already past the length the terminal gives
}

TEST(LineErrorEstimate, ChunksFollowTheErrorRateTheFramesMeet)
{
    // Frames of a chunk size meet a line that damages each byte with probability `rate`; after
    // a few windows the estimate settles on chunks near the best size for that rate.
    struct Case
    {
        double rate;
        std::size_t smallest;
        std::size_t largest;
    };
    const std::vector<Case> cases = {
        {0.0, 2048, 4096}, {0.001, 64, 160}, {0.01, 16, 40}, {0.1, 16, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        LineErrorEstimate estimate;
        std::mt19937_64 random(1);
        std::bernoulli_distribution damaged(c.rate);
        for (int window = 0; window < 40; ++window) {
            const std::size_t size = estimate.chunkSize();
            const std::size_t frameBytes = size + protocol::kChunkOverhead;
            const std::size_t frames = std::max<std::size_t>(1, 16384 / size);
            std::size_t arrived = 0;
            for (std::size_t f = 0; f < frames; ++f) {
                bool whole = true;
                for (std::size_t b = 0; b < frameBytes && whole; ++b) {
                    whole = !damaged(random);
                }
                arrived += whole ? 1 : 0;
            }
            estimate.record(frames, arrived, frameBytes);
        }
        EXPECT_GE(estimate.chunkSize(), c.smallest);
        EXPECT_LE(estimate.chunkSize(), c.largest);
    }
}
