#include "QtPrinters.h"
#include "HarnessProcess.h"
#include "desktop/ZenMutex.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace quillon::desktop;
using namespace quillon::desktoptest;

TEST(SingleInstance, ALaterCopyAsksTheFirstToShowItselfAndEnds)
{
    Session session;
    Harness first(session);
    first.start();
    ASSERT_TRUE(first.waitForLine("shown")) << first.output().toStdString();

    Harness second(session);
    QElapsedTimer t;
    t.start();
    second.start();
    EXPECT_EQ(second.waitForExit(), 0);
    EXPECT_LT(t.elapsed(), 3000);
    // It ended before it touched anything: no window, no tools, no report.
    EXPECT_EQ(second.output(), "") << second.output().toStdString();
    EXPECT_TRUE(first.waitForLine("activated"));
    EXPECT_TRUE(first.running());
}

TEST(SingleInstance, TwoCopiesStartedTogetherLeaveExactlyOne)
{
    Session session;
    Harness a(session), b(session);
    a.start();
    b.start();
    // Whichever lost ends with 0; the winner keeps running.
    QElapsedTimer t;
    t.start();
    while (a.running() && b.running() && t.elapsed() < 8000) {
        a.process().waitForFinished(10);
        b.process().waitForFinished(10);
    }
    ASSERT_NE(a.running(), b.running()) << a.output().toStdString() << "--\n"
                                        << b.output().toStdString();
    Harness& winner = a.running() ? a : b;
    Harness& loser = a.running() ? b : a;
    EXPECT_EQ(loser.waitForExit(), 0);
    EXPECT_FALSE(loser.output().contains("first"));
    EXPECT_TRUE(winner.waitForLine("first"));
    EXPECT_TRUE(winner.waitForLine("activated"));
}

TEST(SingleInstance, AKilledFirstCopyLeavesNoLockBehind)
{
    Session session;
    {
        Harness first(session);
        first.start();
        ASSERT_TRUE(first.waitForLine("shown"));
        ::kill(pid_t(first.pid()), SIGKILL);
        first.waitForExit();
    }
    Harness next(session);
    next.start();
    EXPECT_TRUE(next.waitForLine("shown")) << next.output().toStdString();
    // And the new first copy serves later copies through a fresh socket.
    Harness later(session);
    later.start();
    EXPECT_EQ(later.waitForExit(), 0);
    EXPECT_TRUE(next.waitForLine("activated"));
}

TEST(SingleInstance, AFirstCopyThatHangsStillEndsTheLaterCopy)
{
    Session session;
    Harness first(session);
    first.start();
    ASSERT_TRUE(first.waitForLine("shown"));
    ::kill(pid_t(first.pid()), SIGSTOP);

    Harness second(session);
    QElapsedTimer t;
    t.start();
    second.start();
    EXPECT_EQ(second.waitForExit(), 0);
    EXPECT_LT(t.elapsed(), TZenMutex::kAnswerTimeoutMs + 3000);
    ::kill(pid_t(first.pid()), SIGCONT);
    EXPECT_TRUE(first.running());
}

TEST(SingleInstance, TheKeyIsTheCaptionAfterItsLastSeparatorBlanksIncluded)
{
    EXPECT_EQ(TZenMutex::keyOf("Quillon "), "Quillon ");
    EXPECT_EQ(TZenMutex::keyOf("C:\\Apps\\Quillon "), "Quillon ");
    EXPECT_EQ(TZenMutex::keyOf("a:b\\c:d"), "d");

    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    {
        TZenMutex withBlank;
        ASSERT_TRUE(withBlank.claim("Quillon ", "Tfrmmain"));
        EXPECT_TRUE(QFileInfo::exists(runtime.path() + "/quillon/Quillon%20.lock"));
        TZenMutex withoutBlank;
        EXPECT_TRUE(withoutBlank.claim("Quillon", "Tfrmmain"));
        // Same key through a path: a later copy (nobody answers on this
        // thread, so it falls back to the window search and gives up).
        TZenMutex same;
        EXPECT_FALSE(same.claim("D:\\x\\Quillon ", "Tfrmmain"));
    }
    // Released with its owner.
    TZenMutex again;
    EXPECT_TRUE(again.claim("Quillon ", "Tfrmmain"));
    qunsetenv("XDG_RUNTIME_DIR");
}

TEST(SingleInstance, ARuntimeFolderOthersCanEnterIsNotUsed)
{
    QTemporaryDir open;
    QFile::setPermissions(open.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                           | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                           | QFileDevice::ExeOther);
    qputenv("XDG_RUNTIME_DIR", open.path().toUtf8());
    const QString folder = TZenMutex::runtimeFolder();
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(folder, QStringLiteral("/tmp/quillon-%1/").arg(::getuid()));
    EXPECT_EQ(QFileInfo(folder).permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther), 0);
}
