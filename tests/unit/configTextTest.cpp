#include "platform/configText.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace dravix {
namespace {

TEST(configText, convertsLikeAtoi) {
    EXPECT_EQ(atoiValue("1"), 1);
    EXPECT_EQ(atoiValue("  -17xyz"), -17);
    EXPECT_EQ(atoiValue("+8"), 8);
    EXPECT_EQ(atoiValue("abc"), 0);
    EXPECT_EQ(atoiValue(""), 0);
    EXPECT_EQ(atoiValue("- 5"), 0);
    EXPECT_EQ(atoiValue("0x10"), 0);
}

TEST(configText, saturatesInsteadOfOverflowing) {
    EXPECT_EQ(atoiValue("99999999999999999999"), INT_MAX);
    EXPECT_EQ(atoiValue("-99999999999999999999"), INT_MIN);
    EXPECT_EQ(atoiValue("-2147483648"), INT_MIN);
}

TEST(configText, looksOnlyAtTheFirst255Characters) {
    EXPECT_EQ(atoiValue(std::string(254, ' ') + "7"), 7);
    EXPECT_EQ(atoiValue(std::string(255, ' ') + "7"), 0);
}

TEST(configText, findsValuesByExactName) {
    const std::string text =
        "# logging\r\n"
        "LOG_DISABLE=0\r\n"
        "  FILELOG_ENABLE = 1\n"
        "LOG_LEVEL=31\n"
        "; CALLBACK_LOG_LEVEL=8\n"
        "LOG_LEVEL_EXTRA=5\n"
        "broken line\n"
        "LOG_LEVEL=24";
    EXPECT_EQ(configValueFromText(text, "FILELOG_ENABLE"), 1);
    EXPECT_EQ(configValueFromText(text, "LOG_DISABLE"), 0);
    EXPECT_EQ(configValueFromText(text, "LOG_LEVEL"), 24);  // the last definition wins
    EXPECT_EQ(configValueFromText(text, "CALLBACK_LOG_LEVEL"), 0);
    EXPECT_EQ(configValueFromText(text, "MISSING"), 0);
    EXPECT_EQ(configValueFromText("", "LOG_LEVEL"), 0);
}

}  // namespace
}  // namespace dravix
