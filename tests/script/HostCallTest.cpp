// getsys, setsys, messagebox, delay, callsys and callproto lines.
#include "EngineFixture.h"

#include "callsys/CallSys.h"
#include "script/vbs/HostObject.h"

#include <QElapsedTimer>
#include <QHash>

namespace quillon::script::testing {
namespace {

struct Call {
    QString word, text;
    bool operator==(const Call&) const = default;
};

class HostCallTest : public EngineTest {
protected:
    HostCallTest()
    {
        engine->OnGetSysParam = [this](TScripert*, QString& word, QString& text, auto&) {
            gets.push_back({word, text});
            if (answers.contains(word))
                text = answers.value(word);
        };
        engine->OnSetSysParam = [this](TScripert*, QString& word, QString& text, auto&) {
            sets.push_back({word, text});
        };
        engine->OnMessageBox = [this](const QString& prompt, int buttons, const QString& title) {
            boxes << QStringLiteral("%1|%2|%3").arg(prompt).arg(buttons).arg(title);
            return 1;
        };
    }

    // Runs `line` as the only line of a section.
    bool runLine(const QString& line)
    {
        engine->LoadScriptText(QStringLiteral("section t\n") + line + QStringLiteral("\nend section"));
        return run("t");
    }

    QHash<QString, QString> answers;
    std::vector<Call> gets, sets;
    QStringList boxes;
};

TEST_F(HostCallTest, QueryPassesItsArgumentsAndStoresTheAnswer)
{
    answers[QStringLiteral("findhandle")] = QStringLiteral("1234");
    ASSERT_TRUE(runLine(QStringLiteral("h=FindHandle(\"notepad\")")));
    EXPECT_EQ(gets.back(), (Call{QStringLiteral("findhandle"), QStringLiteral(",notepad,")}));
    EXPECT_EQ(host().statements.last(), QStringLiteral("h=\"1234\""));
    EXPECT_EQ(var("h"), QStringLiteral("1234"));

    // No handler answers: the parameter text itself lands in the variable.
    ASSERT_TRUE(runLine(QStringLiteral("getsys(findwindow,\"notepad\",w)")));
    EXPECT_EQ(var("w"), QStringLiteral(",notepad,"));

    set("h", "7");
    ASSERT_TRUE(runLine(QStringLiteral("getsys(test,,h)")));
    EXPECT_EQ(gets.back(), (Call{QStringLiteral("test"), QStringLiteral(",7")}));
}

TEST_F(HostCallTest, CommandJoinsValuesAndRemembersTheLastText)
{
    set("h", "1234");
    struct Case {
        const char* line;
        const char* word;
        const char* text;
    } cases[] = {
        {"key \"a\"", "key", "a"},
        {"setsys(sethtxt,h,\"say \"\"hi\"\"\")", "sethtxt", "1234,say \"hi\""},
        {"setsys(key,x)", "key", "x"},                 // x empty: the piece as written
        {"setsys(mouse,,\"l\")", "mouse", "l"},          // empty leading values add nothing
        {"setsys(test,5)", "test", "5"},
        {"setsys(sethtxt,h,\"Hello, world\")", "sethtxt", "1234,Hello, world"},  // cut in two
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(runLine(QString::fromUtf8(c.line))) << c.line << " " << errors.back().description.toStdString();
        EXPECT_EQ(sets.back(), (Call{QString::fromUtf8(c.word), QString::fromUtf8(c.text)})) << c.line;
    }
    const auto& table = engine->SysParamTable();
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table[0].name, QStringLiteral("key"));
    EXPECT_EQ(table[0].value, QStringLiteral("x"));

