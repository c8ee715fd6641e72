#include "script/ScriptError.h"

#include <cstdio>

namespace quillon::script {

ScriptFailure::ScriptFailure(int number_, QString description_, int column_)
    : std::runtime_error(description_.toStdString()), number(number_), column(column_),
      description(std::move(description_))
{
}

ScriptFileError::ScriptFileError(int number_, const QString& message_)
    : std::runtime_error(message_.toStdString()), number(number_), message(message_)
{
}

QString formatScriptError(int line, int column, int number, const QString& description)
{
    return QStringLiteral("line %1, column %2: error %3: %4").arg(line).arg(column).arg(number).arg(description);
}

void printScriptError(int line, int column, int number, const QString& description)
{
    const QByteArray text = formatScriptError(line, column, number, description).toUtf8() + '\n';
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
}

}  // namespace quillon::script
