#include "base/Text.h"

namespace quillon::base {

namespace {

QString shiftRange(QStringView s, char16_t from, char16_t to, int shift)
{
    QString out = s.toString();
    for (QChar& c : out) {
        if (c.unicode() >= from && c.unicode() <= to)
            c = QChar(char16_t(c.unicode() + shift));
    }
    return out;
}

}  // namespace

QString trimControl(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin].unicode() <= 32)
        ++begin;
    while (end > begin && s[end - 1].unicode() <= 32)
        --end;
    return s.mid(begin, end - begin).toString();
}

QString asciiLower(QStringView s)
{
    return shiftRange(s, u'A', u'Z', 'a' - 'A');
}

QString asciiUpper(QStringView s)
{
    return shiftRange(s, u'a', u'z', 'A' - 'a');
}

bool isAsciiWordChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'_';
}

QStringList splitLines(QStringView text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start).toString();
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start).toString();
    return lines;
}

}  // namespace quillon::base
