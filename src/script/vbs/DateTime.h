// Dates as the script host keeps them: an OLE date serial, a double counting
// days since 12/30/1899 whose fraction is the time of day. For serials below
// zero the fraction still counts forward from midnight (-1.25 is 12/29/1899
// 6:00:00 AM). Valid dates run from 1/1/100 to 12/31/9999.
#pragma once

#include <QString>

#include <optional>

namespace quillon::vbs {

struct DateParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 7;  // 1 = Sunday .. 7 = Saturday
};

inline constexpr double kMinDateSerial = -657434.0;   // 1/1/100
inline constexpr double kMaxDateSerial = 2958465.99999;  // 12/31/9999 23:59:59

// The serial of a calendar day (proleptic Gregorian); month and day may run
// over or under their range and carry into the year and month as DateSerial
// does. nullopt when the result falls outside the valid dates.
std::optional<double> dateSerial(int year, int month, int day);
// The fraction of a day for a time; hour, minute and second may run over.
double timeSerial(int hour, int minute, int second);
// Combines a day serial and a time fraction the OLE way (the fraction always
// counts forward from that day's midnight, also before 1899).
double combineDateTime(double daySerial, double timeFraction);

// Splits a serial into its parts, rounded to the second.
DateParts dateParts(double serial);

// CStr rendering with an English locale: "1/2/2020 3:04:05 PM"; only the time
// when the day is 12/30/1899 (serial 0 is "12:00:00 AM"), else only the date
// when the time is midnight.
QString formatDateDefault(double serial);
// "1/2/2020" and "3:04:05 PM".
QString formatShortDate(const DateParts& parts);
QString formatLongTime(const DateParts& parts);

// Reads a date and/or time from text as CDate does with an English locale
// ("1/2/2020", "2020-01-02", "Jan 2, 2020", "3:04 PM", "1/2/2020 15:04:05").
std::optional<double> parseDateText(const QString& text);

}  // namespace quillon::vbs
