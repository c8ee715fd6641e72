// Reading dates and times written as text, the way an English (United States)
// system reads them: "12/8/2026", "2026-12-08", "December 8, 2026",
// "8 Dec 2026", "3:04 PM", "12/8/2026 15:04:05". CDate, IsDate, DateValue and
// TimeValue, and every built-in that takes a date, read strings through here.
// The English names of months and weekdays live here too.
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace quillon::vbs {

struct DateTextParts {
    int year = 1899, month = 12, day = 30;  // the zero date when no date part is written
    int hour = 0, minute = 0, second = 0;
    bool hasDate = false;
    bool hasTime = false;
};

// The date and time written in `text`, or nothing when it is not a date.
// A date without a year takes `currentYear`; two-digit years 0-29 mean
// 2000-2029 and 30-99 mean 1930-1999. Days are checked against their month.
std::optional<DateTextParts> readDateText(QStringView text, int currentYear);

// "January".."December" (or "Jan".."Dec"); month 1..12.
QString englishMonthName(int month, bool abbreviate);

// "Sunday".."Saturday" (or "Sun".."Sat"); day 1 = Sunday .. 7 = Saturday.
QString englishWeekdayName(int day, bool abbreviate);

}  // namespace quillon::vbs
