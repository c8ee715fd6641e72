// Script files as text: reading a file within a size limit and choosing its
// encoding.
#pragma once

#include <QByteArray>
#include <QString>

namespace quillon::script {

// The largest script file read (16 MiB); a larger one is refused.
inline constexpr qint64 kMaxScriptFileBytes = qint64(16) << 20;

// The text of a script file's bytes. A byte-order mark decides (UTF-8,
// UTF-16 LE or BE). Otherwise bytes valid in only one of UTF-8 and GBK (the
// code page older scripts were written in) are read that way. Bytes valid
// both ways (many short Chinese texts in GBK are valid UTF-8, and Cyrillic
// or accented Latin in UTF-8 is valid GBK) are read the way that looks like
// text: the reading with fewer characters that text rarely holds (see
// ScriptText.cpp) wins.
QString decodeScriptBytes(const QByteArray& bytes);

// The decoded text of the script file `fileName`. Throws ScriptFileError
// naming the path and the reason when it cannot be read: 53 not found, 70
// permission denied, 57 not a regular file or a read error, 7 larger than
// kMaxScriptFileBytes. Nothing is read beyond the limit.
QString readScriptFile(const QString& fileName);

}  // namespace quillon::script
