#include "common/textcodec.h"

#include <gtest/gtest.h>

TEST(TextCodec, Windows1252RoundTripsItsOwnCharacters)
{
    const QString text = QStringLiteral("Caf\u00e9 \u20ac \u0160 \u201cq\u201d \u00ff");
    bool lossy = true;
    const QByteArray bytes = TextCodec::toWindows1252(text, &lossy);
    EXPECT_FALSE(lossy);
    EXPECT_EQ(bytes, QByteArray("Caf\xe9 \x80 \x8a \x93q\x94 \xff"));
    EXPECT_EQ(TextCodec::fromWindows1252(bytes), text);
}

TEST(TextCodec, CharactersOutsideWindows1252BecomeOneQuestionMarkEach)
{
    bool lossy = false;
    // A Greek letter and an emoji (a surrogate pair) have no Windows-1252 code.
    EXPECT_EQ(TextCodec::toWindows1252(QStringLiteral("a\u03a9b\U0001F600c"), &lossy),
              QByteArray("a?b?c"));
    EXPECT_TRUE(lossy);
}

TEST(TextCodec, FilesAreUtf8UnlessTheyAreNotValidUtf8)
{
    EXPECT_EQ(TextCodec::decodeFileText(QByteArray("Caf\xc3\xa9")), QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(TextCodec::decodeFileText(QByteArray("\xef\xbb\xbfok")), QStringLiteral("ok"));
    EXPECT_EQ(TextCodec::decodeFileText(QByteArray("Caf\xe9")), QStringLiteral("Caf\u00e9"));
}
