// Text helpers of the script engine: trimming, line splitting and decoding
// of script files.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace quillon::script {

// `s` without the characters below code 33 at either end (blanks, tabs,
// line ends and other control characters).
QString trimLow(QStringView s);

// Splits at CR, LF and CR LF. A line end after the last line adds no line.
QStringList splitScriptLines(QStringView text);

// UTF-8 when the bytes are valid UTF-8 (a BOM is skipped), otherwise GBK,
// the code page older scripts were written in.
QString decodeScriptBytes(const QByteArray& bytes);

}  // namespace quillon::script
