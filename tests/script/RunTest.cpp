// Running sections and whole scripts: block rules, jumps, routines, errors.
#include "EngineFixture.h"
#include "script/ScriptThrd.h"

namespace quillon::script::testing {
namespace {

TEST_F(EngineTest, DoWhileLoopsAndReportsEveryLineIndex)
{
    load(lines({"section down", "i=0", "do while i<3", "i=i+1", "loop", "end section"}));
    std::vector<int> seen;
    engine->OnLineNumber = [&](TScripert*, int n) { seen.push_back(n); };
    EXPECT_TRUE(run("down"));
    EXPECT_EQ(var("i"), QStringLiteral("3"));
    const std::vector<int> expected = {1, 2, 3, 4, 2, 3, 4, 2, 3, 4, 2, 4};
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(engine->Finished());
}

TEST_F(EngineTest, FirstLineOfAPassArrivesInSequence)
{
    load(lines({"section down", "for i=1 to 2", "n=n+1", "next", "end section",
                "section up", "else", "e=1", "end if", "end section"}));
    // A leading for runs its initial assignment on every pass.
    for (const char* n : {"2", "4"}) {
        EXPECT_TRUE(run("down"));
        EXPECT_EQ(var("i"), QStringLiteral("4"));
        EXPECT_EQ(var("n"), QString::fromLatin1(n));
    }
    // A leading else acts as after the line above it: its branch is skipped.
    EXPECT_TRUE(run("up"));
    EXPECT_TRUE(var("e").isEmpty());
}

TEST_F(EngineTest, FunctionCallBindsArgumentsAndReturnsAfterTheCall)
{
    load(lines({"section down", "x = add(1, 2)", "y=x*10", "endscript", "function add(a, b)",
                "add=a+b", "end function", "end section"}));
    EXPECT_TRUE(run("down"));
    EXPECT_EQ(var("y"), QStringLiteral("30"));
    const QStringList expected = {QStringLiteral("dim a, b"), QStringLiteral("a=1"), QStringLiteral(" b=2"),
                                  QStringLiteral("add=a+b"), QStringLiteral("x=add"), QStringLiteral("y=x*10")};
    EXPECT_EQ(host().statements.mid(0, 6), expected);
    EXPECT_TRUE(errors.empty());
}

TEST_F(EngineTest, SubDeclaredAfterOrBeforeUseIsSkippedInSequence)
{
    load(lines({"section down", "sub early()", "n=n+100", "end sub", "n=0", "bump", "call bump",
                "early()", "endscript", "sub bump", "n=n+1", "end sub", "end section"}));
    EXPECT_TRUE(run("down"));
    EXPECT_EQ(var("n"), QStringLiteral("102"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(EngineTest, GotoEndscriptAndUserLabels)
{
    load(lines({"section down", "n=1", "goto skip", "n=2", "rem Skip", "m=n", "endscript", "m=3",
                "end section", "section bad", "goto Skip", "end section"}));
    EXPECT_TRUE(run("down"));
    EXPECT_EQ(var("m"), QStringLiteral("1"));
    EXPECT_FALSE(run("bad"));  // labels are stored in lower case
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].number, 812);
    EXPECT_EQ(errors[0].line, 10);
    EXPECT_EQ(errors[0].description, QStringLiteral("跳转到无法定位的行号:-11"));
    EXPECT_TRUE(engine->Finished());
}

TEST_F(EngineTest, JumpsPastTheSectionEndRunScriptLines)
{
    load(lines({"section down", "goto out", "end section", "rem out", "past=1", "section up",
                "goto up_end", "never=1", "rem up_end", "end section"}));
    EXPECT_TRUE(run("down"));
    EXPECT_EQ(var("past"), QStringLiteral("1"));
    // Past the end, every script line runs, headers included (as statements).
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].line, 5);
    EXPECT_EQ(errors[1].line, 9);
    EXPECT_TRUE(var("never").isEmpty());
}

TEST_F(EngineTest, EmptyOrMissingSectionStillEvaluatesResult)
{
    load(lines({"section empty", "end section"}));
    set("result", "r");
    QString result;
    EXPECT_TRUE(engine->RunSection(QStringLiteral("empty"), result));
    EXPECT_EQ(result, QStringLiteral("r"));
    result.clear();
    EXPECT_TRUE(engine->RunSection(QStringLiteral("nothing"), result));
    EXPECT_EQ(result, QStringLiteral("r"));
}

TEST_F(EngineTest, StatementErrorsAreReportedAndThePassGoesOn)
{
    load(lines({"section down", "a=1", "b=1/0", "msgbox(\"a\", 0)", "c=2", "end section"}));
    EXPECT_TRUE(run("down"));
    EXPECT_EQ(var("c"), QStringLiteral("2"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].line, 2);
    EXPECT_EQ(errors[0].number, 11);
    EXPECT_TRUE(host().statements.contains(QStringLiteral("msgbox \"a\", 0 ")));
}

TEST_F(EngineTest, RefusedSubCallWithoutParenthesesIsNotRetriedForever)
{
    load(lines({"section down", "f(1)", "end section"}));
    host().refuseEverything = true;
    EXPECT_TRUE(run("down"));
    EXPECT_EQ(host().statements, (QStringList{QStringLiteral("f(1)"), QStringLiteral("f 1 ")}));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].number, 1044);
}

