#include "base/Text.h"

#include <gtest/gtest.h>

using namespace quillon;

namespace {

TEST(Text, LineEndsCrLfCrAndLfGiveTheSameLines)
{
    const QStringList expected = {QStringLiteral("a"), QString(), QStringLiteral("b")};
    EXPECT_EQ(base::splitLines(u"a\r\n\r\nb\r\n"), expected);
    EXPECT_EQ(base::splitLines(u"a\r\rb"), expected);
    EXPECT_EQ(base::splitLines(u"a\n\nb\n"), expected);
    EXPECT_EQ(base::splitLines(u"\n"), QStringList{QString()});
    EXPECT_TRUE(base::splitLines(u"").isEmpty());
}

TEST(Text, TrimControlDropsEveryCodeUpToBlank)
{
    EXPECT_EQ(base::trimControl(u"\t\x01 x y \x1f\r\n"), QStringLiteral("x y"));
    EXPECT_EQ(base::trimControl(u"\u3000x"), QStringLiteral("\u3000x")) << "only codes up to 32 are trimmed";
    EXPECT_TRUE(base::trimControl(u" \t ").isEmpty());
}

TEST(Text, AsciiCaseMappingKeepsEveryOtherCharacterAndTheLength)
{
    // U+0130 lower-cases to two characters in Unicode; here it stays as it is.
    const QString mixed = QStringLiteral("If X \u0130\u00C4\u4E2D Then");
    EXPECT_EQ(base::asciiLower(mixed), QStringLiteral("if x \u0130\u00C4\u4E2D then"));
    EXPECT_EQ(base::asciiUpper(mixed), QStringLiteral("IF X \u0130\u00C4\u4E2D THEN"));
    EXPECT_EQ(base::asciiLower(mixed).size(), mixed.size());
    EXPECT_TRUE(base::isAsciiWordChar(QLatin1Char('_')));
    EXPECT_TRUE(base::isAsciiWordChar(QLatin1Char('9')));
    EXPECT_FALSE(base::isAsciiWordChar(QChar(0x4E2D)));
    EXPECT_FALSE(base::isAsciiWordChar(QChar(0x00E9)));
}

}  // namespace
