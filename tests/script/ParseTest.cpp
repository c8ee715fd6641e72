// Loading, pretreatment, sections, labels and routines.
#include "EngineFixture.h"
#include "script/ScriptText.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>

namespace quillon::script::testing {
namespace {

TEST(ScriptTextTest, DecodesUtf8WithBomAndFallsBackToGbk)
{
    EXPECT_EQ(decodeScriptBytes(QByteArray("\xEF\xBB\xBFkey \"a\"")), QStringLiteral("key \"a\""));
    EXPECT_EQ(decodeScriptBytes(QByteArray("\xE4\xBD\xA0\xE5\xA5\xBD")), QStringLiteral("你好"));
    EXPECT_EQ(decodeScriptBytes(QByteArray("\xC4\xE3\xBA\xC3")), QStringLiteral("你好"));
}

// Short texts whose bytes read validly both ways, in the line they would
// stand in: each must come out as it was written.
TEST(ScriptTextTest, ChoosesTheEncodingThatReadsLikeTextWhenBothAreValid)
{
    const char* words[] = {"停止", "谢谢", "你好", "确定", "记事本", "Привет", "окно", "дом", "café", "Größe",
                           "crème brûlée", "naïve", "señor", "中文 and Ελληνικά"};
    QStringDecoder gbk("GBK");
    QStringEncoder toGbk("GBK");
    ASSERT_TRUE(gbk.isValid());
    for (const char* word : words) {
        const QString text = QStringLiteral("messagebox \"%1\"").arg(QString::fromUtf8(word));
        EXPECT_EQ(decodeScriptBytes(text.toUtf8()), text) << "UTF-8: " << word;
        const QByteArray inGbk = toGbk(text);
        if (!toGbk.hasError() && gbk.decode(inGbk) == text)
            EXPECT_EQ(decodeScriptBytes(inGbk), text) << "GBK: " << word;
    }
    EXPECT_EQ(decodeScriptBytes(QByteArray("\xFF\xFEx\0=\0" "1\0", 8)), QStringLiteral("x=1")) << "UTF-16 with BOM";
}

TEST_F(EngineTest, UnreadableFileNamesPathAndReasonAndKeepsTables)
{
    load(lines({"section down", "x=1", "end section"}));
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("none.txt"));
    try {
        engine->LoadScriptFile(missing);
        FAIL() << "no error";
    } catch (const ScriptFileError& e) {
        EXPECT_EQ(e.number, 53);
        EXPECT_TRUE(e.message.contains(missing));
        EXPECT_TRUE(e.message.contains(QStringLiteral("No such file")));
    }
    EXPECT_TRUE(engine->FindSection(QStringLiteral("down")).has_value());

