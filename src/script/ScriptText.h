// Script files as text: reading a file and choosing its encoding.
#pragma once

#include <QByteArray>
#include <QString>

namespace quillon::script {

// UTF-8 when the bytes are valid UTF-8 (a BOM is skipped), otherwise GBK,
// the code page older scripts were written in.
QString decodeScriptBytes(const QByteArray& bytes);

// The decoded text of the script file `fileName`. Throws ScriptFileError
// naming the path and the reason when it cannot be read.
QString readScriptFile(const QString& fileName);

}  // namespace quillon::script
