// What the host must answer as VBScript does: each row is optional setup
// statements, an expression, and the expected CStr text ("=...") or error
// number ("!n"). Every row runs on a fresh host.
#include "VbsTestUtil.h"

#include <gtest/gtest.h>

namespace quillon::vbs::test {
namespace {

struct Case {
    const char* setup;
    const char* expression;
    const char* expected;
};

void runTable(const Case* cases, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        ScriptHost host;
        EXPECT_EQ(outcome(host, cases[i].setup, cases[i].expression), cases[i].expected)
            << "setup: " << cases[i].setup << "\nexpression: " << cases[i].expression;
    }
}

#define RUN_TABLE(table) runTable(table, sizeof(table) / sizeof(table[0]))

TEST(VbsConformance, NumbersRenderAsCStrDoes)
{
    const Case cases[] = {
        {"", "1/3", "=0.333333333333333"},
        {"", "2/3", "=0.666666666666667"},
        {"", "0.1+0.2", "=0.3"},
        {"", "10^15", "=1E+15"},
        {"", "10^16", "=1E+16"},
        {"", "123456789012345", "=123456789012345"},
        {"", "1234567890123456", "=1.23456789012346E+15"},
        {"", "1.5E-7", "=1.5E-07"},
        {"", "2^-20", "=9.5367431640625E-07"},
        {"", "0.0001", "=0.0001"},
        {"", "-1.5", "=-1.5"},
        {"", "1.0", "=1"},
        {"", ".5", "=0.5"},
        {"", "1E+3", "=1000"},
        {"", "&HFF", "=255"},
        {"", "&HFFFF", "=-1"},
        {"", "&HFFFF&", "=65535"},
        {"", "&H7FFFFFFF", "=2147483647"},
        {"", "&O17", "=15"},
        {"", "CSng(1/3)", "=0.3333333"},
        {"", "CCur(1.23456)", "=1.2346"},
        {"", "CCur(-0.5)", "=-0.5"},
        {"", "CCur(922337203685477)", "=922337203685477"},
        {"", "2147483647*2147483647", "=4.61168601413242E+18"},
        {"", "#1/2/2020 3:04:05 PM#", "=1/2/2020 3:04:05 PM"},
        {"", "#1/2/2020#", "=1/2/2020"},
        {"", "#13:00#", "=1:00:00 PM"},
        {"", "#12/30/1899#", "=12:00:00 AM"},
        {"", "True", "=True"},
        {"", "Empty", "="},
        {"", "Null", "=Null"},
    };
    RUN_TABLE(cases);
}

TEST(VbsConformance, ArithmeticWidensAsVbscriptDoes)
{
    const Case cases[] = {
        {"", "TypeName(1)", "=Integer"},
        {"", "TypeName(32768)", "=Long"},
        {"", "TypeName(2147483648)", "=Double"},
        {"", "32767+1", "=32768"},
        {"", "TypeName(32767+1)", "=Long"},
        {"", "TypeName(32766+1)", "=Integer"},
        {"", "2147483647+1", "=2147483648"},
        {"", "TypeName(2147483647+1)", "=Double"},
        {"", "TypeName(200*200)", "=Long"},
        {"", "-32768-1", "=-32769"},
        {"", "TypeName(1.5+1)", "=Double"},
        {"", "TypeName(CCur(1)+1)", "=Currency"},
        {"", "TypeName(CCur(1)+1.5)", "=Double"},
        {"", "CCur(0.1)*3", "=0.3"},
        {"", "CCur(922337203685477)+1", "!6"},
        {"", "CByte(200)+CByte(100)", "=300"},
        {"", "TypeName(CByte(200)+CByte(100))", "=Integer"},
        {"", "TypeName(CByte(2)+CByte(3))", "=Byte"},
        {"", "TypeName(CSng(1)+1)", "=Single"},
        {"", "TypeName(CSng(1)+32768)", "=Double"},
        {"", "7/2", "=3.5"},
        {"", "TypeName(4/2)", "=Double"},
        {"", "7\\2", "=3"},
        {"", "-7\\2", "=-3"},
        {"", "7.5\\2", "=4"},
        {"", "5 Mod 3", "=2"},
        {"", "-7 Mod 3", "=-1"},
        {"", "7 Mod -3", "=1"},
        {"", "5.5 Mod 2", "=0"},
        {"", "2^10", "=1024"},
        {"", "TypeName(2^2)", "=Double"},
        {"", "-2^2", "=-4"},
        {"", "2^3^2", "=64"},
        {"", "2+3*4", "=14"},
        {"", "(2+3)*4", "=20"},
        {"", "10-4-3", "=3"},
        {"", "7 Mod 4 * 2", "=7"},
        {"", "7 \\ 2 * 3", "=1"},
        {"", "(-8)^(1/3)", "!5"},
        {"", "1/0", "!11"},
        {"", "0/0", "!6"},
        {"", "5\\0", "!11"},
        {"", "5 Mod 0", "!11"},
        {"", "True+True", "=-2"},
        {"", "TypeName(True+True)", "=Integer"},
        {"", "Empty+Empty", "=0"},
        {"", "TypeName(Empty+Empty)", "=Integer"},
        {"", "-Empty", "=0"},
        {"", "-\"2\"", "=-2"},
        {"", "10^400", "!6"},
        {"", "#1/1/2020#+1", "=1/2/2020"},
        {"", "TypeName(#1/1/2020#+1)", "=Date"},
        {"", "#1/2/2020#-#1/1/2020#", "=1"},
        {"", "TypeName(#1/2/2020#-#1/1/2020#)", "=Double"},
        {"", "Null+1", "=Null"},
        {"", "Null*0", "=Null"},
        {"", "-Null", "=Null"},
    };
    RUN_TABLE(cases);
}

TEST(VbsConformance, PlusOnStringsAndConcatenation)
{
    const Case cases[] = {
        {"", "\"3\"+\"4\"", "=34"},
        {"", "\"3\"+4", "=7"},
        {"", "TypeName(\"3\"+4)", "=Double"},
        {"", "\"a\"+1", "!13"},
        {"", "\"a\"+Empty", "=a"},
        {"", "\"3\"-\"1\"", "=2"},
        {"", "\"a\"+Null", "=Null"},
        {"", "\"a\" & 1 & True", "=a1True"},
        {"", "1 & 2", "=12"},
        {"", "1.5 & \"\"", "=1.5"},
        {"", "#1/2/2020# & \"\"", "=1/2/2020"},
        {"", "Null & Null", "=Null"},
        {"", "\"a\" & Null", "=a"},
        {"", "Empty & \"x\"", "=x"},
        {"", "1 + 2 & 3", "=33"},
        {"", "\"He said \"\"hi\"\"\"", "=He said \"hi\""},
    };
    RUN_TABLE(cases);
}

TEST(VbsConformance, ComparisonsFollowTheTypedLiteralRule)
{
    const Case cases[] = {
        {"", "1 < 2", "=True"},
        {"", "2 >= 2", "=True"},
        {"", "1 = 1.0", "=True"},
        {"", "\"a\" < \"b\"", "=True"},
        {"", "\"a\" < \"B\"", "=False"},
        {"", "\"abc\" <= \"abd\"", "=True"},
        {"", "\"10\" = 10", "=True"},
        {"x = \"10\"", "x = 10", "=True"},
        {"x = \"10\"", "x > 9", "=True"},
        {"x = \"10\"", "x < 9", "=False"},
        {"x = \"abc\"", "x = 1", "!13"},
        {"x = \"10\" : y = 9", "x > y", "=True"},
        {"x = \"1\" : y = 1", "x = y", "=False"},
        {"x = \"1\" : y = 1", "y < x", "=True"},
        {"n = 10", "n = \"10\"", "=True"},
        {"n = 10", "n < \"9\"", "=True"},
        {"", "Empty = 0", "=True"},
        {"", "Empty = \"\"", "=True"},
        {"", "x < 1", "=True"},
        {"", "Null = Null", "=Null"},
        {"", "1 <> Null", "=Null"},
        {"", "True = -1", "=True"},
        {"", "#1/1/2020# = 43831", "=True"},
        {"", "Nothing Is Nothing", "=True"},
        {"", "1 Is 1", "!424"},
        {"", "Array(1) = 1", "!13"},
    };
    RUN_TABLE(cases);
}

TEST(VbsConformance, LogicalOperatorsAreBitwiseWithNullRules)
{
    const Case cases[] = {
        {"", "True And False", "=False"},
        {"", "5 And 3", "=1"},
        {"", "5 Or 3", "=7"},
        {"", "5 Xor 3", "=6"},
        {"", "5 Eqv 3", "=-7"},
        {"", "True Eqv True", "=True"},
        {"", "True Imp False", "=False"},
        {"", "Not 0", "=-1"},
        {"", "Not True", "=False"},
        {"", "Not Empty", "=-1"},
        {"", "Not Null", "=Null"},
        {"", "True And Null", "=Null"},
        {"", "False And Null", "=False"},
        {"", "True Or Null", "=True"},
        {"", "False Or Null", "=Null"},
        {"", "Null Xor True", "=Null"},
        {"", "False Imp Null", "=True"},
        {"", "Null Imp True", "=True"},
        {"", "Null Imp False", "=Null"},
        {"", "Not 1 = 2", "=True"},
        {"", "1 = 1 And 2 = 2", "=True"},
        {"", "True Or False And False", "=True"},
        {"", "TypeName(CByte(5) And CByte(3))", "=Byte"},
        {"", "TypeName(True And 1)", "=Integer"},
        {"", "0 Or &HFFFF&", "=65535"},
        {"", "\"x\" And 1", "!13"},
    };
    RUN_TABLE(cases);
}

TEST(VbsConformance, ConversionsRoundAndReportErrors)
{
    const Case cases[] = {
        {"", "CInt(2.5)", "=2"},
        {"", "CInt(3.5)", "=4"},
        {"", "CInt(-2.5)", "=-2"},
        {"", "CInt(\"12\")", "=12"},
        {"", "CInt(32767.5)", "!6"},
        {"", "CInt(\"abc\")", "!13"},
        {"", "CInt(Null)", "!94"},
        {"", "CInt(Empty)", "=0"},
        {"", "CInt(True)", "=-1"},
        {"", "CLng(2147483647.4)", "=2147483647"},
        {"", "CLng(2147483648)", "!6"},
        {"", "CLng(\" &H10 \")", "=16"},
        {"", "CLng(\"1,000\")", "=1000"},
        {"", "CLng(2.5)", "=2"},
        {"", "CByte(255)", "=255"},
        {"", "CByte(256)", "!6"},
        {"", "CByte(-1)", "!6"},
        {"", "CBool(\"true\")", "=True"},
        {"", "CBool(\" False \")", "=False"},
        {"", "CBool(\"yes\")", "!13"},
        {"", "CBool(0)", "=False"},
        {"", "CBool(2)", "=True"},
        {"", "CBool(\"0\")", "=False"},
        {"", "CDbl(\"1e3\")", "=1000"},
        {"", "CDbl(\" 2 \")", "=2"},
        {"", "CDbl(\"\")", "!13"},
        {"", "CDbl(\"1 2\")", "!13"},
        {"", "CDbl(#1/1/2020#)", "=43831"},
        {"", "CStr(True)", "=True"},
        {"", "CStr(Null)", "!94"},
        {"", "CStr(Empty)", "="},
        {"", "CStr(Array())", "!13"},
        {"", "CSng(1.5)", "=1.5"},
        {"", "TypeName(CSng(1))", "=Single"},
        {"", "CSng(1E+39)", "!6"},
        {"", "CCur(2.5)", "=2.5"},
        {"", "CCur(1)/3", "=0.333333333333333"},
        {"", "CCur(\"x\")", "!13"},
        {"", "CInt()", "!450"},
        {"", "CInt(1, 2)", "!450"},
    };
    RUN_TABLE(cases);
}

TEST(VbsConformance, TypeInspectionAndConstants)
{
    const Case cases[] = {
        {"", "TypeName(Empty)", "=Empty"},
        {"", "TypeName(Null)", "=Null"},
        {"", "TypeName(\"\")", "=String"},
        {"", "TypeName(True)", "=Boolean"},
        {"", "TypeName(Nothing)", "=Nothing"},
        {"", "TypeName(Array())", "=Variant()"},
        {"", "TypeName(CByte(1))", "=Byte"},
        {"", "TypeName(#1/1/2020#)", "=Date"},
        {"", "VarType(Empty)", "=0"},
        {"", "VarType(Null)", "=1"},
        {"", "VarType(1)", "=2"},
        {"", "VarType(32768)", "=3"},
        {"", "VarType(CSng(1))", "=4"},
        {"", "VarType(1.5)", "=5"},
        {"", "VarType(CCur(1))", "=6"},
        {"", "VarType(#1/1/2020#)", "=7"},
        {"", "VarType(\"\")", "=8"},
        {"", "VarType(Nothing)", "=9"},
        {"", "VarType(True)", "=11"},
        {"", "VarType(CByte(1))", "=17"},
        {"", "VarType(Array())", "=8204"},
        {"", "IsEmpty(never)", "=True"},
        {"", "IsEmpty(\"\")", "=False"},
        {"", "IsNull(Null)", "=True"},
        {"", "IsNull(Empty)", "=False"},
        {"", "IsObject(Nothing)", "=True"},
        {"", "IsObject(1)", "=False"},
        {"", "IsArray(Array())", "=True"},
        {"", "IsArray(\"a\")", "=False"},
        {"", "IsNumeric(\"1e3\")", "=True"},
        {"", "IsNumeric(\" 12 \")", "=True"},
        {"", "IsNumeric(\"abc\")", "=False"},
        {"", "IsNumeric(\"\")", "=False"},
        {"", "IsNumeric(Empty)", "=True"},
        {"", "IsNumeric(Null)", "=False"},
        {"", "IsNumeric(True)", "=True"},
        {"", "IsNumeric(#1/1/2020#)", "=False"},
        {"", "vbCrLf = vbCr & vbLf", "=True"},
        {"", "vbNullString = \"\"", "=True"},
        {"", "vbTab = \"\t\"", "=True"},
        {"", "vbOK & vbCancel & vbYes & vbNo", "=1267"},
        {"", "vbCritical + vbYesNo", "=20"},
        {"", "vbInformation", "=64"},
        {"", "vbTextCompare", "=1"},
        {"", "vbString", "=8"},
        {"", "vbArray", "=8192"},
        {"", "VBCRLF = vbcrlf", "=True"},
        {"", "Eval(\"1+1\")", "=2"},
        {"x = 4", "Eval(\"x * 2\")", "=8"},
        {"x = 4", "Eval(\"x = 4\")", "=True"},
        {"", "Eval(\"1 +\")", "!1002"},
        {"", "MsgBox(\"hi\")", "=1"},
        {"", "MsgBox(\"hi\", , \"title\")", "=1"},
        {"", "MsgBox(, 1)", "!449"},
        {"", "CStr(1, )", "=1"},
        {"", "CStr( , )", "!449"},
    };
    RUN_TABLE(cases);
}

TEST(VbsConformance, ArraysHaveValueSemanticsAndBounds)
{
    const Case cases[] = {
        {"Dim a(3)", "UBound(a)", "=3"},
        {"Dim a(3)", "LBound(a)", "=0"},
        {"Dim a(3)", "IsEmpty(a(3))", "=True"},
        {"Dim a(3)", "a(4)", "!9"},
        {"Dim a(3)", "a(-1)", "!9"},
        {"Dim a(3) : a(1) = \"x\"", "a(1)", "=x"},
        {"Dim a(3) : a(1.5) = \"x\"", "a(2)", "=x"},
        {"Dim m(2,3) : m(2,3) = 7", "m(2,3) & UBound(m,1) & UBound(m,2)", "=723"},
        {"Dim m(2,3)", "UBound(m,3)", "!9"},
        {"Dim m(2,3)", "m(1)", "!9"},
        {"a = Array(1,\"b\",3)", "UBound(a) & a(1)", "=2b"},
        {"a = Array(1,2) : b = a : b(0) = 9", "a(0) & b(0)", "=19"},
        {"ReDim a(2) : a(2) = 5 : ReDim Preserve a(4)", "a(2) & UBound(a)", "=54"},
        {"ReDim a(2) : a(2) = 5 : ReDim a(4)", "IsEmpty(a(2))", "=True"},
        {"ReDim m(1,1) : m(1,1) = 3 : ReDim Preserve m(1,2)", "m(1,1)", "=3"},
        {"Dim a(2) : a(1) = 5 : Erase a", "IsEmpty(a(1)) & UBound(a)", "=True2"},
        {"ReDim a(2) : Erase a", "IsArray(a)", "=True"},
        {"ReDim a(2) : Erase a", "UBound(a)", "!9"},
        {"Dim d()", "UBound(d)", "!9"},
        {"Dim d()", "d()", "!9"},
        {"ReDim d(1) : Erase d", "d()", "!9"},
        {"x = 5", "x(0)", "!13"},
        {"x = 5", "UBound(x)", "!13"},
        {"", "undeclared(0)", "!13"},
        {"", "UBound(Array())", "=-1"},
        {"n = 3 : ReDim a(n)", "UBound(a)", "=3"},
        {"", "Array(1,2,3)(1)", "=2"},
        {"", "Array()(0)", "!9"},
        {"x = Array(Array(1,2), 3)", "x(0)(1)", "=2"},
        {"x = Array(Array(1,2), 3)", "x(1)(0)", "!13"},
    };
    RUN_TABLE(cases);
}

TEST(VbsConformance, StatementsKeepTheGlobalScope)
{
    const Case cases[] = {
        {"x = 1 : y = x + 1 : x = y * 10", "x", "=20"},
        {"Dim a, b : a = 1 : b = 2 : Dim a", "a + b", "=3"},
        {"Const k = 5", "k", "=5"},
        {"Const s = \"t\", n = -2", "s & n", "=t-2"},
        {"Const k = 5 : Const k = 5", "k", "=5"},
        {"Rem x = 1", "IsEmpty(x)", "=True"},
        {"x = 5 ' x = 6", "x", "=5"},
        {"x = 5 : Rem x = 6", "x", "=5"},
        {"x = \"it's\"", "x", "=it's"},
        {"Let x = 3", "x", "=3"},
        {"x = 1 :: y = 2", "x + y", "=3"},
        {"s = \"\" : s = s & \"a\" : s = s & 1 : s = s & Null", "s", "=a1"},
        {"t = \"ab\" : u = t : t = t & \"c\"", "u & \"|\" & t", "=ab|abc"},
        {"x = Empty : x = x & \"a\"", "x", "=a"},
        {"t = \"ab\" : t = t & t : t = t & t", "t", "=abababab"},
        {"Const c = \"k\" : c = c & \"x\"", "c", "setup failed: 501 Illegal assignment: 'c'"},
        {"i = 0 : i = i + 1 : i = i + 1", "i", "=2"},
        {"Private p : p = 2", "p", "=2"},
        {"数量 = 2 : Dim Größe : Größe = 3", "数量 * Größe", "=6"},
        // How the engine writes a query's answer back: quotes doubled, line breaks spliced in.
        {"x = \"say \"\"hi\"\"\"&chr(13)&\"\"&chr(10)&\"next\"", "x = \"say \"\"hi\"\"\" & vbCrLf & \"next\"", "=True"},
        {"x = \",5\"", "x", "=,5"},
        {"x = 1\ny = 2", "x + y", "=3"},
        {"Call MsgBox(\"a\", 0) : x = 1", "x", "=1"},
        {"MsgBox \"a\", 0 : x = 1", "x", "=1"},
        {"MsgBox (\"a\"), 0 : x = 1", "x", "=1"},
        {"MsgBox (\"a\") & \"b\", 0 : x = 1", "x", "=1"},
        {"MsgBox(\"a\") : x = 1", "x", "=1"},
        {"On Error Resume Next : x = 1/0 : y = 2", "Err.Number & \"|\" & y", "=11|2"},
        {"On Error Resume Next : x = 1/0", "Err.Description", "=Division by zero"},
        {"On Error Resume Next : x = 1/0 : On Error GoTo 0", "Err.Number", "=0"},
        {"On Error Resume Next : Err.Raise 6 : e = Err.Description : Err.Clear", "e & Err.Number", "=Overflow0"},
        {"On Error Resume Next : Err.Raise 1000, \"me\", \"mine\"", "Err & Err.Description", "=1000mine"},
        {"On Error Resume Next : Err.Raise vbObjectError + 7", "Err.Number - vbObjectError", "=7"},
        {"On Error Resume Next : Err.Raise 0", "Err.Number", "=5"},
        {"Set o = Nothing", "o Is Nothing", "=True"},
    };
    RUN_TABLE(cases);
}

struct StatementError {
    const char* statement;
    int number;
    int column;
};

TEST(VbsConformance, StatementErrorsCarryNumberAndColumn)
{
    const StatementError cases[] = {
        {"msgbox(\"a\", 0)", 1044, 14},
        {"x.Show(1, 2)", 1044, 12},
        {"x = (1 + 2", 1006, 10},
        {"x = 1 +", 1002, 7},
        {"x = ", 1023, 4},
        {"x = \"abc", 1033, 4},
        {"x = 1 $ 2", 1032, 6},
        {"x = 1 2", 1025, 6},
        {"x = 08.5.3", 1025, 8},
        {"Dim a(n)", 1026, 6},
        {"Dim 5", 1010, 4},
        {"Const c = x", 1045, 10},
        {"Const c 1", 1011, 8},
        {"ReDim a", 1005, 7},
        {"If x Then", 1024, 0},
        {"5 = x", 1024, 0},
        {"On Error GoTo 1", 1002, 14},
        {"Option Strict", 1002, 7},
        {"x = 1 : y = 1/0", 11, 13},
        {"x = CInt", 450, 4},
        {"x = CInt(1, 2)", 450, 4},
        {"x = CInt(\"a\")", 13, 4},
        {"Erase q", 13, 0},
        {"Const k = 1 : k = 2", 501, 14},
        {"vbCr = 1", 501, 0},
        {"True = 1", 1024, 0},
        {"Set x = 5", 424, 8},
        {"x.y = 1", 424, 0},
        {"Set o = Nothing : o.y = 1", 91, 18},
        {"x = 5 : x", 13, 8},
        {"foo 1, 2", 13, 0},
        {"a(1) = 2", 13, 0},
        {"Dim d() : d", 9, 10},
        {"Dim d() : d() = 1", 9, 10},
        {"Dim a(2) : ReDim a(3)", 10, 11},
        {"ReDim m(1,1) : ReDim Preserve m(2,1)", 9, 15},
        {"Option Explicit : zz = 1", 500, 18},
    };
    for (const StatementError& c : cases) {
        ScriptHost host;
        EXPECT_FALSE(host.executeStatement(QString::fromUtf8(c.statement))) << c.statement;
        EXPECT_EQ(host.error().number, c.number) << c.statement;
        EXPECT_EQ(host.error().column, c.column) << c.statement;
    }
}

TEST(VbsConformance, CompileErrorsRunNothingOfTheLine)
{
    ScriptHost host;
    EXPECT_FALSE(host.executeStatement(u"x = 1 : msgbox(\"a\", 0)"));
    EXPECT_EQ(host.error().number, 1044);
    EXPECT_EQ(host.error().source, QStringLiteral("Microsoft VBScript compilation error"));
    Value x;
    ASSERT_TRUE(host.eval(u"IsEmpty(x)", x));
    EXPECT_TRUE(x.boolValue());
    // The engine retries with the parentheses blanked out.
    EXPECT_TRUE(host.executeStatement(u"msgbox \"a\", 0 "));
    EXPECT_EQ(host.error().number, 0);
}

TEST(VbsConformance, ErrorDescriptionsNameWhatFailed)
{
    struct Row {
        const char* statement;
        const char* description;
    };
    const Row rows[] = {
        {"Option Explicit : y = x", "Variable is undefined: 'x'"},
        {"x = CInt(\"a\")", "Type mismatch: 'CInt'"},
        {"x = CInt(1, 2)", "Wrong number of arguments or invalid property assignment: 'CInt'"},
        {"foo 1", "Type mismatch: 'foo'"},
        {"x = 1/0", "Division by zero"},
        {"msgbox(1, 2)", "Cannot use parentheses when calling a Sub"},
    };
    for (const Row& r : rows) {
        ScriptHost host;
        EXPECT_FALSE(host.executeStatement(QString::fromUtf8(r.statement)));
        EXPECT_EQ(host.error().description.toStdString(), r.description) << r.statement;
    }
}

}  // namespace
}  // namespace quillon::vbs::test
