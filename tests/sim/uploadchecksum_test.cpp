// The sums of a program upload: the program computes them as it sends, qel-sim as it receives,
// and the two are written apart, so the reference values are pinned here.
#include "protocol/uploadchecksum.h"

#include <gtest/gtest.h>
#include <string>

using vorlak::protocol::uploadChecksum;

namespace {

std::string wire(std::string_view block)
{
    const auto bytes = uploadChecksum(block).wireBytes();
    return {bytes.begin(), bytes.end()};
}

} // namespace

static_assert(uploadChecksum("abc").sum1() == 0x0129 && uploadChecksum("abc").sum2() == 0x02B2);

TEST(UploadChecksum, ReferenceBlocks)
{
    const std::string ff15(15, '\xFF');
    const struct
    {
        const char* what;
        std::string block;
        std::string sent; // sum1 low, sum1 high, sum2 low, sum2 high
    } cases[] = {
        {"the three bytes abc", "abc", std::string("\x29\x01\xB2\x02", 4)},
        {"an empty block", "", std::string(4, '\0')},
        {"255 adds nothing", "\xFF\xFF", std::string(4, '\0')},
        {"255 still rotates sum2", std::string("\x00\xFF", 2), std::string("\x01\x00\x02\x00", 4)},
        {"sum2 reaches 0x8000", std::string(1, '\0') + ff15, std::string("\x01\x00\x00\x80", 4)},
        {"0x8000 rotates to 0x0001", std::string(1, '\0') + ff15 + '\xFF',
         std::string("\x01\x00\x01\x00", 4)},
        {"a zero byte adds one", std::string(3, '\0'), std::string("\x03\x00\x07\x00", 4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(wire(c.block), c.sent);
        EXPECT_TRUE(uploadChecksum(c.block).matches(c.sent));
    }
}
