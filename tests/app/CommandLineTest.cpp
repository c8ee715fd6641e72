// quillon --run and --check as a user calls them: output, errors, exit status.
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status;
    QString out, err;
};

Outcome quillon(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QUILLON_BIN), args);
    p.waitForFinished(20000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

class CommandLineTest : public ::testing::Test {
protected:
    QString script(const char* text)
    {
        const QString path = dir.filePath(QStringLiteral("s%1.txt").arg(++count));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(text);
        return path;
    }
    QTemporaryDir dir;
    int count = 0;
};

TEST_F(CommandLineTest, RunPrintsBoxesAndReportsErrorsWithExitStatus)
{
    const QString path = script("messagebox \"top\"\nsection down\nmessagebox 1+2\nmsgbox \"hi\"\n"
                                "x=1/0\nmessagebox \"on\"\nend section\n");
    Outcome whole = quillon({QStringLiteral("--run"), path});
    EXPECT_EQ(whole.status, 0);
    EXPECT_EQ(whole.out, QStringLiteral("top\n"));

    Outcome down = quillon({QStringLiteral("--section"), QStringLiteral("DOWN"), QStringLiteral("--run"), path});
    EXPECT_EQ(down.status, 2) << "--run comes first";
    down = quillon({QStringLiteral("--run"), path, QStringLiteral("--section"), QStringLiteral("DOWN")});
    EXPECT_EQ(down.status, 1);
    EXPECT_EQ(down.out, QStringLiteral("3\nhi\non\n"));
    EXPECT_EQ(down.err, QStringLiteral("line 4, column 3: error 11: Division by zero\n"));
}

TEST_F(CommandLineTest, CheckListsBlocksWithoutPartners)
{
    const QString bad = script("if 1 then\nfor i=1 to 2\nnext\ndo while 1\n");
    const Outcome check = quillon({QStringLiteral("--check"), bad});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, QStringLiteral("line 0, column 0: error 811: 条件或循环缺少end标记\n"
                                        "line 3, column 0: error 811: 条件或循环缺少end标记\n"));
    EXPECT_EQ(quillon({QStringLiteral("--check"), script("if 1 then\nend if\n")}).status, 0);
}

TEST_F(CommandLineTest, BadArgumentsAndUnreadableFiles)
{
    for (const QStringList& args : {QStringList{QStringLiteral("--run")},
                                    QStringList{QStringLiteral("--run"), QStringLiteral("a"), QStringLiteral("b")},
                                    QStringList{QStringLiteral("--run"), QStringLiteral("a"), QStringLiteral("--section")},
                                    QStringList{QStringLiteral("--check")}}) {
        const Outcome o = quillon(args);
        EXPECT_EQ(o.status, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(o.err.startsWith(QStringLiteral("usage:")));
    }
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    const Outcome o = quillon({QStringLiteral("--run"), missing});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains(missing) && o.err.contains(QStringLiteral("No such file")));
}

}  // namespace
