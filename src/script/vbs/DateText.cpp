#include "script/vbs/DateText.h"

#include <array>
#include <vector>

namespace quillon::vbs {

namespace {

constexpr std::array<const char*, 12> kMonths = {
    "January", "February", "March", "April", "May", "June",
    "July", "August", "September", "October", "November", "December"};
constexpr std::array<const char*, 7> kWeekdays = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

struct Token {
    enum Kind { Number, Word, Colon, Separator } kind;
    int value = 0;      // Number: its value (capped); Word: month 1..12, weekday 13, AM 14, PM 15
    int digits = 0;     // Number: how many digits were written
};

constexpr int kWeekdayWord = 13;
constexpr int kAmWord = 14;
constexpr int kPmWord = 15;

// Month, weekday or AM/PM for a word; 0 for anything else. Full names and
// their first three letters are accepted ("Sept" too), case-insensitively.
int classifyWord(QStringView word)
{
    if (word.compare(u"am", Qt::CaseInsensitive) == 0 || word.compare(u"a", Qt::CaseInsensitive) == 0)
        return kAmWord;
    if (word.compare(u"pm", Qt::CaseInsensitive) == 0 || word.compare(u"p", Qt::CaseInsensitive) == 0)
        return kPmWord;
    if (word.size() < 3)
        return 0;
    auto matches = [&](const char* name) {
        const QString full = QString::fromLatin1(name);
        return full.startsWith(word, Qt::CaseInsensitive);
    };
    for (int i = 0; i < 12; ++i)
        if (matches(kMonths[i]))
            return i + 1;
    for (const char* name : kWeekdays)
        if (matches(name))
            return kWeekdayWord;
    return 0;
}

std::optional<std::vector<Token>> tokenize(QStringView text)
{
    std::vector<Token> tokens;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c.isSpace()) {
            ++i;
        } else if (c >= u'0' && c <= u'9') {
            Token t{Token::Number};
            while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
                if (t.value < 100000)
                    t.value = t.value * 10 + (text[i].unicode() - u'0');
                ++t.digits;
                ++i;
            }
            tokens.push_back(t);
        } else if (c.isLetter()) {
            const qsizetype start = i;
            while (i < text.size() && text[i].isLetter())
                ++i;
            const int kind = classifyWord(text.mid(start, i - start));
            if (kind == 0)
                return std::nullopt;
            tokens.push_back({Token::Word, kind});
        } else if (c == u':') {
            tokens.push_back({Token::Colon});
            ++i;
        } else if (c == u'/' || c == u'-' || c == u'.' || c == u',') {
            tokens.push_back({Token::Separator});
            ++i;
        } else {
            return std::nullopt;
        }
        if (tokens.size() > 32)
            return std::nullopt;
    }
    return tokens;
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// A year as written: two digits or fewer follow the 1930-2029 window.
int fullYear(const Token& t)
{
    if (t.digits <= 2)
        return t.value < 30 ? 2000 + t.value : 1900 + t.value;
    return t.value;
}

bool setDate(DateTextParts& p, int y, int m, int d)
{
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m))
        return false;
    p.year = y;
    p.month = m;
    p.day = d;
    p.hasDate = true;
    return true;
}

// The date from its numbers in the United States order (month first), with
// the fall-backs an English system accepts: a leading year ("2026-12-08"),
// a day before the month when the month order cannot be right ("13/1/2026").
bool resolveDate(DateTextParts& p, const std::vector<Token>& nums, int monthWord, int currentYear)
{
    const size_t n = nums.size();
    if (monthWord != 0) {
        if (n == 1)
            return nums[0].value > 31 || nums[0].digits > 2
                       ? setDate(p, fullYear(nums[0]), monthWord, 1)
                       : setDate(p, currentYear, monthWord, nums[0].value);
        if (n == 2) {
            if (nums[0].value > 31 || nums[0].digits > 2)
                return setDate(p, fullYear(nums[0]), monthWord, nums[1].value);
            return setDate(p, fullYear(nums[1]), monthWord, nums[0].value);
        }
        return false;
    }
    if (n == 2) {
        const int a = nums[0].value, b = nums[1].value;
        if (b > 31 || nums[1].digits > 2)
            return setDate(p, fullYear(nums[1]), a, 1);
        return setDate(p, currentYear, a, b) || setDate(p, currentYear, b, a);
    }
    if (n == 3) {
        if (nums[0].value > 31 || nums[0].digits > 2)
            return setDate(p, fullYear(nums[0]), nums[1].value, nums[2].value);
        const int y = fullYear(nums[2]);
        return setDate(p, y, nums[0].value, nums[1].value) || setDate(p, y, nums[1].value, nums[0].value);
    }
    return false;
}

bool applyMeridiem(DateTextParts& p, int word)
{
    if (word == 0)
        return true;
    if (p.hour < 1 || p.hour > 12)
        return false;
    p.hour %= 12;
    if (word == kPmWord)
        p.hour += 12;
    return true;
}

}  // namespace

std::optional<DateTextParts> readDateText(QStringView text, int currentYear)
{
    const auto tokens = tokenize(text);
    if (!tokens)
        return std::nullopt;
    const std::vector<Token>& t = *tokens;
    DateTextParts parts;
    std::vector<Token> dateNumbers;
    int monthWord = 0;
    int meridiem = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        const Token& tok = t[i];
        if (tok.kind == Token::Separator)
            continue;
        if (tok.kind == Token::Colon)
            return std::nullopt;
        if (tok.kind == Token::Word) {
            if (tok.value <= 12) {
                if (monthWord != 0)
                    return std::nullopt;
                monthWord = tok.value;
            } else if (tok.value >= kAmWord) {
                if (meridiem != 0 || !parts.hasTime)
                    return std::nullopt;
                meridiem = tok.value;
            }
            continue;
        }
        // A number starts a time when a colon or AM/PM follows it.
        const bool colonNext = i + 1 < t.size() && t[i + 1].kind == Token::Colon;
        const bool meridiemNext = i + 1 < t.size() && t[i + 1].kind == Token::Word && t[i + 1].value >= kAmWord;
        if (colonNext || meridiemNext) {
            if (parts.hasTime)
                return std::nullopt;
            parts.hasTime = true;
            parts.hour = tok.value;
            int* fields[] = {&parts.minute, &parts.second};
            for (int f = 0; f < 2 && i + 2 < t.size() && t[i + 1].kind == Token::Colon
                            && t[i + 2].kind == Token::Number;
                 ++f) {
                *fields[f] = t[i + 2].value;
                i += 2;
            }
            if (i + 1 < t.size() && t[i + 1].kind == Token::Colon)
                return std::nullopt;
            continue;
        }
        if (dateNumbers.size() == 3)
            return std::nullopt;
        dateNumbers.push_back(tok);
    }
    if (!applyMeridiem(parts, meridiem))
        return std::nullopt;
    if (parts.hasTime && (parts.hour > 23 || parts.minute > 59 || parts.second > 59))
        return std::nullopt;
    if (!dateNumbers.empty() || monthWord != 0) {
        if (!resolveDate(parts, dateNumbers, monthWord, currentYear))
            return std::nullopt;
    }
    if (!parts.hasDate && !parts.hasTime)
        return std::nullopt;
    return parts;
}

QString englishMonthName(int month, bool abbreviate)
{
    const QString name = QString::fromLatin1(kMonths[month - 1]);
    return abbreviate ? name.left(3) : name;
}

QString englishWeekdayName(int day, bool abbreviate)
{
    const QString name = QString::fromLatin1(kWeekdays[day - 1]);
    return abbreviate ? name.left(3) : name;
}

}  // namespace quillon::vbs
