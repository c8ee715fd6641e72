// The value layer on its own: number text in and out, dates, copies.
#include "script/vbs/DateTime.h"
#include "script/vbs/ScriptHost.h"
#include "script/vbs/Value.h"
#include "script/vbs/VbsError.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace quillon::vbs {
namespace {

TEST(VbsValue, DoublesFormatWithFifteenDigitsAndScientificBeyond)
{
    const struct {
        double value;
        const char* text;
    } rows[] = {
        {0.0, "0"}, {-0.0, "0"}, {1.0, "1"}, {-2.5, "-2.5"}, {1e14, "100000000000000"},
        {999999999999999.0, "999999999999999"}, {1e15, "1E+15"}, {1.5e300, "1.5E+300"},
        {0.001, "0.001"}, {0.0001, "0.0001"}, {0.00001, "1E-05"}, {1.0 / 7, "0.142857142857143"},
        {2.0 / 3 * 1e20, "6.66666666666667E+19"}, {-1e-300, "-1E-300"}, {123.456, "123.456"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(formatDouble(r.value).toStdString(), r.text) << r.value;
    EXPECT_EQ(formatDouble(1.0 / 3, 7).toStdString(), "0.3333333");
    EXPECT_EQ(formatCurrency(-1).toStdString(), "-0.0001");
    EXPECT_EQ(formatCurrency(-5000).toStdString(), "-0.5");
    EXPECT_EQ(formatCurrency(INT64_MIN).toStdString(), "-922337203685477.5808");
    EXPECT_EQ(formatCurrency(120000).toStdString(), "12");
}

TEST(VbsValue, NumericTextIsReadAsVbscriptReadsIt)
{
    const struct {
        const char* text;
        double value;  // NAN: not a number
    } rows[] = {
        {"12", 12}, {"  -3.5  ", -3.5}, {"+4", 4}, {"1,234.5", 1234.5}, {".5", 0.5}, {"5.", 5},
        {"1e3", 1000}, {"1D2", 100}, {"1E-2", 0.01}, {"&H10", 16}, {"&hFFFF", -1}, {"&HFFFFFFFF", -1},
        {"&O17", 15}, {"&H", NAN}, {"", NAN}, {"   ", NAN}, {"1e", NAN}, {"1 2", NAN}, {",5", NAN},
        {"abc", NAN}, {"1.2.3", NAN}, {"--1", NAN}, {"&HG", NAN}, {"&H123456789", NAN},
    };
    for (const auto& r : rows) {
        auto parsed = parseNumericText(QString::fromUtf8(r.text));
        if (std::isnan(r.value))
            EXPECT_FALSE(parsed.has_value()) << r.text;
        else
            EXPECT_EQ(parsed.value_or(NAN), r.value) << r.text;
    }
}

TEST(VbsValue, DateSerialsSplitAndRenderBothSidesOfTheEpoch)
{
    const struct {
        double serial;
        const char* text;
    } rows[] = {
        {0, "12:00:00 AM"}, {1, "12/31/1899"}, {-1, "12/29/1899"}, {-1.25, "12/29/1899 6:00:00 AM"},
        {2.5, "1/1/1900 12:00:00 PM"}, {43831.999999, "1/2/2020"}, {60, "2/28/1900"}, {61, "3/1/1900"},
        {-657434, "1/1/100"}, {2958465, "12/31/9999"}, {0.5, "12:00:00 PM"}, {45000.0 + 1.0 / 86400, "3/15/2023 12:00:01 AM"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(formatDateDefault(r.serial).toStdString(), r.text) << r.serial;
    EXPECT_EQ(dateSerial(2020, 13, 1).value_or(-1), dateSerial(2021, 1, 1).value_or(-2));
    EXPECT_EQ(dateSerial(2020, 3, 0).value_or(-1), dateSerial(2020, 2, 29).value_or(-2));
    EXPECT_FALSE(dateSerial(10000, 1, 1).has_value());
    EXPECT_FALSE(dateSerial(99, 12, 31).has_value());
    EXPECT_EQ(dateParts(43831).weekday, 4);  // 1/1/2020 was a Wednesday
    EXPECT_EQ(dateParts(0).weekday, 7);
}

TEST(VbsValue, ArrayCopiesDetachOnWrite)
{
    Value a = Value::fromArray(ArrayData::create({2}));
    Value b = a;
    int32_t index = 1;
    b.mutableArray().at(&index, 1) = Value::fromLong(7);
    EXPECT_TRUE(std::as_const(*a.arrayValue()).at(&index, 1).isEmpty());
    EXPECT_EQ(std::as_const(*b.arrayValue()).at(&index, 1).integralValue(), 7);
    EXPECT_THROW(ArrayData::create({-2}), VbsError);
    int32_t outside = 3;
    EXPECT_THROW(b.mutableArray().at(&outside, 1), VbsError);
}

// Hosts on different threads share only read-only tables.
TEST(VbsValue, HostsOnSeparateThreadsDoNotInterfere)
{
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            ScriptHost host;
            host.executeStatement(QStringLiteral("n = %1 : s = \"\"").arg(t));
            for (int i = 0; i < 2000; ++i) {
                host.executeStatement(u"n = n + 4 : s = s & vbTab");
                Value v;
                if (!host.eval(u"CStr(n) & UBound(Split(s, vbTab))", v))
                    ++wrong;
            }
            Value v;
            host.eval(u"n", v);
            if (v.toLong() != t + 8000)
                ++wrong;
        });
    }
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace quillon::vbs
