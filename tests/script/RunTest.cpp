// Running sections and whole scripts: block rules, jumps, routines, errors.
#include "EngineFixture.h"

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

}  // namespace
}  // namespace quillon::script::testing
