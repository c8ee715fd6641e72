// The built-in functions as scripts see them: every row is evaluated through
// the host and compared with the text CStr gives for the result ("<Null>" for
// Null, "[a|b]" for an array, listing its items) or with the error raised.
#include "script/vbs/ScriptHost.h"
#include "script/vbs/Builtins.h"
#include "script/vbs/DateText.h"
#include "script/vbs/Value.h"
#include "script/vbs/VbsError.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <vector>

using quillon::vbs::ScriptHost;
using quillon::vbs::Value;

namespace {

struct Case {
    const char* expression;
    const char* expected;  // the CStr text, or "error N"
};

QString render(const Value& v)
{
    if (v.isNull())
        return QStringLiteral("<Null>");
    if (v.isArray()) {
        QStringList items;
        for (const Value& item : v.arrayValue()->items)
            items << item.toText();
        return u'[' + items.join(u'|') + u']';
    }
    return v.toString();
}

QString evaluate(ScriptHost& host, const QString& expression)
{
    Value v;
    if (!host.eval(expression, v))
        return QStringLiteral("error %1").arg(host.error().number);
    return render(v);
}

void runCases(std::initializer_list<Case> cases)
{
    ScriptHost host;
    for (const Case& c : cases) {
        const QString expression = QString::fromUtf8(c.expression);
        EXPECT_EQ(evaluate(host, expression).toStdString(), c.expected) << "  for  " << c.expression;
    }
}

TEST(Builtins, CharacterCodesUseTheEnglishCodePageAndUtf16)
{
    runCases({
        {"Asc(\"A\")", "65"}, {"Asc(\"abc\")", "97"}, {"Asc(65)", "54"}, {"Asc(ChrW(8364))", "128"},
        {"Asc(\"中\")", "63"}, {"AscW(\"中\")", "20013"}, {"AscW(ChrW(65535))", "-1"},
        {"Asc(\"\")", "error 5"}, {"AscW(\"\")", "error 5"}, {"Asc(Null)", "error 94"},
        {"Chr(65) & Chr(97)", "Aa"}, {"AscW(Chr(128))", "8364"}, {"Chr(256)", "error 5"}, {"Chr(-1)", "error 5"},
        {"Chr(Null)", "error 94"}, {"Chr(\"x\")", "error 13"}, {"ChrW(20013)", "中"}, {"AscW(ChrW(-1))", "-1"},
        {"ChrW(65536)", "error 5"}, {"ChrW(-32769)", "error 5"},
    });
}

TEST(Builtins, LengthsCaseAndTrimming)
{
    runCases({
        {"Len(\"中文\")", "2"}, {"LenB(\"中文\")", "4"}, {"Len(12345)", "5"}, {"Len(Empty)", "0"},
        {"Len(Null)", "<Null>"}, {"LenB(Null)", "<Null>"}, {"LCase(\"AbC\")", "abc"}, {"UCase(\"aBc\")", "ABC"},
        {"UCase(Null)", "<Null>"}, {"UCase(\"straße ä\")", "STRAßE Ä"}, {"LCase(\"ÀÉ\")", "àé"}, {"\"[\" & Trim(\"  a b  \") & \"]\"", "[a b]"},
        {"\"[\" & LTrim(\"  a  \") & \"]\"", "[a  ]"}, {"\"[\" & RTrim(\"  a  \") & \"]\"", "[  a]"},
        {"Len(Trim(vbTab & \"a\"))", "2"}, {"Trim(Null)", "<Null>"}, {"StrReverse(\"abc\")", "cba"},
        {"StrReverse(Null)", "error 94"}, {"Len(Space(3))", "3"}, {"Space(-1)", "error 5"}, {"Space(Null)", "error 94"},
        {"Space(200000000)", "error 14"}, {"String(3, \"xyz\")", "xxx"}, {"String(2, 65)", "AA"},
        {"String(2, 321)", "AA"}, {"String(2, \"\")", "error 5"}, {"String(-1, \"a\")", "error 5"},
        {"String(Null, \"a\")", "<Null>"},
    });
}

TEST(Builtins, LeftRightAndMidCheckTheirCounts)
{
    runCases({
        {"Left(\"abcdef\", 2)", "ab"}, {"Left(\"ab\", 5)", "ab"}, {"Left(12345, 2)", "12"}, {"Left(\"ab\", -1)", "error 5"},
        {"Left(Null, 1)", "<Null>"}, {"Left(\"ab\", Null)", "error 94"}, {"Right(\"abcdef\", 2)", "ef"},
        {"Right(\"ab\", 0) & \"|\"", "|"}, {"Right(\"ab\", -1)", "error 5"}, {"Mid(\"abcdef\", 2, 3)", "bcd"},
        {"Mid(\"abcdef\", 4)", "def"}, {"Mid(\"abc\", 5) & \"|\"", "|"}, {"Mid(\"abc\", 0)", "error 5"},
        {"Mid(\"abc\", 1, -1)", "error 5"}, {"Mid(Null, 1)", "<Null>"}, {"Mid(\"abc\", Null)", "error 94"},
        {"Mid(\"abcdef\", 2.5, 1.5)", "bc"}, {"Left(\"abc\")", "error 450"},
    });
}

TEST(Builtins, InStrTakesOptionalStartAndCompare)
{
    runCases({
        {"InStr(\"abcabc\", \"c\")", "3"}, {"InStr(4, \"abcabc\", \"c\")", "6"}, {"InStr(7, \"abcabc\", \"c\")", "0"},
        {"InStr(\"ABC\", \"b\")", "0"}, {"InStr(1, \"ABC\", \"b\", 1)", "2"}, {"InStr(1, \"ABC\", \"b\", vbTextCompare)", "2"},
        {"InStr(\"abc\", \"\")", "1"}, {"InStr(3, \"abc\", \"\")", "3"}, {"InStr(\"\", \"\")", "0"},
        {"InStr(\"\", \"a\")", "0"}, {"InStr(0, \"abc\", \"a\")", "error 5"}, {"InStr(1, \"abc\", \"a\", 2)", "error 5"},
        {"InStr(Null, \"a\")", "<Null>"}, {"InStr(\"a\", Null)", "<Null>"}, {"InStr(Null, \"abc\", \"a\")", "error 94"},
        {"InStr(12345, 34)", "3"}, {"InStr(\"x中文\", \"文\")", "3"}, {"VarType(InStr(\"a\", \"a\"))", "3"},
        {"InStrRev(\"abcabc\", \"c\")", "6"}, {"InStrRev(\"abcabc\", \"c\", 5)", "3"}, {"InStrRev(\"abcabc\", \"bc\", 2)", "0"},
        {"InStrRev(\"abcabc\", \"C\", -1, 1)", "6"}, {"InStrRev(\"abc\", \"\")", "3"}, {"InStrRev(\"abc\", \"a\", 4)", "0"},
        {"InStrRev(\"abc\", \"a\", 0)", "error 5"}, {"InStrRev(\"abc\", \"a\", -2)", "error 5"}, {"InStrRev(Null, \"a\")", "<Null>"},
    });
}

TEST(Builtins, ReplaceStartsItsResultAtStart)
{
    runCases({
        {"Replace(\"abcabc\", \"b\", \"X\")", "aXcaXc"}, {"Replace(\"abcabc\", \"b\", \"X\", 3)", "caXc"},
        {"Replace(\"aaaa\", \"a\", \"b\", 1, 2)", "bbaa"}, {"Replace(\"abcABC\", \"b\", \"X\", 1, -1, 1)", "aXcAXC"},
        {"Replace(\"abc\", \"\", \"X\")", "abc"}, {"Replace(\"abc\", \"b\", \"\")", "ac"}, {"Replace(\"abc\", \"a\", \"b\", 1, 0)", "abc"},
        {"Replace(\"abc\", \"a\", \"b\", 4) & \"|\"", "|"}, {"Replace(\"abc\", \"a\", \"b\", 0)", "error 5"},
        {"Replace(\"abc\", \"a\", \"b\", 1, -2)", "error 5"}, {"Replace(\"abc\", \"a\", \"b\", 1, -1, 3)", "error 5"},
        {"Replace(Null, \"a\", \"b\")", "error 94"}, {"Replace(\"a\", Null, \"b\")", "error 94"}, {"Replace(123, 2, 9)", "193"},
        {"Len(Replace(Space(10000), \" \", Space(10000)))", "error 14"},
        {"Replace(\"aXbXXc\", \"X\", \"yz\")", "ayzbyzyzc"}, {"Replace(\"abababa\", \"aba\", \"-\")", "-b-"},
        {"Replace(\"xAbAb\", \"ab\", \"\", 2, 1, 1)", "Ab"}, {"Replace(12321, 2, 9)", "19391"},
        {"CStr(0) & \"|\" & CStr(-32768) & \"|\" & (CLng(-2147483647) - 1) & \"|\" & CByte(255)", "0|-32768|-2147483648|255"},
        {"\"ab\" & 10 & -7 & \"\" & Empty & True", "ab10-7True"},
    });
}

TEST(Builtins, SplitJoinAndFilterWorkOnArrays)
{
    runCases({
        {"Split(\"a,b,,c\", \",\")", "[a|b||c]"}, {"Split(\"a b c\")", "[a|b|c]"}, {"Split(\"a,b,c\", \",\", 2)", "[a|b,c]"},
        {"UBound(Split(\"\"))", "-1"}, {"UBound(Split(\"a,b\", \",\", 0))", "-1"}, {"Split(\"abc\", \"\")", "[abc]"},
        {"Split(\"aXbxc\", \"x\", -1, 1)", "[a|b|c]"}, {"Split(\"aXbxc\", \"x\")", "[aXb|c]"}, {"Split(\"a\", \",\", -2)", "error 5"},
        {"Split(Null)", "error 94"}, {"Join(Array(\"a\", 1, True))", "a 1 True"}, {"Join(Array(\"a\", \"b\"), \"-\")", "a-b"},
        {"Join(Array()) & \"|\"", "|"}, {"Join(Split(\"x,y\", \",\"), \"\")", "xy"}, {"Join(\"abc\")", "error 13"},
        {"Join(Null)", "error 94"}, {"Filter(Array(\"ab\", \"cd\", \"AB\"), \"a\")", "[ab]"},
        {"Filter(Array(\"ab\", \"cd\", \"AB\"), \"a\", True, 1)", "[ab|AB]"}, {"Filter(Array(\"ab\", \"cd\", \"AB\"), \"a\", False)", "[cd|AB]"},
        {"UBound(Filter(Array(\"x\"), \"a\"))", "-1"}, {"Filter(\"ab\", \"a\")", "error 13"}, {"Filter(Array(\"a\"), Null)", "error 94"},
    });
}

TEST(Builtins, LeftOutOptionalArgumentsTakeTheirDefaults)
{
    runCases({
        {"Replace(\"aaaa\", \"a\", \"b\", , 2)", "bbaa"}, {"Replace(\"aAaA\", \"a\", \"b\", , , 1)", "bbbb"},
        {"InStrRev(\"abcabc\", \"C\", , 1)", "6"}, {"Split(\"aXbxc\", \"x\", , 1)", "[a|b|c]"},
        {"FormatNumber(0.5, , 0)", ".50"}, {"FormatCurrency(-1, , , 0)", "-$1.00"}, {"MonthName(1, )", "January"},
        {"DatePart(\"ww\", \"12/31/2024\", , vbFirstFourDays)", "1"},
    });
}

TEST(Builtins, StrCompComparesBinaryOrText)
{
    runCases({
        {"StrComp(\"a\", \"a\")", "0"}, {"StrComp(\"a\", \"B\")", "1"}, {"StrComp(\"a\", \"B\", 1)", "-1"},
        {"StrComp(\"ABC\", \"abc\", vbTextCompare)", "0"}, {"StrComp(\"a\", \"ab\")", "-1"}, {"StrComp(Null, \"a\")", "<Null>"},
        {"StrComp(\"a\", \"a\", 5)", "error 5"}, {"VarType(StrComp(\"a\", \"b\"))", "2"},
    });
}

TEST(Builtins, EscapeAndUnescapeRoundTrip)
{
    runCases({
        {"Escape(\"a b&中\")", "a%20b%26%u4E2D"}, {"Escape(\"@*_+-./09Az\")", "@*_+-./09Az"}, {"Escape(Chr(233))", "%E9"},
        {"Unescape(\"a%20b%26%u4E2D\")", "a b&中"}, {"Unescape(\"%zz%4%\")", "%zz%4%"}, {"Unescape(\"%u4e2d%41\")", "中A"},
        {"Unescape(Escape(\"x=1&y=中 文\"))", "x=1&y=中 文"}, {"Escape(Null)", "error 94"}, {"Unescape(Null)", "error 94"},
    });
}

TEST(Builtins, MathKeepsSubtypesAndRaisesDomainErrors)
{
    runCases({
        {"Abs(-5)", "5"}, {"Abs(-2.5)", "2.5"}, {"Abs(\"-3\")", "3"}, {"Abs(Null)", "<Null>"}, {"Abs(Empty)", "0"},
        {"TypeName(Abs(-32768))", "Long"}, {"Abs(-32768)", "32768"}, {"Abs(\"x\")", "error 13"}, {"TypeName(Abs(CCur(-1)))", "Currency"},
        {"Int(-1.5)", "-2"}, {"Fix(-1.5)", "-1"}, {"Int(2.7)", "2"}, {"Fix(\"2.7\")", "2"}, {"TypeName(Int(5))", "Integer"},
        {"TypeName(Int(2.5))", "Double"}, {"Int(Null)", "<Null>"}, {"Int(True)", "-1"}, {"Int(CCur(-1.5))", "-2"},
        {"Sgn(-3)", "-1"}, {"Sgn(0)", "0"}, {"Sgn(\"4\")", "1"}, {"Sgn(Null)", "error 94"}, {"TypeName(Sgn(2.5))", "Integer"},
        {"Sqr(16)", "4"}, {"Sqr(-1)", "error 5"}, {"Log(1)", "0"}, {"Log(0)", "error 5"}, {"Exp(0)", "1"}, {"Exp(710)", "error 6"},
        {"Atn(1) * 4", "3.14159265358979"}, {"Sin(0)", "0"}, {"Cos(0)", "1"}, {"Round(Tan(Atn(1)), 10)", "1"},
        {"Sqr(Null)", "<Null>"}, {"Sin(\"a\")", "error 13"},
    });
}

TEST(Builtins, RoundIsBankersRounding)
{
    runCases({
        {"Round(2.5)", "2"}, {"Round(3.5)", "4"}, {"Round(-2.5)", "-2"}, {"Round(1.2345, 2)", "1.23"}, {"Round(1.235, 2)", "1.24"},
        {"Round(0.125, 2)", "0.12"}, {"Round(123.456, 0)", "123"}, {"Round(7)", "7"}, {"TypeName(Round(7))", "Integer"},
        {"TypeName(Round(2.5))", "Double"}, {"Round(CCur(2.345), 2)", "2.34"}, {"TypeName(Round(CCur(2.5)))", "Currency"},
        {"Round(1.5, -1)", "error 5"}, {"Round(Null)", "<Null>"}, {"Round(1.5, Null)", "error 94"}, {"Round(1E+300, 20)", "1E+300"},
    });
}

TEST(Builtins, HexOctAndRgb)
{
    runCases({
        {"Hex(255)", "FF"}, {"Hex(-1)", "FFFF"}, {"Hex(-32769)", "FFFF7FFF"}, {"Hex(CLng(-1))", "FFFFFFFF"},
        {"Hex(255.5)", "100"}, {"Hex(\"16\")", "10"}, {"Hex(Empty)", "0"}, {"Hex(Null)", "<Null>"}, {"Hex(2147483648)", "error 6"},
        {"Oct(8)", "10"}, {"Oct(-1)", "177777"}, {"Hex(True)", "FFFF"}, {"RGB(1, 2, 3)", "197121"},
        {"RGB(255, 255, 255)", "16777215"}, {"RGB(300, 0, 0)", "255"}, {"RGB(-1, 0, 0)", "error 5"}, {"RGB(1, 2)", "error 450"},
        {"TypeName(RGB(0, 0, 0))", "Long"},
    });
}

TEST(Builtins, RndFollowsTheKnownSequenceAndSeeds)
{
    runCases({
        {"Rnd", "0.7055475"}, {"Rnd()", "0.533424"}, {"Rnd(1)", "0.5795186"}, {"Rnd(0)", "0.5795186"},
        {"Rnd(-1)", "0.224007"}, {"Rnd(-1)", "0.224007"}, {"TypeName(Rnd)", "Single"}, {"Rnd(Null)", "error 94"},
    });
    ScriptHost host;
    ASSERT_TRUE(host.executeStatement(u"x = Rnd(-3) : Randomize 7 : a = Rnd : b = Rnd"));
    ASSERT_TRUE(host.executeStatement(u"y = Rnd(-3) : Randomize 7 : c = Rnd : d = Rnd"));
    EXPECT_EQ(evaluate(host, QStringLiteral("a = c And b = d And a <> b")).toStdString(), "True");
    EXPECT_EQ(evaluate(host, QStringLiteral("Rnd >= 0 And Rnd < 1")).toStdString(), "True");
}

TEST(Builtins, DatesReadEnglishTextAndReject)
{
    runCases({
        {"CDate(\"12/8/2026\")", "12/8/2026"}, {"CDate(\"2026-12-08 15:04:05\")", "12/8/2026 3:04:05 PM"},
        {"CDate(\"December 8, 2026\")", "12/8/2026"}, {"CDate(\"Tuesday, December 8, 2026\")", "12/8/2026"},
        {"CDate(\"8 Dec 2026 10:00\")", "12/8/2026 10:00:00 AM"}, {"CDate(\"3:04 PM\")", "3:04:00 PM"},
        {"CDate(\"13/1/2026\")", "1/13/2026"}, {"CDate(\"1/2/99\")", "1/2/1999"}, {"CDate(\"1/2/29\")", "1/2/2029"},
        {"CDate(\"12 AM\")", "12:00:00 AM"}, {"CDate(\"abc\")", "error 13"}, {"CDate(Null)", "error 94"}, {"CDate(45000)", "3/15/2023"},
        {"CDate(45000.5)", "3/15/2023 12:00:00 PM"}, {"CDate(-1.25)", "12/29/1899 6:00:00 AM"}, {"CDate(1E+20)", "error 6"},
        {"IsDate(\"2/29/2024\")", "True"}, {"IsDate(\"2/29/2025\")", "False"}, {"IsDate(\"12:61\")", "False"},
        {"IsDate(\"25:00\")", "False"}, {"IsDate(\"\")", "False"}, {"IsDate(45000)", "False"}, {"IsDate(Now)", "True"},
        {"IsDate(Null)", "False"}, {"IsDate(\"1/2/3/4\")", "False"}, {"IsDate(\"13/13/2026\")", "False"},
        {"DateValue(\"12/8/2026 15:04:05\")", "12/8/2026"}, {"TimeValue(\"12/8/2026 15:04:05\")", "3:04:05 PM"},
        {"DateValue(Null)", "error 94"}, {"DateValue(\"x\")", "error 13"}, {"TimeValue(\"7:30 pm\")", "7:30:00 PM"},
    });
}

TEST(Builtins, DatePartsAndSerials)
{
    runCases({
        {"Year(\"12/8/2026\")", "2026"}, {"Month(\"12/8/2026\")", "12"}, {"Day(\"12/8/2026\")", "8"},
        {"Hour(\"3:04:05 PM\")", "15"}, {"Minute(\"3:04:05 PM\")", "4"}, {"Second(\"3:04:05 PM\")", "5"},
        {"Second(Null)", "<Null>"}, {"Year(\"x\")", "error 13"}, {"TypeName(Day(Now))", "Integer"},
        {"Weekday(\"12/8/2026\")", "3"}, {"Weekday(\"12/8/2026\", 2)", "2"}, {"Weekday(\"12/8/2026\", 0)", "3"},
        {"Weekday(\"12/8/2026\", 8)", "error 5"}, {"Weekday(Null)", "<Null>"},
        {"DateSerial(2026, 13, 1)", "1/1/2027"}, {"DateSerial(2026, 3, 0)", "2/28/2026"}, {"DateSerial(26, 2, 30)", "3/2/2026"},
        {"DateSerial(99, 1, 1)", "1/1/1999"}, {"DateSerial(10000, 1, 1)", "error 5"}, {"DateSerial(2026, 1, Null)", "error 94"},
        {"TimeSerial(12, -15, 0)", "11:45:00 AM"}, {"TimeSerial(25, 0, 0)", "12/31/1899 1:00:00 AM"},
        {"TimeSerial(-1, 0, 0)", "12/29/1899 11:00:00 PM"}, {"TimeSerial(0, 0, 90)", "12:01:30 AM"},
        {"MonthName(2)", "February"}, {"MonthName(2, True)", "Feb"}, {"MonthName(13)", "error 5"},
        {"WeekdayName(1)", "Sunday"}, {"WeekdayName(7, True)", "Sat"}, {"WeekdayName(1, False, 2)", "Monday"},
        {"WeekdayName(0)", "error 5"}, {"WeekdayName(1, False, 9)", "error 5"},
    });
}

TEST(Builtins, DateArithmetic)
{
    runCases({
        {"DateAdd(\"m\", 1, \"1/31/2024\")", "2/29/2024"}, {"DateAdd(\"yyyy\", 1, \"2/29/2024\")", "2/28/2025"},
        {"DateAdd(\"q\", -1, \"5/31/2026\")", "2/28/2026"}, {"DateAdd(\"d\", 1, \"12/31/2026 10:00\")", "1/1/2027 10:00:00 AM"},
        {"DateAdd(\"ww\", 2, \"1/1/2000\")", "1/15/2000"}, {"DateAdd(\"h\", -1, \"1/1/2000\")", "12/31/1999 11:00:00 PM"},
        {"DateAdd(\"n\", 90, \"1/1/2000\")", "1/1/2000 1:30:00 AM"}, {"DateAdd(\"S\", 61, \"1/1/2000\")", "1/1/2000 12:01:01 AM"},
        {"DateAdd(\"d\", 1, \"12/29/1899 6:00\")", "6:00:00 AM"}, {"DateAdd(\"x\", 1, \"1/1/2000\")", "error 5"},
        {"DateAdd(\"yyyy\", 9000, \"1/1/2000\")", "error 5"}, {"DateAdd(\"d\", 1, Null)", "<Null>"}, {"DateAdd(\"d\", Null, Date)", "error 94"},
        {"DateDiff(\"yyyy\", \"12/31/2025\", \"1/1/2026\")", "1"}, {"DateDiff(\"m\", \"1/31/2026\", \"2/1/2026\")", "1"},
        {"DateDiff(\"q\", \"3/31/2026\", \"4/1/2026\")", "1"}, {"DateDiff(\"d\", \"1/1/2000 23:00\", \"1/2/2000 1:00\")", "1"},
        {"DateDiff(\"d\", \"1/10/2000\", \"1/1/2000\")", "-9"}, {"DateDiff(\"h\", \"10:59\", \"11:00\")", "1"},
        {"DateDiff(\"n\", \"10:00\", \"11:30\")", "90"}, {"DateDiff(\"s\", \"10:00\", \"10:01\")", "60"},
        {"DateDiff(\"w\", \"12/5/2026\", \"12/18/2026\")", "1"}, {"DateDiff(\"ww\", \"12/5/2026\", \"12/6/2026\")", "1"},
        {"DateDiff(\"ww\", \"12/6/2026\", \"12/7/2026\", 2)", "1"}, {"DateDiff(\"d\", Null, Date)", "<Null>"},
        {"DateDiff(\"s\", \"1/1/100\", \"12/31/9999\")", "error 6"}, {"DateDiff(\"d\", Date, Date, 9)", "error 5"},
        {"DatePart(\"yyyy\", \"12/8/2026\")", "2026"}, {"DatePart(\"q\", \"8/1/2024\")", "3"}, {"DatePart(\"y\", \"12/31/2024\")", "366"},
        {"DatePart(\"w\", \"12/8/2026\", 2)", "2"}, {"DatePart(\"ww\", \"1/1/2026\")", "1"}, {"DatePart(\"ww\", \"12/31/2026\")", "53"},
        {"DatePart(\"ww\", \"12/31/2024\", vbMonday, 2)", "1"}, {"DatePart(\"ww\", \"1/1/2021\", 2, 2)", "53"},
        {"DatePart(\"ww\", \"1/3/2026\", 1, 3)", "52"}, {"DatePart(\"h\", \"3:04:05 PM\")", "15"}, {"DatePart(\"d\", Null)", "<Null>"},
        {"DatePart(\"ww\", Date, 1, 4)", "error 5"},
    });
}

TEST(Builtins, ClockFunctionsAgree)
{
    runCases({
        {"TypeName(Now)", "Date"}, {"TypeName(Date)", "Date"}, {"TypeName(Time)", "Date"}, {"TypeName(Timer)", "Single"},
        {"DateValue(Now) = Date Or DateValue(Now) = Date - 1", "True"}, {"Int(CDbl(Time))", "0"},
        {"Timer >= 0 And Timer < 86400", "True"}, {"Abs(Timer - (Hour(Time) * 3600 + Minute(Time) * 60 + Second(Time))) < 2", "True"},
    });
}

TEST(Builtins, NumbersFormatWithUnitedStatesConventions)
{
    runCases({
        {"FormatNumber(1234.5, 2)", "1,234.50"}, {"FormatNumber(1234.5)", "1,234.50"}, {"FormatNumber(0.5, 2, 0)", ".50"},
        {"FormatNumber(0.5, 2, -2)", "0.50"}, {"FormatNumber(-1234.5, 1, -1, -1)", "(1,234.5)"},
        {"FormatNumber(1234567.891, 0, -1, 0, 0)", "1234568"}, {"FormatNumber(1.005, 2)", "1.01"}, {"FormatNumber(0.125, 2)", "0.13"},
        {"FormatNumber(-0.001, 2)", "0.00"}, {"FormatNumber(0.05, 2)", "0.05"}, {"FormatNumber(999.995, 2)", "1,000.00"}, {"FormatNumber(-2.5, 0)", "-3"},
        {"FormatNumber(1E+20, 0)", "100,000,000,000,000,000,000"}, {"FormatNumber(\"12\", 1)", "12.0"}, {"FormatNumber(Empty)", "0.00"},
        {"FormatNumber(\"abc\")", "error 13"}, {"FormatNumber(Null)", "error 13"}, {"FormatNumber(1, -2)", "error 5"},
        {"FormatCurrency(1234.5)", "$1,234.50"}, {"FormatCurrency(-1234.5)", "($1,234.50)"}, {"FormatCurrency(-1, 0, -1, 0)", "-$1"},
        {"FormatCurrency(0.5, 1, 0)", "$.5"}, {"FormatPercent(0.125)", "12.50%"}, {"FormatPercent(-0.5, 0)", "-50%"},
        {"FormatPercent(12.3456, 1)", "1,234.6%"}, {"FormatPercent(Null)", "error 13"},
    });
}

TEST(Builtins, FormatDateTimeNamedFormats)
{
    runCases({
        {"FormatDateTime(\"12/8/2026 15:04:05\")", "12/8/2026 3:04:05 PM"}, {"FormatDateTime(\"12/8/2026 15:04:05\", 1)", "Tuesday, December 8, 2026"},
        {"FormatDateTime(\"12/8/2026 15:04:05\", vbShortDate)", "12/8/2026"}, {"FormatDateTime(\"12/8/2026 15:04:05\", 3)", "3:04:05 PM"},
        {"FormatDateTime(\"12/8/2026 09:04:05\", 4)", "09:04"}, {"FormatDateTime(\"12/8/2026\", 0)", "12/8/2026"},
        {"FormatDateTime(\"12/8/2026\", 5)", "error 5"}, {"FormatDateTime(Null)", "error 13"}, {"FormatDateTime(\"x\")", "error 13"},
    });
}

}  // namespace

