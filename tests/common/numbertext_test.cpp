#include "common/appidentity.h"
#include "common/numbertext.h"

#include <gtest/gtest.h>

TEST(NumberText, NonNegativeNumbersGetOneLeadingSpace)
{
    EXPECT_EQ(numberText(0), QStringLiteral(" 0"));
    EXPECT_EQ(numberText(1), QStringLiteral(" 1"));
    EXPECT_EQ(numberText(117), QStringLiteral(" 117"));
    EXPECT_EQ(numberText(-2), QStringLiteral("-2"));
}

TEST(AppIdentity, MainWindowCaptionCarriesTheVersionWithLeadingSpaces)
{
    EXPECT_EQ(AppIdentity::mainWindowCaption(), QStringLiteral("Kolbrin  1. 0. 117"));
}