TEST_F(EngineTest, FailingConditionEndsThePassWithoutResult)
{
    load(lines({"section down", "if \"x\" then", "end if", "after=1", "end section"}));
    set("result", "r");
    QString result;
    EXPECT_FALSE(engine->RunSection(QStringLiteral("down"), result));
    EXPECT_TRUE(result.isEmpty());
    EXPECT_TRUE(var("after").isEmpty());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].line, 1);
    EXPECT_EQ(errors[0].number, 13);
    EXPECT_TRUE(engine->Finished()) << "an error still leaves the engine finished";
}

TEST_F(EngineTest, WholeScriptRunsOutsideSectionsAndGuardsJumpsBeforeTheStart)
{
    load(lines({"for i=1 to 2", "n=n+1", "next", "section down", "n=100", "end section", "for j=1 to 1",
                "m=j", "next"}));
    QString result;
    EXPECT_TRUE(engine->runPass(QString(), result));
    EXPECT_EQ(var("n"), QStringLiteral("2"));
    EXPECT_EQ(var("m"), QStringLiteral("1")) << "the line after an end section arrives in sequence";

    load(lines({"x=1", "goto nowhere", "y=1"}));
    EXPECT_FALSE(engine->runPass(QString(), result));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back().number, 812);
    EXPECT_EQ(errors.back().line, 1);  // the line that jumped
    EXPECT_TRUE(var("y").isEmpty());
}

TEST_F(EngineTest, HandlerFailureEndsThePassAsAnError)
{
    load(lines({"section down", "key \"a\"", "after=1", "end section"}));
    engine->OnSetSysParam = [](TScripert*, QString&, QString& content, auto&) {
        throw ScriptFailure(13, QStringLiteral("Type mismatch: '%1'").arg(content));
    };
    EXPECT_FALSE(run("down"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], (ReportedError{1, 0, 13, QStringLiteral("Type mismatch: 'a'")}));
    EXPECT_TRUE(var("after").isEmpty());

    engine->OnSetSysParam = [](TScripert*, QString&, QString&, auto&) { throw std::runtime_error("boom"); };
    EXPECT_FALSE(run("down"));
    EXPECT_EQ(errors.back(), (ReportedError{1, 0, 507, QStringLiteral("boom")}));
}


// Runs a section of the engine's script on a run thread made from it, so a
// script that would never end fails the test instead of hanging it.
class BoundedRunTest : public EngineTest {
protected:
    bool runBounded(const char* section, int limitMs = 5000)
    {
        runner = std::make_unique<tscriptthrd>(nullptr, engine.get());
        runner->setSectionName(QString::fromLatin1(section));
        runner->resume();
        if (runner->waitIdle(limitMs))
            return true;
        runner->Stop();
        return false;
    }
    QString runVar(const char* name)
    {
        return static_cast<RecordingHost&>(runner->Engine()->ScriptHost()).var(name);
    }
    std::unique_ptr<tscriptthrd> runner;
};

TEST_F(BoundedRunTest, EmptyLoopBodiesEnd)
{
    load(lines({"section down", "x=0", "do while x<0", "loop", "for i=1 to 3", "next", "done=1", "end section"}));
    ASSERT_TRUE(runBounded("down")) << "an empty loop body never ended";
    EXPECT_EQ(runVar("done"), QStringLiteral("1"));
    EXPECT_EQ(runVar("i"), QStringLiteral("5")) << "as after a loop with a body";
    EXPECT_TRUE(errors.empty());
}