namespace {

// Arguments of every kind and extreme: each built-in must answer them with a
// value or a script error, never a crash or another exception.
std::vector<Value> hostileValues()
{
    using quillon::vbs::ArrayData;
    auto grid = ArrayData::create({1, 1});
    return {
        Value(), Value::null(), Value::fromBool(true), Value::fromInteger(-32768), Value::fromLong(2147483647),
        Value::fromLong(-2147483647 - 1), Value::fromDouble(1e308), Value::fromDouble(-1e308), Value::fromDouble(0.5),
        Value::fromDouble(-1e-300), Value::fromCurrency(INT64_MAX), Value::fromDate(-657434.0), Value::fromDate(2958465.99999),
        Value::fromString(QString()), Value::fromString(QStringLiteral("abc")), Value::fromString(QStringLiteral("12/31/9999 23:59:59")),
        Value::fromString(QStringLiteral("-1")), Value::fromString(QString(2000, u'%')), Value::fromString(QStringLiteral("%u12")),
        Value::fromArray(ArrayData::create({-1})), Value::fromArray(grid), Value::nothing(),
    };
}

TEST(Builtins, HostileArgumentsGiveScriptErrorsOnly)
{
    using namespace quillon::vbs;
    BuiltinTable table;
    registerStringBuiltins(table);
    registerMathBuiltins(table);
    registerDateBuiltins(table);
    registerFormatBuiltins(table);
    const std::vector<Value> values = hostileValues();
    RandomState random;
    BuiltinContext context{random, {}, {}};
    uint32_t lcg = 12345;
    auto pick = [&]() -> const Value& {
        lcg = lcg * 1103515245u + 12345u;
        return values[(lcg >> 8) % values.size()];
    };
    for (int i = 0; i < table.size(); ++i) {
        const BuiltinEntry& entry = table.at(i);
        for (int count = entry.minArgs; count <= std::min(entry.maxArgs, 6); ++count) {
            for (int round = 0; round < 300; ++round) {
                std::vector<Value> args;
                for (int k = 0; k < count; ++k)
                    args.push_back(pick());
                try {
                    entry.fn(context, args);
                } catch (const VbsError&) {
                }
            }
        }
    }
}

}  // namespace

