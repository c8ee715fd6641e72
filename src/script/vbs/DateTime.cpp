#include "script/vbs/DateTime.h"

#include <QRegularExpression>
#include <QStringList>

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
    if (!std::isfinite(serial))
        serial = 0;
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

namespace {

int monthFromName(const QString& word)
{
    static const char* const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
    if (word.size() < 3)
        return 0;
    for (int i = 0; i < 12; ++i) {
        if (QLatin1String(names[i]).compare(word.left(3), Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}

int expandYear(int year, int digits)
{
    if (digits <= 2)
        return year < 30 ? 2000 + year : 1900 + year;
    return year;
}

// Reads "h:mm[:ss]" plus an optional AM/PM word; false when it is no time.
bool parseTimePart(const QStringList& parts, double& fraction)
{
    if (parts.isEmpty())
        return false;
    QStringList hms = parts[0].split(QLatin1Char(':'));
    if (hms.size() < 2 || hms.size() > 3)
        return false;
    int v[3] = {0, 0, 0};
    for (int i = 0; i < hms.size(); ++i) {
        bool ok = false;
        v[i] = hms[i].toInt(&ok);
        if (!ok || v[i] < 0 || hms[i].size() > 2)
            return false;
    }
    if (parts.size() > 2)
        return false;
    if (parts.size() == 2) {
        QString ampm = parts[1].toUpper();
        if (ampm != QLatin1String("AM") && ampm != QLatin1String("PM"))
            return false;
        if (v[0] < 1 || v[0] > 12)
            return false;
        v[0] %= 12;
        if (ampm == QLatin1String("PM"))
            v[0] += 12;
    }
    if (v[0] > 23 || v[1] > 59 || v[2] > 59)
        return false;
    fraction = timeSerial(v[0], v[1], v[2]);
    return true;
}

// Reads the date words: "m/d/yyyy", "yyyy-m-d", "m-d-yyyy", "Jan 2 2020", "2 Jan 2020".
std::optional<double> parseDatePart(const QStringList& words)
{
    QStringList fields;
    int monthName = 0;
    for (const QString& w : words) {
        for (const QString& f : w.split(QRegularExpression(QStringLiteral("[/\\-.,]")), Qt::SkipEmptyParts)) {
            if (int m = monthFromName(f)) {
                if (monthName)
                    return std::nullopt;
                monthName = m;
            } else {
                fields << f;
            }
        }
    }
    int n[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    if (fields.size() > 3 || fields.isEmpty())
        return std::nullopt;
    for (int i = 0; i < fields.size(); ++i) {
        bool ok = false;
        n[i] = fields[i].toInt(&ok);
        digits[i] = static_cast<int>(fields[i].size());
        if (!ok || n[i] < 0 || digits[i] > 4)
            return std::nullopt;
    }
    int y = 0, m = 0, d = 0;
    if (monthName) {
        if (fields.size() != 2)
            return std::nullopt;
        m = monthName;
        d = n[0];
        y = expandYear(n[1], digits[1]);
    } else if (fields.size() == 3 && digits[0] >= 3) {
        y = n[0], m = n[1], d = n[2];
    } else if (fields.size() == 3) {
        m = n[0], d = n[1], y = expandYear(n[2], digits[2]);
    } else {
        return std::nullopt;
    }
    if (m < 1 || m > 12 || d < 1 || d > 31 || y < 100 || y > 9999)
        return std::nullopt;
    auto serial = dateSerial(y, m, d);
    if (!serial)
        return std::nullopt;
    DateParts check = dateParts(*serial);
    if (check.day != d)
        return std::nullopt;
    return serial;
}

}  // namespace

std::optional<double> parseDateText(const QString& text)
{
    QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty() || words.size() > 6)
        return std::nullopt;
    // The time, when present, is the word with ':' and an AM/PM word after it.
    qsizetype timeAt = -1;
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (words[i].contains(QLatin1Char(':'))) {
            timeAt = i;
            break;
        }
    }
    double fraction = 0;
    QStringList dateWords = words;
    if (timeAt >= 0) {
        if (!parseTimePart(words.mid(timeAt), fraction))
            return std::nullopt;
        dateWords = words.mid(0, timeAt);
    }
    if (dateWords.isEmpty())
        return timeAt >= 0 ? std::optional<double>(fraction) : std::nullopt;
    auto day = parseDatePart(dateWords);
    if (!day)
        return std::nullopt;
    return combineDateTime(*day, fraction);
}

}  // namespace quillon::vbs
