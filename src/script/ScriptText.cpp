#include "script/ScriptText.h"

#include "script/CommonHanzi.h"
#include "script/ScriptError.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace quillon::script {

namespace {

bool isValidGbk(QByteArrayView bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto lead = uchar(bytes[i]);
        if (lead < 0x80)
            continue;
        if (lead == 0x80 || lead == 0xFF || i + 1 >= bytes.size())
            return false;
        const auto trail = uchar(bytes[++i]);
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF)
            return false;
    }
    return true;
}

// Characters of the GBK reading that Chinese text rarely holds: those
// outside GB2312 (the extension and user areas) and Chinese characters
// outside the few thousand in everyday use. The UTF-8 readings of Cyrillic,
// Greek and accented Latin words fall there.
int rareInGbk(QByteArrayView bytes, const QString& text)
{
    int rare = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto lead = uchar(bytes[i]);
        if (lead < 0x80)
            continue;
        const auto trail = uchar(bytes[++i]);
        const bool gb2312 = lead >= 0xA1 && lead <= 0xF7 && trail >= 0xA1 && trail <= 0xFE;
        if (!gb2312)
            ++rare;
    }
    for (QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF && !isCommonHanzi(c))
            ++rare;
    }
    return rare;
}

bool isMark(QChar c)
{
    const QChar::Category k = c.category();
    return k == QChar::Mark_NonSpacing || k == QChar::Mark_SpacingCombining || k == QChar::Mark_Enclosing;
}

// Characters of the UTF-8 reading that text rarely holds: control codes
// 0x80-0x9F, private or unassigned codes, a combining mark that follows no
// letter, and a letter whose script differs from the letter just before it
// (a run of Cyrillic, Greek or Latin letters keeps its script; GBK bytes
// read as UTF-8 jump between scripts).
int rareInUtf8(const QString& text)
{
    int rare = 0;
    QChar::Script previous = QChar::Script_Unknown;
    QChar before = QLatin1Char(' ');
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            previous = QChar::Script_Unknown;
            before = c;
            continue;
        }
        const QChar::Category k = c.category();
        if ((u >= 0x80 && u <= 0x9F) || k == QChar::Other_PrivateUse || k == QChar::Other_NotAssigned)
            ++rare;
        else if (isMark(c) && !before.isLetter())
            ++rare;
        else if (c.isLetter() && previous != QChar::Script_Unknown && c.script() != previous)
            ++rare;
        if (c.isLetter())
            previous = c.script();
        before = c;
    }
    return rare;
}

// An accented Latin letter right beside an ASCII letter ("café"): the mark
// of UTF-8 Western text.
bool hasLatinInWord(const QString& text)
{
    auto asciiLetter = [](QChar c) { return c.unicode() < 0x80 && c.isLetter(); };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80 || !c.isLetter() || c.script() != QChar::Script_Latin)
            continue;
        if ((i > 0 && asciiLetter(text[i - 1])) || (i + 1 < text.size() && asciiLetter(text[i + 1])))
            return true;
    }
    return false;
}

QString decodeGbk(QByteArrayView bytes)
{
    QStringDecoder gbk("GBK");
    if (gbk.isValid())
        return gbk(bytes);
    return QString::fromLatin1(bytes);
}

}  // namespace

QString decodeScriptBytes(const QByteArray& bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(view.sliced(3));
    if (view.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE)(view.sliced(2));
    if (view.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE)(view.sliced(2));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8(view);
    const bool utf8Valid = !utf8.hasError();
    if (!isValidGbk(view))
        return utf8Valid ? asUtf8 : decodeGbk(view);
    if (!utf8Valid)
        return decodeGbk(view);
    const QString asGbk = decodeGbk(view);
    if (asGbk == asUtf8)
        return asUtf8;  // plain ASCII
    const int gbkRare = rareInGbk(view, asGbk);
    const int utf8Rare = rareInUtf8(asUtf8);
    if (gbkRare != utf8Rare)
        return gbkRare < utf8Rare ? asGbk : asUtf8;
    return hasLatinInWord(asUtf8) ? asUtf8 : asGbk;
}

QString readScriptFile(const QString& fileName)
{
    auto refuse = [&](int number, const QString& reason) -> ScriptFileError {
        return ScriptFileError(number, QStringLiteral("cannot read script file '%1': %2").arg(fileName, reason));
    };
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        int number = 57;
        if (file.error() == QFileDevice::OpenError && !file.exists())
            number = 53;
        else if (file.error() == QFileDevice::PermissionsError)
            number = 70;
        throw refuse(number, file.errorString());
    }
    // Devices, pipes and sockets can be endless: only regular files are read.
    if (!QFileInfo(fileName).isFile() || file.isSequential())
        throw refuse(57, QStringLiteral("not a regular file"));
    const QByteArray bytes = file.read(kMaxScriptFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw refuse(57, file.errorString());
    if (bytes.size() > kMaxScriptFileBytes)
        throw refuse(7, QStringLiteral("larger than %1 bytes").arg(kMaxScriptFileBytes));
    return decodeScriptBytes(bytes);
}

}  // namespace quillon::script
