#include "base/ZeMath.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace quillon::base;

TEST(ZeMath, MakeDirectoriesCreatesEveryLevelAndIsRepeatable)
{
    QTemporaryDir tmp;
    const QString old = QDir::currentPath();
    QDir::setCurrent(tmp.path());
    EXPECT_TRUE(makeDirectories(QStringLiteral("plugin\\COM")));
    EXPECT_TRUE(QDir(tmp.path() + "/plugin/COM").exists());
    EXPECT_TRUE(makeDirectories(QStringLiteral("plugin/COM")));
    EXPECT_FALSE(makeDirectories(QString()));
    EXPECT_TRUE(makeDirectories(tmp.path() + "//abs//x"));
    EXPECT_TRUE(QDir(tmp.path() + "/abs/x").exists());
    QDir::setCurrent(old);
}

TEST(ZeMath, ExecutableRelativePathKeepsAbsolutePaths)
{
    const QString dir = executableDirectory();
    EXPECT_TRUE(dir.endsWith('/'));
    EXPECT_EQ(executableRelativePath(QString()), dir);
    EXPECT_EQ(executableRelativePath("help.txt"), dir + "help.txt");
    EXPECT_EQ(executableRelativePath("D:\\data\\x.txt"), "D:/data/x.txt");
    EXPECT_EQ(executableRelativePath("/etc/hosts"), "/etc/hosts");
}

TEST(ZeMath, CombinePathsClimbsOnlyForDotDotComponents)
{
    const struct { const char* base; const char* rel; const char* want; } cases[] = {
        {"/app/", "/script", "/app/script"},
        {"/app/", "./script/noName3.txt", "/app/./script/noName3.txt"},
        {"/app/sub", "../x.txt", "/app/x.txt"},
        {"C:\\app\\sub", "..\\x.txt", "C:/app/x.txt"},
        {"/app/sub", "../../../../x.txt", "/x.txt"},
        {"/app/sub", "a..b.txt", "/app/sub/a..b.txt"},
        {"/app/sub", "x../y", "/app/sub/x../y"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(combinePaths(c.base, c.rel), QString(c.want)) << c.base << " + " << c.rel;
}

TEST(ZeMath, SplitKeepsInnerPiecesAndDropsABlankLastOne)
{
    const struct { const char* text; QStringList want; } cases[] = {
        {"a,,b,", {"a", "", "b"}},
        {",a", {"a"}},
        {" , x", {" ", " x"}},
        {"", {}},
        {",", {}},
        {"a, ", {"a"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(split(c.text, ","), c.want) << c.text;
}

TEST(ZeMath, IndexOfIntFindsTheFirstMatch)
{
    EXPECT_EQ(indexOfInt(3, {1, 3, 3}), 1);
    EXPECT_EQ(indexOfInt(9, {1, 3}), -1);
    EXPECT_EQ(indexOfInt(9, {}), -1);
}

TEST(ZeMath, PumpingDelayDispatchesEventsOnTheGuiThreadOnly)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);

    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    pumpingDelay(0);
    EXPECT_FALSE(fired) << "a zero delay must not dispatch anything";

    QElapsedTimer t;
    t.start();
    pumpingDelay(60);
    EXPECT_TRUE(fired);
    EXPECT_GE(t.elapsed(), 59);
}
