// The host as the engine uses it: objects, MsgBox, reset, the error state
// between calls, the parse cache, and hostile input.
#include "VbsTestUtil.h"

#include "script/vbs/HostObject.h"
#include "script/vbs/VbsError.h"

#include <QElapsedTimer>
#include <QMap>

#include <gtest/gtest.h>

#include <random>

namespace quillon::vbs::test {
namespace {

// An object with a "Value" property, an "Add" method and a "Log" of calls.
class Counter final : public HostObject {
public:
    QString typeName() const override { return QStringLiteral("Counter"); }
    bool hasMember(const QString& name) const override
    {
        return name.compare(QLatin1String("value"), Qt::CaseInsensitive) == 0
            || name.compare(QLatin1String("add"), Qt::CaseInsensitive) == 0;
    }
    Value invoke(const QString& name, std::span<const Value> args) override
    {
        if (name.compare(QLatin1String("value"), Qt::CaseInsensitive) == 0)
            return Value::fromLong(value);
        if (name.compare(QLatin1String("add"), Qt::CaseInsensitive) == 0) {
            if (args.size() != 2)
                throw VbsError(450);
            calls++;
            return Value::fromDouble(args[0].toDouble() + args[1].toDouble());
        }
        throw VbsError::withName(438, name);
    }
    void setProperty(const QString& name, std::span<const Value> args, const Value& v) override
    {
        if (name.compare(QLatin1String("value"), Qt::CaseInsensitive) != 0 || !args.empty())
            throw VbsError::withName(438, name);
        value = v.toLong();
    }
    int32_t value = 0;
    int calls = 0;
};

TEST(VbsHost, ObjectsAreReachableByNameAndThroughVisibleMembers)
{
    ScriptHost host;
    auto counter = std::make_shared<Counter>();
    counter->value = 4;
    host.addObject(QStringLiteral("app"), counter, true);
    const struct {
        const char* setup;
        const char* expression;
        const char* expected;
    } cases[] = {
        {"", "app.Value", "=4"},
        {"", "APP.value", "=4"},
        {"", "Value", "=4"},
        {"", "app.Add(2, 3)", "=5"},
        {"", "Add(2, 3)", "=5"},
        {"", "TypeName(app)", "=Counter"},
        {"", "IsObject(app)", "=True"},
        {"", "app.Missing", "!438"},
        {"", "app.Add(1)", "!450"},
        {"app.Value = 7", "app.Value", "=7"},
        {"Value = 9", "app.Value", "=9"},
        {"Set o = app", "o Is app", "=True"},
        {"Set o = app", "o.Value", "=9"},
        {"Set o = Nothing", "o Is app", "=False"},
        {"app.Add 1, 2", "1", "=1"},
        {"Call app.Add(1, 2)", "1", "=1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(outcome(host, c.setup, c.expression), c.expected) << c.setup << " / " << c.expression;

    EXPECT_FALSE(host.executeStatement(u"x = app"));
    EXPECT_EQ(host.error().number, 450);
    EXPECT_FALSE(host.executeStatement(u"app.Add(1, 2)"));
    EXPECT_EQ(host.error().number, 1044);
}

// An object that calls back into its host while the host is using it.
class Reentrant final : public HostObject {
public:
    explicit Reentrant(ScriptHost& host) : m_host(host) {}
    bool hasMember(const QString& name) const override { return name.compare(QLatin1String("go"), Qt::CaseInsensitive) == 0; }
    Value invoke(const QString&, std::span<const Value>) override
    {
        ++calls;
        m_host.executeStatement(u"t = 5");
        m_host.addObject(QStringLiteral("re"), std::make_shared<Counter>(), true);  // replaces this object
        return Value::fromString(QStringLiteral("g"));
    }
    int calls = 0;

private:
    ScriptHost& m_host;
};

TEST(VbsHost, ObjectsMayCallBackIntoTheHostWhileUsed)
{
    ScriptHost host;
    auto re = std::make_shared<Reentrant>(host);
    host.addObject(QStringLiteral("re"), re, true);
    ASSERT_TRUE(host.executeStatement(u"t = \"a\" : t = t & re.Go"));
    EXPECT_EQ(re->calls, 1);
    EXPECT_EQ(outcome(host, "", "t"), "=5g");
    EXPECT_EQ(outcome(host, "", "TypeName(re)"), "=Counter");
}

TEST(VbsHost, HiddenMembersNeedTheNameAndAddingAgainReplaces)
{
    ScriptHost host;
    auto first = std::make_shared<Counter>();
    auto second = std::make_shared<Counter>();
    first->value = 1;
    second->value = 2;
    host.addObject(QStringLiteral("obj"), first, false);
    EXPECT_EQ(outcome(host, "", "IsEmpty(Value)"), "=True");
    EXPECT_EQ(outcome(host, "", "obj.Value"), "=1");
    // The engine binds a query's answer under the same name on every pass.
    host.addObject(QStringLiteral("obj"), second, true);
    EXPECT_EQ(outcome(host, "", "obj.Value & Value"), "=22");
}

TEST(VbsHost, MsgBoxGoesToTheHandler)
{
    ScriptHost host;
    QString prompt, title;
    int buttons = -1;
    host.setMsgBoxHandler([&](const QString& p, int b, const QString& t) {
        prompt = p;
        buttons = b;
        title = t;
        return 6;
    });
    ASSERT_TRUE(host.executeStatement(u"r = MsgBox(\"Sure?\", vbYesNo + vbQuestion, \"Ask\")"));
    EXPECT_EQ(prompt, QStringLiteral("Sure?"));
    EXPECT_EQ(buttons, 36);
    EXPECT_EQ(title, QStringLiteral("Ask"));
    EXPECT_EQ(outcome(host, "", "r = vbYes"), "=True");
    ASSERT_TRUE(host.executeStatement(u"MsgBox 12"));
    EXPECT_EQ(prompt, QStringLiteral("12"));
    EXPECT_EQ(buttons, 0);
}

TEST(VbsHost, ErrorStateIsZeroAfterEverySuccess)
{
    ScriptHost host;
    EXPECT_FALSE(host.executeStatement(u"x = 1/0"));
    EXPECT_EQ(host.error().number, 11);
    EXPECT_EQ(host.error().source, QStringLiteral("Microsoft VBScript runtime error"));
    EXPECT_TRUE(host.executeStatement(u"x = 1"));
    EXPECT_EQ(host.error().number, 0);
    EXPECT_TRUE(host.error().description.isEmpty());
    Value v;
    EXPECT_FALSE(host.eval(u"y +", v));
    EXPECT_EQ(host.error().number, 1002);
    EXPECT_TRUE(host.eval(u"x", v));
    EXPECT_EQ(host.error().number, 0);
    // A statement under On Error Resume Next succeeds; Err keeps the failure.
    EXPECT_TRUE(host.executeStatement(u"On Error Resume Next : z = 1/0"));
    EXPECT_EQ(host.error().number, 0);
    EXPECT_EQ(outcome(host, "", "Err.Number"), "=11");
}

TEST(VbsHost, ResetForgetsVariablesObjectsAndOptions)
{
    ScriptHost host;
    host.addObject(QStringLiteral("app"), std::make_shared<Counter>(), true);
    ASSERT_TRUE(host.executeStatement(u"x = 5 : Const k = 1 : Option Explicit : On Error Resume Next"));
    host.reset();
    EXPECT_EQ(outcome(host, "", "IsEmpty(x) And IsEmpty(app) And IsEmpty(Value)"), "=True");
    EXPECT_TRUE(host.executeStatement(u"k = 2 : undeclared = 1"));  // no Const, no Option Explicit
    EXPECT_FALSE(host.executeStatement(u"y = 1/0"));                 // no Resume Next
    // The cached texts still run against a fresh scope.
    host.reset();
    EXPECT_TRUE(host.executeStatement(u"x = 5 : Const k = 1 : Option Explicit : On Error Resume Next"));
}

TEST(VbsHost, CachedTextsSeeCurrentValuesAndTheCacheStaysUsable)
{
    ScriptHost host;
    ASSERT_TRUE(host.executeStatement(u"i = 0 : s = 0"));
    for (int n = 0; n < 1000; ++n) {
        ASSERT_TRUE(host.executeStatement(u"i=i+1"));
        ASSERT_TRUE(host.executeStatement(u"s=s+i*2"));
    }
    EXPECT_EQ(outcome(host, "", "i & \" \" & s"), "=1000 1001000");
    // Far more distinct texts than the cache holds: all still run correctly.
    for (int n = 0; n < 10000; ++n)
        ASSERT_TRUE(host.executeStatement(QStringLiteral("v%1 = %1 : total = total + v%1").arg(n)));
    EXPECT_EQ(outcome(host, "", "total"), "=49995000");
    // A cached failing text fails the same way every time.
    for (int n = 0; n < 3; ++n) {
        EXPECT_FALSE(host.executeStatement(u"x = (1"));
        EXPECT_EQ(host.error().number, 1006);
    }
}

TEST(VbsHost, AppendingInPlaceKeepsOtherCopiesIntact)
{
    ScriptHost host;
    ASSERT_TRUE(host.executeStatement(u"t = \"\""));
    for (int n = 0; n < 3000; ++n) {
        ASSERT_TRUE(host.executeStatement(u"t=t & \"x\""));
        if (n == 10) {
            ASSERT_TRUE(host.executeStatement(u"snapshot = t"));
        }
    }
    Value t, snapshot;
    ASSERT_TRUE(host.eval(u"t", t));
    ASSERT_TRUE(host.eval(u"snapshot", snapshot));
    EXPECT_EQ(t.stringValue().size(), 3000);
    EXPECT_EQ(snapshot.stringValue(), QString(11, QLatin1Char('x')));
    ASSERT_TRUE(host.executeStatement(u"n = 5 : n = n & \"a\""));
    EXPECT_EQ(outcome(host, "", "n"), "=5a");
}

TEST(VbsHost, NestingBeyondTheLimitsIsAnErrorNotACrash)
{
    ScriptHost host;
    Value v;
    const QString deepParens = QString(100000, QLatin1Char('(')) + QLatin1Char('1') + QString(100000, QLatin1Char(')'));
    EXPECT_FALSE(host.eval(deepParens, v));
    EXPECT_EQ(host.error().number, 28);
    const QString deepNot = QStringLiteral("Not ").repeated(50000) + QLatin1Char('1');
    EXPECT_FALSE(host.eval(deepNot, v));
    EXPECT_EQ(host.error().number, 28);
    const QString longChain = QStringLiteral("1") + QStringLiteral("+1").repeated(100000);
    EXPECT_FALSE(host.eval(longChain, v));
    EXPECT_EQ(host.error().number, 28);
    // Moderate nesting still works.
    const QString fine = QString(50, QLatin1Char('(')) + QLatin1Char('2') + QString(50, QLatin1Char(')'));
    ASSERT_TRUE(host.eval(fine, v));
    EXPECT_EQ(v.toString(), QStringLiteral("2"));
    // Arrays nested in arrays, one level per pass of a loop.
    ASSERT_TRUE(host.executeStatement(u"a = Array() : Dim b(0)"));
    int passes = 0;
    while (host.executeStatement(u"a = Array(a)") && passes < 5000)
        ++passes;
    EXPECT_EQ(host.error().number, 28);
    EXPECT_LT(passes, 5000);
    while (host.executeStatement(u"b(0) = b") && passes < 10000)
        ++passes;
    EXPECT_EQ(host.error().number, 28);
    EXPECT_LT(passes, 10000);
    ASSERT_TRUE(host.executeStatement(u"a = Empty : b = Empty"));
    // Eval calling Eval calling Eval ...
    QString nested = QStringLiteral("1");
    for (int i = 0; i < 12; ++i)
        nested = QStringLiteral("Eval(\"%1\")").arg(QString(nested).replace(QLatin1String("\""), QLatin1String("\"\"")));
    EXPECT_FALSE(host.eval(nested, v));
    EXPECT_EQ(host.error().number, 28);
    // The error column of an unclosed parenthesis is the end of the line.
    const QString open = QStringLiteral("x = ") + QString(40, QLatin1Char('(')) + QLatin1Char('1');
    EXPECT_FALSE(host.executeStatement(open));
    EXPECT_EQ(host.error().number, 1006);
    EXPECT_EQ(host.error().column, open.size());
}

TEST(VbsHost, HugeInputsAreHandledWithinBounds)
{
    ScriptHost host;
    Value v;
    const QString longString = QStringLiteral("\"") + QString(1 << 20, QLatin1Char('a')) + QStringLiteral("\"");
    ASSERT_TRUE(host.eval(longString, v));
    EXPECT_EQ(v.stringValue().size(), 1 << 20);
    EXPECT_FALSE(host.executeStatement(QString(5 * 1024 * 1024, QLatin1Char(' ')) + QLatin1Char('x')));
    EXPECT_EQ(host.error().number, 7);
    EXPECT_FALSE(host.executeStatement(u"ReDim a(100000, 100000)"));
    EXPECT_EQ(host.error().number, 7);
    // A string doubling in a loop stops at the string limit with 14.
    ASSERT_TRUE(host.executeStatement(u"s = \"0123456789abcdef\" : u = s"));
    int doublings = 0;
    while (host.executeStatement(u"s = s & s") && doublings < 40)
        ++doublings;
    EXPECT_EQ(host.error().number, 14);
    while (host.executeStatement(u"u = u + u") && doublings < 80)
        ++doublings;
    EXPECT_EQ(host.error().number, 14);
    ASSERT_TRUE(host.executeStatement(u"s = Empty : u = Empty"));
    const QString manyStatements = QStringLiteral("n = n + 1 : ").repeated(20000);
    ASSERT_TRUE(host.executeStatement(manyStatements));
    EXPECT_EQ(outcome(host, "", "n"), "=20000");
    EXPECT_FALSE(host.executeStatement(QStringLiteral("x = ") + QString(300, QLatin1Char('a'))));
    EXPECT_EQ(host.error().number, 1030);
}

// Random and garbled texts: every call returns, and a failure has a number.
TEST(VbsHost, RandomInputNeverCrashesOrHangs)
{
    const char* const pieces[] = {
        "x", "y", "a(", ")", "(", ",", ".", "=", "<>", "<", ">=", "+", "-", "*", "/", "\\", "^", "&",
        "Mod", "And", "Or", "Not", "Xor", "Eqv", "Imp", "Is", "1", "0", "2147483647", "32768", "1E+308",
        "&HFFFF", "&H", "\"s\"", "\"", "#1/1/2020#", "#", ":", "'", "Rem", "Dim", "ReDim", "Preserve",
        "Const", "Erase", "Call", "Set", "Nothing", "Null", "Empty", "True", "On Error Resume Next",
        "On Error GoTo 0", "Option Explicit", "MsgBox", "CInt", "CStr", "Array", "UBound", "Eval",
        "Err", "Err.Raise", " ", "\t", "\n", "[", "]", "_", "$", "中", "\xC3\xA9", "x.y", "vbCrLf",
    };
    std::mt19937 rng(20240607);
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(1, 24);
    ScriptHost host;
    host.addObject(QStringLiteral("app"), std::make_shared<Counter>(), true);
    QElapsedTimer timer;
    timer.start();
    int failures = 0;
    for (int round = 0; round < 20000 && timer.elapsed() < 4000; ++round) {
        QString text;
        for (int k = length(rng); k > 0; --k)
            text += QString::fromUtf8(pieces[pick(rng)]) + (rng() % 2 ? QStringLiteral(" ") : QString());
        Value v;
        bool ok = (round % 2) ? host.executeStatement(text) : host.eval(text, v);
        if (!ok) {
            ++failures;
            ASSERT_GT(host.error().number, 0) << text.toStdString();
            ASSERT_FALSE(host.error().description.isEmpty()) << text.toStdString();
        }
        // The engine retries a 1044 with every parenthesis blanked out, for as
        // long as 1044 comes back: the blanked text must never give 1044 again.
        if (!ok && host.error().number == 1044) {
            QString blanked = text;
            blanked.replace(QLatin1Char('('), QLatin1Char(' ')).replace(QLatin1Char(')'), QLatin1Char(' '));
            host.executeStatement(blanked);
            ASSERT_NE(host.error().number, 1044) << blanked.toStdString();
        }
        if (round % 500 == 0)
            host.reset();
    }
    EXPECT_GT(failures, 0);
    // Raw random characters, including control characters and surrogates.
    for (int round = 0; round < 5000 && timer.elapsed() < 6000; ++round) {
        QString text;
        for (int k = length(rng) * 3; k > 0; --k)
            text += QChar(static_cast<char16_t>(rng() % 2 ? 32 + rng() % 95 : rng() % 0xFFFF));
        Value v;
        if (!host.eval(text, v)) {
            ASSERT_GT(host.error().number, 0);
        }
        if (!host.executeStatement(text)) {
            ASSERT_GT(host.error().number, 0);
        }
    }
}

}  // namespace
}  // namespace quillon::vbs::test
