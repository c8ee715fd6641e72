#include "script/ScriptText.h"

#include "script/ScriptError.h"

#include <QFile>
#include <QStringDecoder>

namespace quillon::script {

QString decodeScriptBytes(const QByteArray& bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(view);
    if (!utf8.hasError())
        return text;
    QStringDecoder gbk("GBK");
    if (gbk.isValid())
        return gbk(view);
    return QString::fromLatin1(view);
}

QString readScriptFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        int number = 57;
        if (file.error() == QFileDevice::OpenError && !file.exists())
            number = 53;
        else if (file.error() == QFileDevice::PermissionsError)
            number = 70;
        throw ScriptFileError(number, QStringLiteral("cannot read script file '%1': %2")
                                          .arg(fileName, file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ScriptFileError(57, QStringLiteral("cannot read script file '%1': %2")
                                      .arg(fileName, file.errorString()));
    return decodeScriptBytes(bytes);
}

}  // namespace quillon::script
