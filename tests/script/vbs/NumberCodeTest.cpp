// Lines of number arithmetic run in their flat form; their answers, types
// and errors must be those of the node tree (which Eval("...") walks).
#include "VbsTestUtil.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace quillon::vbs::test {
namespace {

// "TypeName value" after `r = expression`, or "!number column" when it fails.
std::string assigned(ScriptHost& host, const QString& expression)
{
    if (!host.executeStatement(QStringLiteral("r = ") + expression))
        return "!" + std::to_string(host.error().number) + " " + std::to_string(host.error().column);
    return outcome(host, "", "TypeName(r) & \" \" & r");
}

TEST(VbsNumberCode, WideningAndErrorsAreTheLanguagesOwn)
{
    ScriptHost host;
    for (const char* setup : {"r = 0", "i = 32767", "j = -32768", "l = 2147483647", "d = 1.5", "z = 0", "big = 1E+308"})
        ASSERT_TRUE(host.executeStatement(QString::fromUtf8(setup)));
    EXPECT_EQ(assigned(host, "i + 1"), "=Long 32768");
    EXPECT_EQ(assigned(host, "i - 1"), "=Integer 32766");
    EXPECT_EQ(assigned(host, "i * i"), "=Long 1073676289");
    EXPECT_EQ(assigned(host, "l + 1"), "=Double 2147483648");
    EXPECT_EQ(assigned(host, "l * l"), "=Double 4.61168601413242E+18");
    EXPECT_EQ(assigned(host, "j \\ -1"), "=Long 32768");
    EXPECT_EQ(assigned(host, "7 mod 4 + i mod 10"), "=Integer 10");
    EXPECT_EQ(assigned(host, "7 / 2"), "=Double 3.5");
    EXPECT_EQ(assigned(host, "d * 2 < l"), "=Boolean True");
    EXPECT_EQ(assigned(host, "i = 32767"), "=Boolean True");
    // Errors carry the column of the operation that failed.
    EXPECT_EQ(assigned(host, "1 + i \\ z"), "!11 10");
    EXPECT_EQ(assigned(host, "i mod z"), "!11 6");
    EXPECT_EQ(assigned(host, "1 / z"), "!11 6");
    EXPECT_EQ(assigned(host, "z / z"), "!6 6");
    EXPECT_EQ(assigned(host, "big * 10"), "!6 8");
    EXPECT_EQ(assigned(host, "(-l - 1) \\ -1"), "!6 13");
}

TEST(VbsNumberCode, OtherOperandsAndTargetsTakeTheGeneralRules)
{
    ScriptHost host;
    for (const char* setup : {"r = 0", "s = \"10\"", "b = True", "k = 4"})
        ASSERT_TRUE(host.executeStatement(QString::fromUtf8(setup)));
    EXPECT_EQ(assigned(host, "s + 1"), "=Double 11");
    EXPECT_EQ(assigned(host, "s < 9"), "=Boolean False");  // a literal number reads the text as a number
    EXPECT_EQ(assigned(host, "b + 1"), "=Integer 0");
    EXPECT_EQ(assigned(host, "never + 1"), "=Integer 1");  // Empty
    EXPECT_EQ(assigned(host, "k + 1"), "=Integer 5");
    // A variable first set by the line itself, a constant, Option Explicit.
    EXPECT_TRUE(host.executeStatement(u"fresh = k * 2"));
    EXPECT_EQ(outcome(host, "", "fresh"), "=8");
    EXPECT_TRUE(host.executeStatement(u"Const c = 3"));
    EXPECT_FALSE(host.executeStatement(u"c = k + 1"));
    EXPECT_EQ(host.error().number, 501);
    EXPECT_TRUE(host.executeStatement(u"Option Explicit"));
    EXPECT_FALSE(host.executeStatement(u"r = undeclared + 1"));
    EXPECT_EQ(host.error().number, 500);
    EXPECT_FALSE(host.executeStatement(u"undeclared = k + 1"));
    EXPECT_EQ(host.error().number, 500);
}

TEST(VbsNumberCode, ConditionsAnswerWithoutAValueOnlyForNumbers)
{
    ScriptHost host;
    for (const char* setup : {"k = 0", "d = 0.25", "s = \"1\""})
        ASSERT_TRUE(host.executeStatement(QString::fromUtf8(setup)));
    auto truth = [&host](const char* text) -> std::string {
        auto program = host.compile(QString::fromUtf8(text), true);
        bool t = false;
        if (!host.flatCondition(*program, t))
            return "tree";
        return t ? "true" : "false";
    };
    EXPECT_EQ(truth("k = 0"), "true");
    EXPECT_EQ(truth("k + 1 < 1"), "false");
    EXPECT_EQ(truth("d"), "true");   // a Double is true when not 0
    EXPECT_EQ(truth("k"), "false");
    EXPECT_EQ(truth("k * 1E+308 * 10 > 0"), "false");
    EXPECT_EQ(truth("d * 1E+308 * 10 > 0"), "tree");  // overflow: the tree raises 6
    EXPECT_EQ(truth("s = 1"), "tree");
    EXPECT_EQ(truth("unset < 1"), "tree");
    EXPECT_EQ(truth("Len(s) = 1"), "tree");
}

// Random expressions over whole numbers and doubles near the type limits:
// the flat form and the node tree agree on the type, the value and the error.
TEST(VbsNumberCode, RandomExpressionsAgreeWithTheNodeTree)
{
    ScriptHost host;
    const char* values[] = {"0", "1", "-1", "7", "32767", "-32768", "2147483647", "-2147483648", "2.5", "-0.5", "1E+300"};
    const char* names[] = {"a", "b", "c", "d", "e", "f", "g", "h", "m", "n", "o"};
    for (size_t k = 0; k < std::size(values); ++k)
        ASSERT_TRUE(host.executeStatement(QString::fromUtf8(names[k]) + " = " + QString::fromUtf8(values[k])));
    ASSERT_TRUE(host.executeStatement(u"r = 0"));
    const char* ops[] = {"+", "-", "*", "/", "\\", "mod", "=", "<>", "<", ">", "<=", ">="};
    std::mt19937 random(7);
    auto pick = [&random](size_t n) { return size_t(random() % n); };
    std::function<QString(int)> expression = [&](int depth) -> QString {
        if (depth == 0 || pick(3) == 0) {
            if (pick(4) == 0)
                return QString::fromUtf8(values[pick(std::size(values))]).replace(QLatin1Char('-'), QString());
            return QString::fromUtf8(names[pick(std::size(names))]);
        }
        return QLatin1Char('(') + expression(depth - 1) + QLatin1Char(' ') + QString::fromUtf8(ops[pick(std::size(ops))])
            + QLatin1Char(' ') + expression(depth - 1) + QLatin1Char(')');
    };
    int failures = 0;
    for (int round = 0; round < 3000; ++round) {
        const QString e = expression(3);
        auto result = [&host](const QString& statement) {
            if (!host.executeStatement(statement))
                return "!" + std::to_string(host.error().number);
            return outcome(host, "", "TypeName(r) & \" \" & r");
        };
        const std::string flat = result(QStringLiteral("r = ") + e);
        const std::string tree = result(QStringLiteral("r = Eval(\"") + e + QStringLiteral("\")"));
        EXPECT_EQ(flat, tree) << e.toStdString();
        failures += flat != tree;
        if (failures > 5)
            break;
    }
}

}  // namespace
}  // namespace quillon::vbs::test