namespace {

// The date text reader on its own: which written forms it accepts and what
// it reads from them ("y-m-d h:n:s", or "-" when the text is no date).
TEST(DateText, ReadsTheFormsAnEnglishSystemAccepts)
{
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"12/8/2026", "2026-12-8 0:0:0"},
        {"12-8-2026", "2026-12-8 0:0:0"},
        {"2026-12-08", "2026-12-8 0:0:0"},
        {"2026/12/8 23:59:59", "2026-12-8 23:59:59"},
        {"12.8.2026", "2026-12-8 0:0:0"},
        {"13/12/2026", "2026-12-13 0:0:0"},
        {"12/8", "2030-12-8 0:0:0"},
        {"12/2026", "2026-12-1 0:0:0"},
        {"December 8, 2026", "2026-12-8 0:0:0"},
        {"8 dec 2026", "2026-12-8 0:0:0"},
        {"Sept 8 2026", "2026-9-8 0:0:0"},
        {"Dec 2026", "2026-12-1 0:0:0"},
        {"Tue, Dec 8, 2026 3 PM", "2026-12-8 15:0:0"},
        {"1/2/30", "1930-1-2 0:0:0"},
        {"12:00 AM", "1899-12-30 0:0:0"},
        {"12:30 pm", "1899-12-30 12:30:0"},
        {"9:05:07", "1899-12-30 9:5:7"},
        {"3PM", "1899-12-30 15:0:0"},
        {"", "-"},
        {"2026", "-"},
        {"December", "-"},
        {"2/29/2026", "-"},
        {"1/2/99999", "-"},
        {"1/2/50 1/2/50", "-"},
        {"10:", "-"},
        {"10::30", "-"},
        {"24:00", "-"},
        {"13:00 PM", "-"},
        {"PM 3:00", "-"},
        {"Dec Jan 8", "-"},
        {"12/8/2026 10:00 11:00", "-"},
        {"1 2 3 4", "-"},
        {"12/8/2026T10:00", "-"},
        {"12/8/2026 #", "-"},
    };
    for (const auto& c : cases) {
        const auto parts = quillon::vbs::readDateText(QString::fromUtf8(c.text), 2030);
        const QString got = parts ? QStringLiteral("%1-%2-%3 %4:%5:%6")
                                        .arg(parts->year).arg(parts->month).arg(parts->day)
                                        .arg(parts->hour).arg(parts->minute).arg(parts->second)
                                  : QStringLiteral("-");
        EXPECT_EQ(got.toStdString(), c.expected) << "  for  " << c.text;
    }
}

TEST(Builtins, ResultsHaveVBScriptsSubtypes)
{
    runCases({
        {"TypeName(Len(\"a\"))", "Long"}, {"TypeName(Asc(\"a\"))", "Integer"}, {"TypeName(Mid(\"a\", 1))", "String"},
        {"TypeName(Split(\"a\"))", "Variant()"}, {"TypeName(Year(Now))", "Integer"}, {"TypeName(DateSerial(2026, 1, 1))", "Date"},
        {"TypeName(DateDiff(\"d\", Now, Now))", "Long"}, {"TypeName(Sqr(4))", "Double"}, {"TypeName(Fix(CLng(5)))", "Long"},
        {"TypeName(Hex(5))", "String"}, {"TypeName(FormatNumber(1))", "String"}, {"TypeName(vbShortDate)", "Integer"},
        {"TypeName(Int(Now))", "Date"}, {"TypeName(Round(CSng(1.5)))", "Single"},
    });
}

}  // namespace
