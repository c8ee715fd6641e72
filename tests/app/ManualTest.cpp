// The manual beside the built program describes the words scripts can use:
// every macro, host-call word and block keyword the program knows.
#include "app/SysParamWords.h"

#include <QFile>
#include <QStringDecoder>

#include <gtest/gtest.h>

namespace {

QString manualText()
{
    QFile file(QStringLiteral(QUILLON_MANUAL));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(file.readAll());
    return utf8.hasError() ? QString() : text;
}

TEST(Manual, IsUtf8BesideTheProgramAndNamesEveryScriptWord)
{
    const QString manual = manualText();
    ASSERT_FALSE(manual.isEmpty()) << "missing, empty or not UTF-8: " << QUILLON_MANUAL;
    QStringList words;
    for (const QString& order : quillon::app::words::programDefineOrders())
        words << order.section(QLatin1Char(' '), 0, 0);
    words << "getsys(" << "setsys(" << "callsys[" << "callproto[" << "messagebox" << "delay"
          << "section down" << "section up" << "section final" << "end section" << "//" << "rem "
          << "goto " << "endscript" << "elseif" << "end if" << "do while" << "exit do" << "loop"
          << "for " << "next" << "sub " << "end sub" << "function " << "end function" << "call "
          << "lclick" << "rclick" << "ldown" << "lup" << "rdown" << "rup"
          << "触发开关键" << "单线启动" << "重复启动" << "全局停止键" << "--run" << "--check";
    for (const QString& word : words)
        EXPECT_TRUE(manual.contains(word)) << word.toStdString();
}

}  // namespace
