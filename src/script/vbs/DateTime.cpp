#include "script/vbs/DateTime.h"

#include "script/vbs/DateText.h"

#include <QDate>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace quillon::vbs {

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

constexpr int64_t kOleEpochDays = -25569;  // 12/30/1899 counted from 1/1/1970

}  // namespace

std::optional<double> dateSerial(int year, int month, int day)
{
    int64_t m0 = static_cast<int64_t>(month) - 1;
    int64_t y = static_cast<int64_t>(year) + (m0 >= 0 ? m0 / 12 : (m0 - 11) / 12);
    int64_t m = ((m0 % 12) + 12) % 12 + 1;
    if (y < -100000 || y > 100000)
        return std::nullopt;
    double serial = static_cast<double>(daysFromCivil(y, m, 1) - kOleEpochDays) + (static_cast<double>(day) - 1.0);
    if (serial < kMinDateSerial || serial > kMaxDateSerial)
        return std::nullopt;
    return serial;
}

double timeSerial(int hour, int minute, int second)
{
    return (static_cast<double>(hour) * 3600.0 + static_cast<double>(minute) * 60.0 + second) / 86400.0;
}

double combineDateTime(double daySerial, double timeFraction)
{
    double day = std::trunc(daySerial);
    return day < 0 ? day - timeFraction : day + timeFraction;
}

DateParts dateParts(double serial)
{
    // Callers keep dates in range; anything else is pinned to the valid dates
    // rather than overflowing the day count.
    if (!std::isfinite(serial))
        serial = 0;
    serial = std::clamp(serial, kMinDateSerial, kMaxDateSerial);
    double day = std::trunc(serial);
    double fraction = std::fabs(serial - day);
    auto seconds = static_cast<int64_t>(std::llround(fraction * 86400.0));
    auto dayIndex = static_cast<int64_t>(day);
    if (seconds >= 86400) {
        seconds -= 86400;
        dayIndex += 1;
    }
    DateParts p;
    civilFromDays(dayIndex + kOleEpochDays, p.year, p.month, p.day);
    p.hour = static_cast<int>(seconds / 3600);
    p.minute = static_cast<int>(seconds / 60 % 60);
    p.second = static_cast<int>(seconds % 60);
    // 12/30/1899 was a Saturday (7).
    p.weekday = static_cast<int>(((dayIndex % 7) + 7 + 6) % 7) + 1;
    return p;
}

QString formatShortDate(const DateParts& p)
{
    return QStringLiteral("%1/%2/%3").arg(p.month).arg(p.day).arg(p.year);
}

QString formatLongTime(const DateParts& p)
{
    int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
    return QStringLiteral("%1:%2:%3 %4")
        .arg(hour12)
        .arg(p.minute, 2, 10, QLatin1Char('0'))
        .arg(p.second, 2, 10, QLatin1Char('0'))
        .arg(p.hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
}

QString formatDateDefault(double serial)
{
    DateParts p = dateParts(serial);
    bool noTime = p.hour == 0 && p.minute == 0 && p.second == 0;
    bool noDate = p.year == 1899 && p.month == 12 && p.day == 30;
    if (noDate)
        return formatLongTime(p);
    if (noTime)
        return formatShortDate(p);
    return formatShortDate(p) + QLatin1Char(' ') + formatLongTime(p);
}

std::optional<double> parseDateText(const QString& text)
{
    const auto parts = readDateText(text, QDate::currentDate().year());
    if (!parts)
        return std::nullopt;
    const auto day = dateSerial(parts->year, parts->month, parts->day);
    if (!day)
        return std::nullopt;
    return combineDateTime(*day, timeSerial(parts->hour, parts->minute, parts->second));
}

}  // namespace quillon::vbs
