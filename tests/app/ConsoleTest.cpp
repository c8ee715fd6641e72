// The console from outside: the built program, lines in, one answer per line out.
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

TEST(VbsConsole, AnswersEveryLineInOrder)
{
    QProcess process;
    process.start(QStringLiteral(QUILLON_BIN), {QStringLiteral("--console")});
    ASSERT_TRUE(process.waitForStarted(10000));
    const QByteArray input =
        "?1/3\n"
        "x = 5\n"
        "?x > 4\n"
        "?#1/2/2020 3:04:05 PM#\n"
        "msgbox(\"a\", 0)\n"
        "msgbox \"hello\", 0\n"
        "?1/0\n"
        "\n"
        "?Null\n"
        "?\"\xE4\xB8\xAD\" & x\n"
        "y = (1\r\n";
    process.write(input);
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    const QStringList expected = {
        QStringLiteral("0.333333333333333"),
        QStringLiteral("ok"),
        QStringLiteral("True"),
        QStringLiteral("1/2/2020 3:04:05 PM"),
        QStringLiteral("ERROR:1044 Cannot use parentheses when calling a Sub"),
        QStringLiteral("ok"),
        QStringLiteral("ERROR:11 Division by zero"),
        QStringLiteral("ok"),
        QStringLiteral("Null"),
        QString::fromUtf8("\xE4\xB8\xAD" "5"),
        QStringLiteral("ERROR:1006 Expected ')'"),
        QString(),
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()).trimmed(), QStringLiteral("hello"));
}

}  // namespace