    // A query for a word set before hands the handler the stored text.
    ASSERT_TRUE(runLine(QStringLiteral("getsys(test,h)")));
    EXPECT_EQ(gets.back(), (Call{QStringLiteral("test"), QStringLiteral("5")}));
}

TEST_F(HostCallTest, AnswerQuotesAndLineEndsAreEscapedForTheHost)
{
    answers[QStringLiteral("gethtxt")] = QStringLiteral("a\"b\r\nc");
    ASSERT_TRUE(runLine(QStringLiteral("getsys(gethtxt,1,t)")));
    EXPECT_EQ(host().statements.last(), QStringLiteral("t=\"a\"\"b\"&chr(13)&\"\"&chr(10)&\"c\""));

    // Host values come back with the escaped forms turned into characters.
    set("v", "x\"\"y\"&chr(10)&\"z");
    ASSERT_TRUE(runLine(QStringLiteral("setsys(sethtxt,v)")));
    EXPECT_EQ(sets.back().text, QStringLiteral("x\"y\nz"));
}

TEST_F(HostCallTest, ObjectAnswerIsBoundUnderTheTargetName)
{
    engine->OnGetSysParam = [](TScripert*, QString&, QString&, std::shared_ptr<vbs::HostObject>& acom) {
        struct Window : vbs::HostObject {
            bool hasMember(const QString&) const override { return false; }
            vbs::Value invoke(const QString&, std::span<const vbs::Value>) override { return {}; }
        };
        acom = std::make_shared<Window>();
    };
    ASSERT_TRUE(runLine(QStringLiteral("getsys(findwindow,\"x\",win)")));
    EXPECT_EQ(host().objects, QStringList{QStringLiteral("win")});
    EXPECT_FALSE(host().statements.contains(QStringLiteral("win=\",x,\"")));
}

TEST_F(HostCallTest, UnevaluablePieceFallsBackToItsText)
{
    ASSERT_TRUE(runLine(QStringLiteral("setsys(key,hello world)")));
    EXPECT_EQ(sets.back().text, QStringLiteral("hello world"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(HostCallTest, BrokenPieceEndsThePassWithTheHostsError)
{
    // Neither an expression nor, in quotes, a string: the pass ends, and the
    // handler never hears of the line.
    EXPECT_FALSE(runLine(QStringLiteral("setsys(key,(\"x\" & )")));
    EXPECT_TRUE(sets.empty());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_GE(errors[0].number, 1000) << "a compile error of the piece";
    EXPECT_EQ(errors[0].line, 1);

    // h = findhandle(...) with blanks is the ordinary query.
    errors.clear();
    answers[QStringLiteral("findhandle")] = QStringLiteral("77");
    ASSERT_TRUE(runLine(QStringLiteral("h = findhandle(\"Notepad\")")));
    EXPECT_EQ(gets.back(), (Call{QStringLiteral("findhandle"), QStringLiteral(",notepad,")}));
    EXPECT_EQ(var("h"), QStringLiteral("77"));
}

TEST_F(HostCallTest, MessageBoxShowsValueOrExpressionThenFails)
{
    ASSERT_TRUE(runLine(QStringLiteral("messagebox 1+2")));
    EXPECT_EQ(boxes, QStringList{QStringLiteral("3|0|zemath")});
    EXPECT_FALSE(runLine(QStringLiteral("messagebox 1/0")));
    EXPECT_EQ(boxes.last(), QStringLiteral("1/0|0|zemath"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].number, 11);
}

TEST_F(HostCallTest, DelayFormsWaitAndBadFormsEndThePass)
{
    for (const char* line : {"delay 120", "delay(120)", "delay \"$78\""}) {
        QElapsedTimer timer;
        timer.start();
        ASSERT_TRUE(runLine(QString::fromLatin1(line))) << line << errors.back().description.toStdString();
        EXPECT_GE(timer.elapsed(), 110) << line;
    }
    EXPECT_FALSE(runLine(QStringLiteral("delay (500)")));
    EXPECT_FALSE(runLine(QStringLiteral("delay \"x\"")));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1].number, 13);
}

class Form : public QObject {
    Q_OBJECT
public:
    QStringList calls;
public slots:
    void ShowIt(const QString& a, const QString& b) { calls << a + QLatin1Char('|') + b; }
};

TEST_F(HostCallTest, NativeCallsReachTheCallComponent)
{
    Form form;
    callsys::TCallSys callSys(&form);
    engine->setCallSys(&callSys);
    set("n", "3");
    ASSERT_TRUE(runLine(QStringLiteral("callsys[self.ShowIt(\"Hi\", n)]")));
    EXPECT_EQ(form.calls, QStringList{QStringLiteral("Hi|3")});
    // A refusal is not shown and the pass goes on.
    EXPECT_TRUE(runLine(QStringLiteral("callsys[self.Missing(1)]")));
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(runLine(QStringLiteral("callproto[int Twice(int)] trailing")));
}

}  // namespace
}  // namespace quillon::script::testing

#include "HostCallTest.moc"
