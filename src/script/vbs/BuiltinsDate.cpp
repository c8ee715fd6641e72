// Date built-ins. Date values are OLE serials whose fraction counts forward
// from midnight even before 1899 (-1.25 is 12/29/1899 6:00 AM), so every
// calculation first turns a serial into a linear count of seconds, works on
// that, and turns the result back.
#include "script/vbs/BuiltinSupport.h"

#include <QDate>
#include <QDateTime>

#include <cmath>

namespace quillon::vbs {

using namespace builtin;

namespace {

constexpr int64_t kSecondsPerDay = 86400;

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Seconds since 12/30/1899 midnight, on a line without the OLE fold.
int64_t linearSeconds(double serial)
{
    const double day = std::trunc(serial);
    const double linear = day + std::fabs(serial - day);
    return std::llround(linear * double(kSecondsPerDay));
}

double serialFromSeconds(int64_t seconds)
{
    const int64_t day = floorDiv(seconds, kSecondsPerDay);
    const double fraction = double(seconds - day * kSecondsPerDay) / double(kSecondsPerDay);
    return combineDateTime(double(day), fraction);
}

// A computed date: error 5 when it leaves 1/1/100 .. 12/31/9999.
Value checkedDate(int64_t seconds)
{
    const int64_t day = floorDiv(seconds, kSecondsPerDay);
    if (day < int64_t(kMinDateSerial) || day > int64_t(kMaxDateSerial))
        raise(kInvalidCall);
    return Value::fromDate(serialFromSeconds(seconds));
}

int64_t dayIndex(int64_t seconds) { return floorDiv(seconds, kSecondsPerDay); }

// 1 = Sunday .. 7 = Saturday; day 0 (12/30/1899) was a Saturday.
int weekdayOf(int64_t day) { return int(((day % 7) + 7 + 6) % 7) + 1; }

// First day of the week: 0 (the system's, Sunday) or 1..7; other values are error 5.
int firstDayArg(Args a, size_t i)
{
    const int32_t d = longArg(a, i, 1);
    if (d < 0 || d > 7)
        raise(kInvalidCall);
    return d == 0 ? 1 : d;
}

// First week of the year: 0 (the system's, the week of January 1) or 1..3.
int firstWeekArg(Args a, size_t i)
{
    const int32_t w = longArg(a, i, 1);
    if (w < 0 || w > 3)
        raise(kInvalidCall);
    return w == 0 ? 1 : w;
}

QDateTime now() { return QDateTime::currentDateTime(); }

double todaySerial()
{
    const QDate d = now().date();
    return *dateSerial(d.year(), d.month(), d.day());
}

double timeOfDaySerial(const QTime& t) { return timeSerial(t.hour(), t.minute(), t.second()); }

Value fnDate(BuiltinContext&, Args) { return Value::fromDate(todaySerial()); }
Value fnTime(BuiltinContext&, Args) { return Value::fromDate(timeOfDaySerial(now().time())); }

Value fnNow(BuiltinContext&, Args)
{
    const QDateTime n = now();
    const double day = *dateSerial(n.date().year(), n.date().month(), n.date().day());
    return Value::fromDate(combineDateTime(day, timeOfDaySerial(n.time())));
}

// Seconds since midnight with their fraction, as a Single.
Value fnTimer(BuiltinContext&, Args)
{
    return Value::fromSingle(float(QTime::currentTime().msecsSinceStartOfDay() / 1000.0));
}

template <int DateParts::*Field>
Value partOf(Args a)
{
    if (a[0].isNull())
        return Value::null();
    return Value::fromInteger(int16_t(dateParts(dateArg(a[0])).*Field));
}

Value fnYear(BuiltinContext&, Args a) { return partOf<&DateParts::year>(a); }
Value fnMonth(BuiltinContext&, Args a) { return partOf<&DateParts::month>(a); }
Value fnDay(BuiltinContext&, Args a) { return partOf<&DateParts::day>(a); }
Value fnHour(BuiltinContext&, Args a) { return partOf<&DateParts::hour>(a); }
Value fnMinute(BuiltinContext&, Args a) { return partOf<&DateParts::minute>(a); }
Value fnSecond(BuiltinContext&, Args a) { return partOf<&DateParts::second>(a); }

int relativeWeekday(int weekday, int firstDay) { return (weekday - firstDay + 7) % 7 + 1; }

Value fnWeekday(BuiltinContext&, Args a)
{
    const int firstDay = firstDayArg(a, 1);
    if (a[0].isNull())
        return Value::null();
    return Value::fromInteger(int16_t(relativeWeekday(dateParts(dateArg(a[0])).weekday, firstDay)));
}

Value fnCDate(BuiltinContext&, Args a) { return Value::fromDate(dateArg(a[0])); }

Value fnIsDate(BuiltinContext&, Args a)
{
    const Value& v = a[0];
    if (v.type() == Value::Type::Date)
        return Value::fromBool(true);
    if (!v.isString())
        return Value::fromBool(false);
    return Value::fromBool(readDateText(v.stringValue(), QDate::currentDate().year()).has_value());
}

// A two-digit year in DateSerial means 1930..2029, as in typed dates.
int windowedYear(int32_t year)
{
    if (year >= 0 && year <= 29)
        return 2000 + year;
    if (year >= 30 && year <= 99)
        return 1900 + year;
    return year;
}

Value fnDateSerial(BuiltinContext&, Args a)
{
    const int32_t y = longArg(a[0]);
    const int32_t m = longArg(a[1]);
    const int32_t d = longArg(a[2]);
    const auto serial = dateSerial(windowedYear(y), m, d);
    if (!serial)
        raise(kInvalidCall);
    return Value::fromDate(*serial);
}

// TimeSerial(hour, minute, second): parts carry over (25 hours is the next
// day's 1:00 AM); negative totals fall on the days before 12/30/1899.
Value fnTimeSerial(BuiltinContext&, Args a)
{
    const int64_t seconds = int64_t(longArg(a[0])) * 3600 + int64_t(longArg(a[1])) * 60 + longArg(a[2]);
    return checkedDate(seconds);
}

// DateValue needs a date (Null is error 94); TimeValue passes Null through.
Value fnDateValue(BuiltinContext&, Args a)
{
    return Value::fromDate(double(dayIndex(linearSeconds(dateArg(a[0])))));
}

Value fnTimeValue(BuiltinContext&, Args a)
{
    if (a[0].isNull())
        return Value::null();
    const int64_t s = linearSeconds(dateArg(a[0]));
    return Value::fromDate(double(s - dayIndex(s) * kSecondsPerDay) / double(kSecondsPerDay));
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval intervalArg(const Value& v)
{
    const QString s = textArg(v).toLower();
    static const struct { const char* name; Interval interval; } kIntervals[] = {
        {"yyyy", Interval::Year}, {"q", Interval::Quarter}, {"m", Interval::Month},
        {"y", Interval::DayOfYear}, {"d", Interval::Day}, {"w", Interval::Weekday},
        {"ww", Interval::Week}, {"h", Interval::Hour}, {"n", Interval::Minute},
        {"s", Interval::Second}};
    for (const auto& entry : kIntervals)
        if (s == QLatin1String(entry.name))
            return entry.interval;
    raise(kInvalidCall);
}

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int monthLength(int y, int m)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

// Adds months keeping the time; a day past the new month's end becomes its
// last day (January 31 plus one month is February 28 or 29).
Value addMonths(int64_t seconds, int64_t months)
{
    const int64_t day = dayIndex(seconds);
    const DateParts p = dateParts(double(day));
    const int64_t total = int64_t(p.year) * 12 + (p.month - 1) + months;
    const int64_t year = floorDiv(total, 12);
    const int month = int(total - year * 12) + 1;
    if (year < 100 || year > 9999)
        raise(kInvalidCall);
    const int dayOfMonth = std::min(p.day, monthLength(int(year), month));
    const int64_t newDay = int64_t(*dateSerial(int(year), month, dayOfMonth));
    return checkedDate(newDay * kSecondsPerDay + (seconds - day * kSecondsPerDay));
}

Value fnDateAdd(BuiltinContext&, Args a)
{
    const Interval interval = intervalArg(a[0]);
    const int64_t n = longArg(a[1]);
    if (a[2].isNull())
        return Value::null();
    const int64_t s = linearSeconds(dateArg(a[2]));
    switch (interval) {
    case Interval::Year: return addMonths(s, n * 12);
    case Interval::Quarter: return addMonths(s, n * 3);
    case Interval::Month: return addMonths(s, n);
    case Interval::DayOfYear:
    case Interval::Day:
    case Interval::Weekday: return checkedDate(s + n * kSecondsPerDay);
    case Interval::Week: return checkedDate(s + n * 7 * kSecondsPerDay);
    case Interval::Hour: return checkedDate(s + n * 3600);
    case Interval::Minute: return checkedDate(s + n * 60);
    case Interval::Second: return checkedDate(s + n);
    }
    return Value();
}

// The first day of the week holding `day`.
int64_t weekStart(int64_t day, int firstDay) { return day - (relativeWeekday(weekdayOf(day), firstDay) - 1); }

Value longResult(int64_t n)
{
    if (n < INT32_MIN || n > INT32_MAX)
        raise(kOverflow);
    return Value::fromLong(int32_t(n));
}

// DateDiff counts the interval boundaries crossed between the two dates:
// from 12/31 to 1/1 is one year, from 10:59 to 11:00 one hour.
Value fnDateDiff(BuiltinContext&, Args a)
{
    const Interval interval = intervalArg(a[0]);
    const int firstDay = firstDayArg(a, 3);
    firstWeekArg(a, 4);
    if (a[1].isNull() || a[2].isNull())
        return Value::null();
    const int64_t s1 = linearSeconds(dateArg(a[1]));
    const int64_t s2 = linearSeconds(dateArg(a[2]));
    const DateParts p1 = dateParts(double(dayIndex(s1)));
    const DateParts p2 = dateParts(double(dayIndex(s2)));
    switch (interval) {
    case Interval::Year: return longResult(p2.year - p1.year);
    case Interval::Quarter:
        return longResult((p2.year * 4 + (p2.month - 1) / 3) - (p1.year * 4 + (p1.month - 1) / 3));
    case Interval::Month: return longResult((p2.year * 12 + p2.month) - (p1.year * 12 + p1.month));
    case Interval::DayOfYear:
    case Interval::Day: return longResult(dayIndex(s2) - dayIndex(s1));
    case Interval::Weekday: return longResult((dayIndex(s2) - dayIndex(s1)) / 7);
    case Interval::Week:
        return longResult((weekStart(dayIndex(s2), firstDay) - weekStart(dayIndex(s1), firstDay)) / 7);
    case Interval::Hour: return longResult(floorDiv(s2, 3600) - floorDiv(s1, 3600));
    case Interval::Minute: return longResult(floorDiv(s2, 60) - floorDiv(s1, 60));
    case Interval::Second: return longResult(s2 - s1);
    }
    return Value();
}

// The day on which week 1 of `year` starts: the week holding January 1
// (rule 1), the first week with four days in the year (2), or the first
// full week (3).
int64_t firstWeekStart(int year, int firstDay, int rule)
{
    const int64_t jan1 = int64_t(*dateSerial(year, 1, 1));
    const int64_t start = weekStart(jan1, firstDay);
    const int64_t daysInYear = 7 - (jan1 - start);
    if (rule == 2 && daysInYear < 4)
        return start + 7;
    if (rule == 3 && start != jan1)
        return start + 7;
    return start;
}

int weekOfYear(int64_t day, int year, int firstDay, int rule)
{
    int64_t start = firstWeekStart(year, firstDay, rule);
    if (day < start && year > 100)
        start = firstWeekStart(year - 1, firstDay, rule);
    else if (rule == 2 && year < 9999 && day >= firstWeekStart(year + 1, firstDay, rule))
        return 1;
    return int((day - start) / 7) + 1;
}

Value fnDatePart(BuiltinContext&, Args a)
{
    const Interval interval = intervalArg(a[0]);
    const int firstDay = firstDayArg(a, 2);
    const int rule = firstWeekArg(a, 3);
    if (a[1].isNull())
        return Value::null();
    const int64_t s = linearSeconds(dateArg(a[1]));
    const int64_t day = dayIndex(s);
    const DateParts p = dateParts(double(day));
    const int64_t inDay = s - day * kSecondsPerDay;
    int result = 0;
    switch (interval) {
    case Interval::Year: result = p.year; break;
    case Interval::Quarter: result = (p.month - 1) / 3 + 1; break;
    case Interval::Month: result = p.month; break;
    case Interval::DayOfYear: result = int(day - int64_t(*dateSerial(p.year, 1, 1))) + 1; break;
    case Interval::Day: result = p.day; break;
    case Interval::Weekday: result = relativeWeekday(p.weekday, firstDay); break;
    case Interval::Week: result = weekOfYear(day, p.year, firstDay, rule); break;
    case Interval::Hour: result = int(inDay / 3600); break;
    case Interval::Minute: result = int(inDay / 60 % 60); break;
    case Interval::Second: result = int(inDay % 60); break;
    }
    return Value::fromInteger(int16_t(result));
}

Value fnMonthName(BuiltinContext&, Args a)
{
    const int32_t m = longArg(a[0]);
    if (m < 1 || m > 12)
        raise(kInvalidCall);
    return Value::fromString(englishMonthName(m, boolArg(a, 1, false)));
}

// WeekdayName(weekday[, abbreviate[, firstdayofweek]]): `weekday` counts
// from the given first day of the week.
Value fnWeekdayName(BuiltinContext&, Args a)
{
    const int32_t w = longArg(a[0]);
    const bool abbreviate = boolArg(a, 1, false);
    const int firstDay = firstDayArg(a, 2);
    if (w < 1 || w > 7)
        raise(kInvalidCall);
    return Value::fromString(englishWeekdayName((w - 1 + firstDay - 1) % 7 + 1, abbreviate));
}

}  // namespace

void registerDateBuiltins(BuiltinTable& table)
{
    const BuiltinEntry entries[] = {
        {QStringLiteral("Date"), 0, 0, fnDate, true},
        {QStringLiteral("Time"), 0, 0, fnTime, true},
        {QStringLiteral("Now"), 0, 0, fnNow, true},
        {QStringLiteral("Timer"), 0, 0, fnTimer, true},
        {QStringLiteral("Year"), 1, 1, fnYear},
        {QStringLiteral("Month"), 1, 1, fnMonth},
        {QStringLiteral("Day"), 1, 1, fnDay},
        {QStringLiteral("Hour"), 1, 1, fnHour},
        {QStringLiteral("Minute"), 1, 1, fnMinute},
        {QStringLiteral("Second"), 1, 1, fnSecond},
        {QStringLiteral("Weekday"), 1, 2, fnWeekday},
        {QStringLiteral("CDate"), 1, 1, fnCDate},
        {QStringLiteral("IsDate"), 1, 1, fnIsDate},
        {QStringLiteral("DateSerial"), 3, 3, fnDateSerial},
        {QStringLiteral("TimeSerial"), 3, 3, fnTimeSerial},
        {QStringLiteral("DateValue"), 1, 1, fnDateValue},
        {QStringLiteral("TimeValue"), 1, 1, fnTimeValue},
        {QStringLiteral("DateAdd"), 3, 3, fnDateAdd},
        {QStringLiteral("DateDiff"), 3, 5, fnDateDiff},
        {QStringLiteral("DatePart"), 2, 4, fnDatePart},
        {QStringLiteral("MonthName"), 1, 2, fnMonthName},
        {QStringLiteral("WeekdayName"), 1, 3, fnWeekdayName},
    };
    for (const BuiltinEntry& e : entries)
        table.add(e);
}

}  // namespace quillon::vbs
