// Finer points where the host must answer as VBScript does: the subtypes of
// literals, constants and logical results, values that are no values
// (Nothing, Null), the byte functions, and the rarer operator spellings.
// Each row runs on a fresh host: setup statements, an expression, and the
// expected CStr text ("=...") or error number ("!n").
#include "VbsTestUtil.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace quillon::vbs::test {
namespace {

struct Case {
    const char* setup;
    const char* expression;
    const char* expected;
};

void runCases(std::initializer_list<Case> cases)
{
    for (const Case& c : cases) {
        ScriptHost host;
        EXPECT_EQ(outcome(host, c.setup, c.expression), c.expected)
            << "setup: " << c.setup << "\nexpression: " << c.expression;
    }
}

TEST(VbsConformance, HexLiteralsTakeTheNarrowestSubtypeOfTheirValue)
{
    runCases({
        {"", "TypeName(&h10&)", "=Integer"},
        {"", "&h10&", "=16"},
        {"", "TypeName(&hffff&)", "=Long"},
        {"", "&hffff&", "=65535"},
        {"", "TypeName(&hffFFffFF&)", "=Integer"},
        {"", "&hffFFffFF&", "=-1"},
        {"", "TypeName(&H8000)", "=Integer"},
        {"", "&H8000", "=-32768"},
        {"", "TypeName(&H8000&)", "=Long"},
        {"", "TypeName(&H10000)", "=Long"},
        {"", "TypeName(&O777&)", "=Integer"},
        {"", "TypeName(&H7FFFFFFF)", "=Long"},
    });
}

TEST(VbsConformance, IntrinsicConstantsAreIntegersExceptTheWideOnes)
{
    runCases({
        {"", "TypeName(vbOK)", "=Integer"},
        {"", "TypeName(vbYesNo)", "=Integer"},
        {"", "TypeName(vbSunday)", "=Integer"},
        {"", "TypeName(vbShortDate)", "=Integer"},
        {"", "TypeName(vbSystemModal)", "=Integer"},
        {"", "TypeName(vbTrue)", "=Integer"},
        {"", "VarType(vbString)", "=2"},
        {"", "TypeName(vbRed)", "=Long"},
        {"", "TypeName(vbBlack)", "=Long"},
        {"", "TypeName(vbMsgBoxRight)", "=Long"},
        {"", "TypeName(vbObjectError)", "=Long"},
        {"", "TypeName(vbCrLf)", "=String"},
        // Arithmetic on Integer constants widens as it does on literals.
        {"", "TypeName(vbSystemModal * 4)", "=Integer"},
        {"", "TypeName(vbSystemModal * 8)", "=Long"},
    });
}

TEST(VbsConformance, LogicalOperatorsTakeEmptyAsALong)
{
    runCases({
        {"", "TypeName(Empty And Empty)", "=Long"},
        {"", "TypeName(Empty Or CInt(5))", "=Long"},
        {"", "Empty Or CInt(5)", "=5"},
        {"", "TypeName(CInt(5) Xor Empty)", "=Long"},
        {"", "TypeName(Empty And False)", "=Long"},
        {"", "TypeName(Empty And Null)", "=Long"},
        {"", "Empty Imp Null", "=-1"},
        {"", "TypeName(Empty Imp Null)", "=Long"},
        {"", "Not Empty", "=-1"},
        {"", "TypeName(Not Empty)", "=Long"},
        {"", "TypeName(Not x)", "=Long"},
        // Arithmetic keeps Empty an Integer.
        {"", "TypeName(Empty + Empty)", "=Integer"},
        // A Byte Imp Null keeps its width and complements.
        {"", "CByte(170) Imp Null", "=85"},
        {"", "TypeName(CByte(255) Imp Null)", "=Byte"},
        {"", "CByte(0) Imp Null", "=255"},
        {"", "TypeName(CInt(5) Imp Null)", "=Null"},
    });
}

TEST(VbsConformance, NothingWhereAValueIsNeededIsObjectVariableNotSet)
{
    runCases({
        {"", "Nothing + 1", "!91"},
        {"", "Nothing & \"a\"", "!91"},
        {"", "Nothing = 1", "!91"},
        {"", "CStr(Nothing)", "!91"},
        {"", "CLng(Nothing)", "!91"},
        {"", "CBool(Nothing)", "!91"},
        {"", "Not Nothing", "!91"},
        {"", "-Nothing", "!91"},
        {"Set o = Nothing", "o * 2", "!91"},
        {"Set o = Nothing", "Len(o)", "!91"},
        // Inspecting Nothing is no use of its value.
        {"Set o = Nothing", "TypeName(o)", "=Nothing"},
        {"Set o = Nothing", "IsObject(o) And o Is Nothing", "=True"},
        {"Set o = Nothing", "IsNull(o)", "=False"},
        // An array where a value is needed stays a type mismatch.
        {"", "Array(1) + 1", "!13"},
    });
}

TEST(VbsConformance, BooleanTextAndByteConversions)
{
    runCases({
        {"", "CBool(\"#TRUE#\")", "=True"},
        {"", "CBool(\"#false#\")", "=False"},
        {"", "CBool(\" True \")", "=True"},
        {"", "Not \"#FALSE#\"", "=True"},
        {"", "Not \"5\"", "=-6"},
        {"", "Not \"x\"", "!13"},
        {"", "CByte(\"#TRUE#\")", "!13"},
        {"", "CByte(True)", "=255"},
        {"", "TypeName(CByte(True))", "=Byte"},
        {"", "CByte(False)", "=0"},
        {"", "CByte(-1)", "!6"},
        {"", "Escape(Null)", "!94"},
        {"", "Unescape(Null)", "!94"},
        {"", "DateValue(Null)", "!94"},
        // A Null to format is a type mismatch; Null in the other arguments is 94.
        {"", "FormatNumber(Null)", "!13"},
        {"", "FormatCurrency(Null)", "!13"},
        {"", "FormatPercent(Null)", "!13"},
        {"", "FormatDateTime(Null)", "!13"},
        {"", "FormatNumber(1000, Null)", "!94"},
        {"", "FormatDateTime(0.1, Null)", "!94"},
        // The reference pages say Null comes back from these.
        {"", "TimeValue(Null)", "=Null"},
        {"", "Mid(Null, 1)", "=Null"},
        {"", "InStrRev(Null, \"a\")", "=Null"},
    });
}

TEST(VbsConformance, ShortcutsForCommonOperandsKeepTheGeneralRules)
{
    runCases({
        {"", "TypeName(7 Mod 3)", "=Integer"},
        {"", "TypeName(CLng(7) Mod 3)", "=Long"},
        {"", "-32768 \\ -1", "=32768"},
        {"", "TypeName(-32768 \\ -1)", "=Long"},
        {"", "(CLng(-2147483647) - 1) \\ -1", "!6"},
        {"", "7 Mod 0", "!11"},
        {"x = 1.5", "TypeName(x * 2) & x * 2", "=Double3"},
        {"x = 1E308", "x * 10", "!6"},
        {"x = 1E308", "-x - x", "!6"},
        {"x = 0.5", "x / 0", "!11"},
        {"x = 0.0", "x / 0", "!6"},
        {"x = 2.5", "(x > 2) & (x <= 2.5) & (3 = x + 0.5)", "=TrueTrueTrue"},
        {"", "(True And False) & (True Or False) & (True Xor True)", "=FalseTrueFalse"},
        {"", "TypeName(True And True)", "=Boolean"},
    });
}

TEST(VbsConformance, ComparisonsMayBeWrittenBackwards)
{
    runCases({
        {"", "2 => 1", "=True"},
        {"", "1 => 2", "=False"},
        {"", "2 =< 2", "=True"},
        {"", "3 =< 2", "=False"},
        {"", "2 >< 2", "=False"},
        {"", "\"a\" >< \"b\"", "=True"},
        {"x = 5", "x=>5 And x=<5", "=True"},
    });
}

TEST(VbsConformance, AnOperatorWithoutItsOperandIsASyntaxError)
{
    runCases({
        {"", "1 +", "!1002"},
        {"", "1 *", "!1002"},
        {"", "2 ^", "!1002"},
        {"", "1 And", "!1002"},
        {"", "Not", "!1002"},
        {"", "-", "!1002"},
        {"", "(1 -", "!1002"},
        {"", "1 + )", "!1002"},
        {"", "\"a\" &", "!1002"},
        {"", "1 <", "!1002"},
        // No operator asked for the missing expression.
        {"", "", "!1023"},
        {"", "Len()", "!450"},
    });
}

TEST(VbsConformance, ScriptEngineNamesVbscriptFiveEight)
{
    runCases({
        {"", "ScriptEngine", "=VBScript"},
        {"", "ScriptEngine()", "=VBScript"},
        {"", "ScriptEngineMajorVersion & \".\" & ScriptEngineMinorVersion", "=5.8"},
        {"", "TypeName(ScriptEngineMajorVersion)", "=Long"},
        {"", "TypeName(ScriptEngineMinorVersion)", "=Long"},
        {"", "TypeName(ScriptEngineBuildVersion)", "=Long"},
        {"", "ScriptEngineBuildVersion > 0", "=True"},
        {"", "ScriptEngine(1)", "!450"},
    });
}

TEST(VbsConformance, ByteFunctionsCountTheBytesOfTheText)
{
    runCases({
        {"", "LenB(\"abc\")", "=6"},
        {"", "LenB(\"中文\")", "=4"},
        {"", "LenB(12)", "=4"},
        {"", "LenB(Null)", "=Null"},
        {"", "LeftB(\"abc\", 4)", "=ab"},
        {"", "RightB(\"abc\", 2)", "=c"},
        {"", "MidB(\"abc\", 3, 2)", "=b"},
        {"", "MidB(\"abc\", 3)", "=bc"},
        {"", "MidB(\"abc\", 7)", "="},
        {"", "AscW(MidB(\"abc\", 2, 2))", "=25088"},
        {"", "InStrB(\"abc\", \"b\")", "=3"},
        {"", "InStrB(4, \"abc\", \"b\")", "=0"},
        {"", "InStrB(\"abc\", ChrB(0))", "=2"},
        {"", "InStrB(1, \"aBc\", \"b\")", "=0"},
        {"", "InStrB(1, \"aBc\", \"b\", vbTextCompare)", "=3"},
        {"", "InStrB(Null, \"a\")", "=Null"},
        {"", "AscB(\"A\")", "=65"},
        {"", "AscB(ChrW(&H4E2D))", "=45"},
        {"", "TypeName(AscB(\"A\"))", "=Integer"},
        {"", "AscB(\"\")", "!5"},
        {"", "AscB(Null)", "!94"},
        {"", "ChrB(256)", "!5"},
        {"", "ChrB(-1)", "!5"},
        {"", "LeftB(\"a\", -1)", "!5"},
        {"", "LeftB(Null, 1)", "=Null"},
        {"", "MidB(\"abc\", 0)", "!5"},
    });
}

TEST(VbsConformance, AnOddByteCountKeepsItsLoneLastByte)
{
    runCases({
        {"", "LenB(ChrB(65))", "=1"},
        {"", "Len(ChrB(65))", "=0"},
        {"", "ChrB(65) & ChrB(0)", "=A"},
        {"", "ChrB(65) + ChrB(0)", "=A"},
        {"", "LenB(LeftB(\"abc\", 3))", "=3"},
        {"", "LeftB(\"abc\", 3) & ChrB(0) & \"d\"", "=abd"},
        {"", "AscB(RightB(LeftB(\"abc\", 3), 1))", "=98"},
        {"x = ChrB(1) & ChrB(2) & ChrB(3)", "LenB(x) & \"/\" & AscB(RightB(x, 1))", "=3/3"},
        {"x = ChrB(1) & ChrB(2) & ChrB(3)", "LenB(x & \"\")", "=3"},
        // Appending in place joins the bytes too.
        {"s = ChrB(65) : s = s & ChrB(0)", "s", "=A"},
        {"s = \"a\" : s = s & ChrB(66) : s = s & ChrB(0)", "s & \"|\" & LenB(s)", "=aB|4"},
        {"s = ChrB(65) : t = s : s = s & ChrB(0)", "LenB(t) & LenB(s)", "=12"},
        {"Dim a(1) : a(0) = ChrB(9)", "LenB(a(0))", "=1"},
    });
}

}  // namespace
}  // namespace quillon::vbs::test