TEST_F(BoundedRunTest, EmptyThenBranchStillRunsTheElseAndTheElseIf)
{
    load(lines({"section down", "x=0", "if x=1 then", "else", "e=1", "end if", "if x=1 then", "elseif x=0 then",
                "f=1", "end if", "if x=0 then", "else", "g=1", "end if", "end section"}));
    ASSERT_TRUE(runBounded("down"));
    EXPECT_EQ(runVar("e"), QStringLiteral("1"));
    EXPECT_EQ(runVar("f"), QStringLiteral("1"));
    EXPECT_TRUE(runVar("g").isEmpty()) << "a true branch with an empty body skips the else";
}

TEST_F(BoundedRunTest, ForLoopsNestDeeperThanTheOldRing)
{
    QStringList script{QStringLiteral("section down")};
    for (int i = 0; i < 300; ++i)
        script << QStringLiteral("for v%1=1 to 2").arg(i);
    script << QStringLiteral("c=c+1");
    for (int i = 0; i < 300; ++i)
        script << QStringLiteral("next");
    script << QStringLiteral("end section");
    // Every loop but the innermost runs once, the innermost twice.
    for (int i = 0; i < 299; ++i)
        script[1 + i] = QStringLiteral("for v%1=1 to 1").arg(i);
    engine->LoadScriptText(script.join(QLatin1Char('\n')));
    ASSERT_TRUE(runBounded("down")) << "300 nested for loops did not end";
    EXPECT_EQ(runVar("c"), QStringLiteral("2"));
    EXPECT_EQ(runVar("v0"), QStringLiteral("3"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(BoundedRunTest, ACallEndingABlockReturnsAsIfItHadRunInSequence)
{
    load(lines({"section down", "if 1=1 then", "call bump", "else", "wrong=1", "end if", "n=0",
                "do while n<3", "n=n+1", "call bump", "loop", "endscript", "sub bump", "calls=calls+1", "end sub",
                "end section"}));
    ASSERT_TRUE(runBounded("down"));
    EXPECT_TRUE(runVar("wrong").isEmpty()) << "the else branch ran after the call";
    EXPECT_EQ(runVar("n"), QStringLiteral("3"));
    EXPECT_EQ(runVar("calls"), QStringLiteral("4"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(BoundedRunTest, RecursionGoesTenThousandLevelsDeepAndThenRunsOutOfStack)
{
    load(lines({"section down", "call down(10000)", "after=1", "endscript", "sub down(k)", "levels=levels+1",
                "if k>0 then", "call down(k-1)", "end if", "end sub", "end section",
                "section forever", "call again", "endscript", "sub again", "call again", "end sub", "end section"}));
    ASSERT_TRUE(runBounded("down", 20000));
    EXPECT_EQ(runVar("levels"), QStringLiteral("10001"));
    EXPECT_EQ(runVar("after"), QStringLiteral("1"));
    EXPECT_TRUE(errors.empty()) << errors.front().description.toStdString();

    ASSERT_TRUE(runBounded("forever", 20000));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].number, 28);
    EXPECT_EQ(errors[0].description, QStringLiteral("Out of stack space"));
    EXPECT_EQ(errors[0].line, 15);
}

TEST_F(BoundedRunTest, ArgumentsNeverChangeWhereARoutineReturns)
{
    load(lines({"section down", "call s(1,1,-2147483648)", "after=1", "call two(7)", "endscript", "sub s",
                "end sub", "sub two(a, b)", "got=a & \"|\" & isempty(b)", "end sub", "end section"}));
    ASSERT_TRUE(runBounded("down"));
    EXPECT_EQ(runVar("after"), QStringLiteral("1"));
    EXPECT_EQ(runVar("got"), QStringLiteral("7|True")) << "a missing argument is Empty";
    EXPECT_TRUE(errors.empty()) << errors.front().description.toStdString();
}

TEST_F(EngineTest, AChineseCharacterBeforeARoutineNameStillMakesACall)
{
    load(lines({"sub foo(a)", "end sub"}));
    EXPECT_TRUE(engine->IsRoutineCall(QString::fromUtf8("\xE4\xB8\xAD" "foo(1)")));
    EXPECT_TRUE(engine->IsRoutineCall(QString::fromUtf8("x=\xC3\xA9" "foo 1")));
    EXPECT_FALSE(engine->IsRoutineCall(QStringLiteral("x=_foo(1)")));
}

}  // namespace
}  // namespace quillon::script::testing
