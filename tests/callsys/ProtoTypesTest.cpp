#include "callsys/ProtoTypes.h"

#include <gtest/gtest.h>

namespace quillon::callsys {
namespace {

struct DeclarationCase {
    const char* declaration;
    const char* name;
    QStringList params;
    const char* convention;
};

class DeclarationParsing : public ::testing::TestWithParam<DeclarationCase> {};

TEST_P(DeclarationParsing, GivesNameLinesAndConvention)
{
    const DeclarationCase& c = GetParam();
    TProtoTypes table;
    const TProtoType& entry = table.Add(QString::fromUtf8(c.declaration), nullptr);
    EXPECT_EQ(entry.name, QString::fromUtf8(c.name));
    EXPECT_EQ(entry.params, c.params);
    EXPECT_EQ(entry.convention, QString::fromUtf8(c.convention));
}

INSTANTIATE_TEST_SUITE_P(
    Declarations, DeclarationParsing,
    ::testing::Values(
        DeclarationCase{"Sum(integer, var integer): integer; stdcall", "sum",
                        {"integer", "var integer", "var integer"}, "stdcall"},
        DeclarationCase{"self.ShowIt(string)", "self.showit", {"string"}, "register"},
        DeclarationCase{"  F ( String )  ", "f", {"string"}, "register"},
        DeclarationCase{"f()", "f", {}, "register"},
        DeclarationCase{"f():string", "f", {"var string"}, "register"},
        DeclarationCase{"f(a,,b)", "f", {"a", "", "b"}, "register"},
        DeclarationCase{"f(,integer)", "f", {"integer"}, "register"},
        DeclarationCase{"f(integer,)", "f", {"integer"}, "register"},
        DeclarationCase{"no parentheses at all", "", {}, "register"},
        DeclarationCase{"f(integer", "f", {}, "register"},
        DeclarationCase{"f(integer:string", "f", {"integer", "var string"}, "register"},
        DeclarationCase{"f(a;b)", "f", {"a;b"}, "b)"},
        DeclarationCase{"f(integer):;", "f", {"integer"}, "register"},
        DeclarationCase{"f(integer);", "f", {"integer"}, "register"},
        DeclarationCase{"f(integer); stdcall;", "f", {"integer"}, "stdcall;"},
        DeclarationCase{"G\u00c4(STRING);StdCall", "g\u00c4", {"string"}, "stdcall"}));

TEST(ProtoTypes, ParseParamsJoinsLinesWithCrLf)
{
    EXPECT_EQ(TProtoTypes::ParseParams(QStringLiteral("f(a, ,b):c")), QStringLiteral("a\r\n\r\nb\r\nvar c"));
}

TEST(ProtoTypes, FirstDeclarationOfANameWins)
{
    TProtoTypes table;
    auto first = reinterpret_cast<ProcAddress>(&TProtoTypes::ParseName);
    const TProtoType& sum = table.Add(QStringLiteral("Sum(integer)"), first);
    const TProtoType& again = table.Add(QStringLiteral("sum(string, string); stdcall"), nullptr);
    EXPECT_EQ(&sum, &again);
    EXPECT_EQ(table.Count(), 1);
    EXPECT_EQ(again.params, QStringList{QStringLiteral("integer")});
    EXPECT_EQ(again.convention, QStringLiteral("register"));
    EXPECT_EQ(again.proc, first);
    EXPECT_EQ(table.Find(QStringLiteral("Sum")), nullptr);
}

}  // namespace
}  // namespace quillon::callsys
