// Text helpers shared by every layer: trimming control characters, ASCII-only
// case mapping and splitting a text into lines.
//
// The case mappings touch the letters A to Z only: keywords, key names and
// method names are ASCII, and a text keeps its length, so positions found in
// the mapped copy hold in the original.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace quillon::base {

// `s` without the characters of code 32 or below at either end (blanks, tabs,
// line ends and other control characters).
QString trimControl(QStringView s);

// `s` with the letters A to Z lower-cased; every other character kept.
QString asciiLower(QStringView s);

// `s` with the letters a to z upper-cased; every other character kept.
QString asciiUpper(QStringView s);

// A letter A-Z or a-z, a digit 0-9 or "_".
bool isAsciiWordChar(QChar c);

// The lines of `text`, split at CR LF, CR and LF. A line end after the last
// line adds no line; an empty text has no lines.
QStringList splitLines(QStringView text);

}  // namespace quillon::base