    QFile f(dir.filePath(QStringLiteral("s.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("section up\r x=2\rend section\r");
    f.close();
    engine->LoadScriptFile(f.fileName());
    EXPECT_EQ(engine->ScriptLines().size(), 3);
    EXPECT_EQ(engine->FindSection(QStringLiteral("UP"))->startLine, 1);
}

TEST_F(EngineTest, PretreatmentRewritesMacrosAndStripsComments)
{
    struct Case {
        const char* line;
        const char* expected;
    } cases[] = {
        {"Key \"a\"", "setsys(key,\"a\")"},
        {"h=FindWindow(\"Notepad\")", "getsys(findwindow,\"notepad\",h)"},
        {"mouse \"lclick\" // click", "setsys(mouse,\"lclick\")"},
        {"x = 1 // note \"y\"", "x = 1"},
        {"s = \"a//b\"", "s = \"a//b\""},
        {"// only a comment", ""},
        {"monkey(1)", "setsys(key,ey(1)"},  // the key macro inside a word: malformed, as written
        {"X = Y + 1", "X = Y + 1"},
    };
    engine->LoadDefineOrders();
    for (const Case& c : cases)
        EXPECT_EQ(engine->PretreatLine(QString::fromUtf8(c.line)), QString::fromUtf8(c.expected)) << c.line;
}

TEST_F(EngineTest, PretreatmentOffLeavesLinesAsWritten)
{
    engine->setEnablePretreat(false);
    load(lines({"section down", "key \"a\" // c", "end section"}));
    EXPECT_EQ(engine->FindSection(QStringLiteral("down"))->lines,
              QStringList{QStringLiteral("key \"a\" // c")});
}

TEST_F(EngineTest, LaterDefineOrderReplacesValueAtFirstPosition)
{
    engine->setDefineOrders({QStringLiteral("abc ;xyz"), QStringLiteral("zz ;1"), QString(),
                             QStringLiteral("no separator"), QStringLiteral("ABC ;qqq")});
    engine->LoadDefineOrders();
    ASSERT_EQ(engine->MacroTable().size(), 2u);
    EXPECT_EQ(engine->MacroTable()[0].name, QStringLiteral("abc"));
    EXPECT_EQ(engine->MacroTable()[0].value, QStringLiteral("qqq"));
}

TEST_F(EngineTest, SectionsSplitAtHeadersAndEnds)
{
    load(lines({"top=1", "Section Down", "a=1", "// gone", "section a", "section b", "b=1",
                "end section", "after=1", "section down", "second=1", "end section"}));
    const std::vector<TSection> table = engine->SectionTable();
    ASSERT_EQ(table.size(), 4u);
    const auto down = engine->FindSection(QStringLiteral("DOWN"));
    ASSERT_TRUE(down);
    EXPECT_EQ(down->startLine, 2);
    EXPECT_EQ(down->lines, (QStringList{QStringLiteral("a=1"), QString()}));
    EXPECT_TRUE(engine->FindSection(QStringLiteral("a"))->lines.isEmpty());
    EXPECT_EQ(engine->FindSection(QStringLiteral("b"))->lines, QStringList{QStringLiteral("b=1")});
    EXPECT_FALSE(engine->FindSection(QStringLiteral("up")));
    EXPECT_EQ(engine->ScriptLines()[3], QString());  // a comment line keeps its index
}

TEST_F(EngineTest, BlockLabelsNameTheirPartners)
{
    load(lines({"section down", "i=0", "do while i<3", "i=i+1", "loop", "end section",
                "", "", "", "", "if x>1 then", "y=1", "elseif x=0 then", "y=0", "else", "y=-1",
                "end if", "if a then", "if b then", "else", "endif", "c=1", "end if", "rem Start"}));
    struct Case {
        const char* label;
        int line;
    } cases[] = {
        {"do_2", 4}, {"loop_4", 2}, {"if_10", 12}, {"elseif_12", 14}, {"elseif_end_12", 16},
        {"else_14", 16}, {"if_17", 22}, {"if_18", 19}, {"else_19", 20}, {"start", 23}, {"Start", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(engine->FindLabel(QString::fromLatin1(c.label)), c.line) << c.label;
    EXPECT_TRUE(errors.empty());
}

TEST_F(EngineTest, MissingPartnerIsReportedOrStopsParsing)
{
    load(lines({"for i=1 to 2", "do while x", "if a then", "loop", "sub s", "next"}));
    const std::vector<ReportedError> expected = {
        {2, 0, 811, QStringLiteral("条件或循环缺少end标记")},
        {4, 0, 811, QStringLiteral("条件或循环缺少end标记")},
    };
    EXPECT_EQ(errors, expected);
    EXPECT_EQ(engine->FindLabel(QStringLiteral("if_2")), -1);

    engine->OnError = nullptr;
    try {
        load(lines({"do while 1"}));
        FAIL() << "parsing went on";
    } catch (const ScriptFailure& f) {
        EXPECT_EQ(f.number, 811);
        EXPECT_EQ(f.description, QStringLiteral("缺少结束标记"));
    }
}

TEST_F(EngineTest, RoutinesAndCallsAreRecognised)
{
    load(lines({"sub foo(a)", "end sub", "function add(a, b)", "end function", "sub foo", "end sub"}));
    EXPECT_EQ(engine->FindRoutine(QStringLiteral("foo")), 4);  // the later declaration wins
    EXPECT_EQ(engine->FindLabel(QStringLiteral("sub_0")), 2);
    EXPECT_EQ(engine->FindLabel(QStringLiteral("func_2")), 4);
    struct Case {
        const char* w;
        bool call;
    } cases[] = {
        {"foo", true}, {"foo(1)", true}, {"call foo 1", true}, {"x = add(1, 2)", true},
        {"msgbox foo", true}, {"food=1", false}, {"myfoo(1)", false}, {"add=a+b", false},
        {"add = a + b", true}, {"sub foo(a)", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(engine->IsRoutineCall(QString::fromLatin1(c.w)), c.call) << c.w;
}


TEST_F(EngineTest, ParseWithoutAnErrorHandlerFinishesAndReplacesTheTables)
{
    load(lines({"section old", "x=1", "end section"}));
    engine->OnError = nullptr;
    try {
        load(lines({"section new", "if 1=1 then", "n=1", "end section", "do while i<2", "i=i+1", "loop"}));
        FAIL() << "the missing end was not reported";
    } catch (const ScriptFailure& f) {
        EXPECT_EQ(f.number, 811);
        EXPECT_EQ(f.description, QStringLiteral("缺少结束标记"));
    }
    EXPECT_FALSE(engine->FindSection(QStringLiteral("old"))) << "the previous script's section is still there";
    ASSERT_TRUE(engine->FindSection(QStringLiteral("new")));
    EXPECT_EQ(engine->FindLabel(QStringLiteral("do_4")), 6) << "labels after the missing end were never built";
    QString result;
    EXPECT_TRUE(engine->runPass(QString(), result));
    EXPECT_EQ(var("i"), QStringLiteral("2"));
}

TEST_F(EngineTest, BlanksAroundTheEqualsSignOfAMacroLineRewriteAsWithout)
{
    engine->LoadDefineOrders();
    const QString expected = QStringLiteral("getsys(findhandle,\"x\",h)");
    for (const char* line : {"h=findhandle(\"x\")", "h = findhandle(\"x\")", "h =findhandle(\"x\")",
                             "h=  FindHandle(\"X\")", "h\t=\tfindhandle(\"x\")"})
        EXPECT_EQ(engine->PretreatLine(QString::fromLatin1(line)), expected) << line;
}

TEST_F(EngineTest, UnreadableKindsOfFileAreRefusedWithoutReadingThemWhole)
{
    for (const char* device : {"/dev/zero", "/dev/null"}) {
        try {
            engine->LoadScriptFile(QString::fromLatin1(device));
            FAIL() << device << " was read";
        } catch (const ScriptFileError& e) {
            EXPECT_EQ(e.number, 57);
            EXPECT_TRUE(e.message.contains(QString::fromLatin1(device)));
        }
    }
    QTemporaryDir dir;
    QFile big(dir.filePath(QStringLiteral("big.txt")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(qint64(kMaxScriptFileBytes) + 1));
    big.close();
    try {
        engine->LoadScriptFile(big.fileName());
        FAIL() << "a file beyond the limit was read";
    } catch (const ScriptFileError& e) {
        EXPECT_EQ(e.number, 7);
    }
}

}  // namespace
}  // namespace quillon::script::testing
