// The poll message, its hook and the pacing thread, with a real event loop.
#include "input/ZenAppEvents.h"
#include "input/ZenEventhread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

using namespace quillon::input;

namespace {

void processFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

class Pacing : public ::testing::Test {
protected:
    void SetUp() override
    {
        hook.OnZenMsgEvent = [this](TZenAppEvents*) { ++polls; };
    }
    QObject window;
    TZenAppEvents hook;
    int polls = 0;
};

}  // namespace

TEST_F(Pacing, OnlyTheMarkedMessageIsAPoll)
{
    QCoreApplication::postEvent(&window, new ZenMessageEvent(kZenMessage, kPollMarker, 0));
    QCoreApplication::postEvent(&window, new ZenMessageEvent(kZenMessage, 9100, 0));  // the tray
    QCoreApplication::postEvent(&window, new ZenMessageEvent(1416, kPollMarker, 0));
    processFor(20);
    EXPECT_EQ(polls, 1);
    hook.OnZenMsgEvent = nullptr;
    QCoreApplication::postEvent(&window, new ZenMessageEvent(kZenMessage, kPollMarker, 0));
    processFor(20);
    EXPECT_EQ(polls, 1);
}

TEST_F(Pacing, ThreadPostsEveryFiftyMilliseconds)
{
    TZenEventhread pacing(&window);
    processFor(525);
    pacing.Terminate();
    pacing.WaitFor();
    processFor(20);
    // At most 11 posts in 525 ms (one at once, then one every 50 ms); a busy
    // machine may make fewer, never more.
    EXPECT_GE(polls, 3);
    EXPECT_LE(polls, 11);
}

// Waits, dispatching events, until `done` or about `ms` have passed.
bool processUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}

TEST_F(Pacing, APollLongerThanTheIntervalGetsNoSecondPost)
{
    hook.OnZenMsgEvent = [&](TZenAppEvents*) {
        ++polls;
        QThread::msleep(180);  // blocks the loop for more than three intervals
    };
    TZenEventhread pacing(&window);
    ASSERT_TRUE(processUntil([&] { return polls == 1; }, 2000));
    const long long postedDuringPoll = pacing.Posted();
    pacing.Terminate();
    pacing.WaitFor();
    EXPECT_EQ(postedDuringPoll, 1);
}

// With a ten-second interval, only the first tick and wakes post. A
// hundred wakes while this thread runs no events find a poll queued: at
// most one more poll follows, for a wake still pending when it ran.
TEST_F(Pacing, AWakePostsAtOnceAndWakesCoalesceWhileAPollIsQueued)
{
    TZenEventhread pacing(&window, 10000);
    ASSERT_TRUE(processUntil([&] { return polls == 1; }, 2000));
    for (int i = 0; i < 100; ++i)
        pacing.Wake();
    EXPECT_TRUE(processUntil([&] { return polls >= 2; }, 2000));
    processFor(100);
    EXPECT_LE(polls, 3);
    EXPECT_EQ(pacing.Posted(), polls);
    pacing.Terminate();
    pacing.WaitFor();
}

TEST_F(Pacing, AWakeDuringARunningPollPostsWhenItEnds)
{
    TZenEventhread* pacingPtr = nullptr;
    int calls = 0;
    hook.OnZenMsgEvent = [&](TZenAppEvents*) {
        ++calls;
        if (calls == 1 && pacingPtr) {
            pacingPtr->Wake();  // a key event while this poll runs
            QThread::msleep(10);
        }
    };
    TZenEventhread pacing(&window, 10000);
    pacingPtr = &pacing;
    // The tick's poll, then the wake's, long before the next tick.
    EXPECT_TRUE(processUntil([&] { return calls == 2; }, 5000));
    pacing.Terminate();
    pacing.WaitFor();
}

TEST(SharedPacing, OneThreadPerProcess)
{
    QObject window;
    EXPECT_FALSE(sharedPacingRunning());
    startSharedPacing(&window);
    startSharedPacing(&window);
    EXPECT_TRUE(sharedPacingRunning());
    stopSharedPacing();
    EXPECT_FALSE(sharedPacingRunning());
    wakeSharedPacing();  // nothing to wake: harmless
}

// The shared thread slows to the safety poll only while every poller that
// spoke allows it, never below the interval it was started with, and comes
// back at once when one of them needs the ticks again.
TEST(SharedPacing, SlowsOnlyWhileEveryPollerAllowsIt)
{
    QObject window;
    int first = 0, second = 0;
    startSharedPacing(&window);
    EXPECT_EQ(sharedPacingInterval(), 50);
    allowSharedPacingSlow(&first, true);
    EXPECT_EQ(sharedPacingInterval(), kSafetyPollMs);
    allowSharedPacingSlow(&second, false);
    EXPECT_EQ(sharedPacingInterval(), 50);
    allowSharedPacingSlow(&second, true);
    EXPECT_EQ(sharedPacingInterval(), kSafetyPollMs);
    forgetSharedPacingPoller(&first);
    forgetSharedPacingPoller(&second);
    EXPECT_EQ(sharedPacingInterval(), 50);
    stopSharedPacing();

    startSharedPacing(&window, 5000);
    allowSharedPacingSlow(&first, true);
    EXPECT_EQ(sharedPacingInterval(), 5000);
    forgetSharedPacingPoller(&first);
    stopSharedPacing();
    EXPECT_EQ(sharedPacingInterval(), 0);
}

// A thread waiting for a long tick posts at once when its interval gets
// shorter, then keeps the new pace.
TEST_F(Pacing, AShorterIntervalTakesEffectWithoutWaitingForTheOldTick)
{
    TZenEventhread pacing(&window, 10000);
    ASSERT_TRUE(processUntil([&] { return polls == 1; }, 1000));
    pacing.setInterval(50);
    EXPECT_TRUE(processUntil([&] { return polls >= 4; }, 2000)) << polls;
}
