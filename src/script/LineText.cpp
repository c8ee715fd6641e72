#include "script/LineText.h"

#include <QStringDecoder>

namespace quillon::script {

QString trimLow(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin].unicode() < 33)
        ++begin;
    while (end > begin && s[end - 1].unicode() < 33)
        --end;
    return s.mid(begin, end - begin).toString();
}

QStringList splitScriptLines(QStringView text)
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

}  // namespace quillon::script
