// Trigger dispatch with real runs of real script files: what presses and
// releases of bound keys do in single and repeat mode, the global stop key,
// and handlers re-entered while they wait.
#include "WindowFixture.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace quillon;
using quillon::testing::WindowTest;
using quillon::testing::busyScript;

namespace {

class Dispatch : public WindowTest {};

class KeyboardDispatch : public WindowTest {
protected:
    void SetUp() override
    {
        readKeyboard = true;
        WindowTest::SetUp();
    }
};

}  // namespace

TEST_F(Dispatch, StopKeyTogglesCompleteRowsAndStopsRunsAndASecondPressRestores)
{
    const QString path = script(QStringLiteral("a.txt"), busyScript(10000));
    bind(1, QStringLiteral("F1"), path);
    bind(2, QStringLiteral("F2"), path);
    grid().setCellText(0, 3, QStringLiteral("F3"));
    grid().setCellText(1, 3, path);
    grid().setCellText(2, 3, QStringLiteral("false"));
    press(QStringLiteral("F1"));
    ASSERT_TRUE(waitBusy(QStringLiteral("F1")));

    QElapsedTimer clock;
    clock.start();
    pressStopKey();
    EXPECT_LT(clock.elapsed(), 2000) << "the 10 s delay was cut short";
    EXPECT_FALSE(busy(QStringLiteral("F1")));
    EXPECT_TRUE(run(QStringLiteral("F1"))->ReloadOnStart);
    EXPECT_EQ(cell(2, 1), "false");
    EXPECT_EQ(cell(2, 2), "false");
    EXPECT_EQ(cell(2, 3), "true");
    EXPECT_EQ(window->EnabledKeys().value(QStringLiteral("F1")), "false");
    EXPECT_EQ(window->EnabledKeys().value(QStringLiteral("F3")), "true");
    EXPECT_EQ(desktop->grabbedKeys(), (std::vector<std::pair<int, int>>{{0, 0x72}}));

    pressStopKey();
    EXPECT_EQ(cell(2, 1), "true");
    EXPECT_EQ(cell(2, 2), "true");
    EXPECT_EQ(cell(2, 3), "false");
    EXPECT_EQ(window->EnabledKeys().value(QStringLiteral("F3")), "false");
}

TEST_F(Dispatch, ALetterStopKeyTogglesOncePerPhysicalPress)
{
    app::GlobalStopKey = 'A';
    bind(1, QStringLiteral("F1"), script(QStringLiteral("a.txt"), busyScript(10000)));
    // The input component reports the key under both of its names.
    window->ZenDxInput1KeyDonw('A', QStringLiteral("A"));
    window->ZenDxInput1KeyDonw('A', QStringLiteral("a"));
    EXPECT_EQ(cell(2, 1), "false");
    // The exit command's synthetic press still toggles once.
    window->ZenDxInput1KeyDonw('A', QStringLiteral("vk_stop"));
    EXPECT_EQ(cell(2, 1), "true");
}

TEST_F(Dispatch, SecondPressStopsDownAndRunsFinalOrOnlyStopsWithoutOne)
{
    bind(1, QStringLiteral("F1"), script(QStringLiteral("a.txt"), busyScript(10000)));
    bind(2, QStringLiteral("F2"), script(QStringLiteral("b.txt"), busyScript(10000, false)));
    press(QStringLiteral("F1"));
    press(QStringLiteral("F2"));
    ASSERT_TRUE(waitPresses('D', 2));
    ASSERT_TRUE(busy(QStringLiteral("F1")));

    press(QStringLiteral("F1"));
    EXPECT_TRUE(waitPresses('F', 1)) << "final ran";
    EXPECT_EQ(run(QStringLiteral("F1"))->SectionName(), "final");
    EXPECT_TRUE(busy(QStringLiteral("F1"))) << "final is now running its delay";

    press(QStringLiteral("F2"));
    EXPECT_FALSE(busy(QStringLiteral("F2"))) << "stopped, and nothing started";
    EXPECT_EQ(run(QStringLiteral("F2"))->SectionName(), "down");

    // A press during final stops it and runs final again.
    press(QStringLiteral("F1"));
    EXPECT_TRUE(waitPresses('F', 2));
    EXPECT_EQ(keyPresses('D'), 2) << "down never ran again";
}

TEST_F(Dispatch, RepeatModeMakesNumberedRunsAndReusesThemAfterTheStopKey)
{
    bind(1, QStringLiteral("F1"), script(QStringLiteral("a.txt"), busyScript(10000)),
         QString::fromUtf8(app::kRepeatRunMode));
    for (int i = 0; i < 4; ++i)
        press(QStringLiteral("F1"));
    EXPECT_EQ(window->runningScriptKeys(),
              (QStringList{"F1", "F1_1", "F1_2", "F1_3"}));
    EXPECT_TRUE(waitPresses('D', 4)) << "four downs in parallel";
    EXPECT_TRUE(busy(QStringLiteral("F1_3")));
    EXPECT_EQ(window->RepeatCounts().value(QStringLiteral("F1")), "3");

    pressStopKey();
    EXPECT_EQ(window->RepeatCounts().value(QStringLiteral("F1")), "0");
    pressStopKey();  // arms the row again
    press(QStringLiteral("F1"));
    ASSERT_TRUE(waitBusy(QStringLiteral("F1")));
    press(QStringLiteral("F1"));
    EXPECT_EQ(window->runningScriptKeys().size(), 4) << "no fifth run";
    EXPECT_TRUE(busy(QStringLiteral("F1_1")));
    EXPECT_FALSE(busy(QStringLiteral("F1_2")));
}

TEST_F(Dispatch, ReleaseWithoutUpStopsDownAndABlankUpLeavesItRunning)
{
    bind(1, QStringLiteral("F1"),
         script(QStringLiteral("a.txt"), QStringLiteral("section down\nkey \"d\"\ndelay 10000\nend section\n")));
    bind(2, QStringLiteral("F2"), script(QStringLiteral("b.txt"), busyScript(10000, true, QStringLiteral("   "))));
    bind(3, QStringLiteral("F3"), script(QStringLiteral("c.txt"), busyScript(10000)));
    press(QStringLiteral("F1"));
    press(QStringLiteral("F2"));
    press(QStringLiteral("F3"));
    ASSERT_TRUE(waitPresses('D', 3));

    release(QStringLiteral("F1"));
    EXPECT_TRUE(waitIdle(QStringLiteral("F1"), 2000)) << "no up section: the release stops down";
    EXPECT_EQ(run(QStringLiteral("F1"))->SectionName(), "up");

    release(QStringLiteral("F2"));
    EXPECT_TRUE(busy(QStringLiteral("F2")));
    EXPECT_EQ(run(QStringLiteral("F2"))->SectionName(), "down");

    release(QStringLiteral("F3"));
    EXPECT_TRUE(waitPresses('U', 1)) << "down stopped, up ran";
}

TEST_F(Dispatch, KeysThatAreNotArmedOrAreASecondNameAreIgnored)
{
    const QString path = script(QStringLiteral("a.txt"), busyScript(10000));
    bind(1, QStringLiteral("A"), path);
    grid().setCellText(0, 2, QStringLiteral("F2"));
    grid().setCellText(1, 2, path);
    window->ZenDxInput1KeyDonw('A', QStringLiteral("a"));
    press(QStringLiteral("F2"));
    release(QStringLiteral("F4"));
    EXPECT_TRUE(window->runningScriptKeys().isEmpty());
    window->ZenDxInput1KeyDonw('A', QStringLiteral("A"));
    EXPECT_EQ(window->runningScriptKeys(), QStringList{"A"});
}

TEST_F(Dispatch, RestoredArmedRowsReactOnlyAfterTheTimer)
{
    grid().setCellText(0, 1, QStringLiteral("F1"));
    grid().setCellText(1, 1, script(QStringLiteral("a.txt"), busyScript(10000)));
    grid().setCellText(2, 1, QStringLiteral("true"));
    press(QStringLiteral("F1"));
    EXPECT_TRUE(window->runningScriptKeys().isEmpty());
    window->tmr1Timer();
    EXPECT_EQ(window->EnabledKeys().value(QStringLiteral("F1")), "true");
    press(QStringLiteral("F1"));
    EXPECT_EQ(window->runningScriptKeys(), QStringList{"F1"});
}

TEST_F(Dispatch, AHandlerReenteredDuringItsWaitLeavesConsistentState)
{
    bind(1, QStringLiteral("F1"), script(QStringLiteral("a.txt"), busyScript(300)));
    press(QStringLiteral("F1"));
    ASSERT_TRUE(waitIdle(QStringLiteral("F1")));
    // The next press starts down on the idle run and waits 50 ms; during
    // that wait the key is pressed again and released, which stops down,
    // runs final, then stops final and runs up.
    QTimer::singleShot(10, window.get(), [this] {
        press(QStringLiteral("F1"));
        release(QStringLiteral("F1"));
    });
    press(QStringLiteral("F1"));
    EXPECT_TRUE(waitPresses('U', 1));
    EXPECT_EQ(keyPresses('D'), 2);
    EXPECT_EQ(keyPresses('F'), 1);
    EXPECT_FALSE(run(QStringLiteral("F1"))->ReloadOnStart);
    EXPECT_EQ(window->runningScriptKeys(), QStringList{"F1"});
}

TEST_F(Dispatch, ExitDuringAWaitRunsWhenTheHandlerHasReturned)
{
    bind(1, QStringLiteral("F1"), script(QStringLiteral("a.txt"), busyScript(10000)));
    press(QStringLiteral("F1"));
    ASSERT_TRUE(waitBusy(QStringLiteral("F1")));
    // Pressed while the second press stops the run: the exit waits for it.
    QTimer::singleShot(0, window.get(), [this] { window->N26Click(); });
    press(QStringLiteral("F1"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return ended == 1; }, 5000));
    EXPECT_TRUE(window->runningScriptKeys().isEmpty());
}

TEST_F(Dispatch, AnUnreadableScriptMakesNoRunAndIsLogged)
{
    bind(1, QStringLiteral("F1"), dir.filePath(QStringLiteral("missing.txt")));
    press(QStringLiteral("F1"));
    EXPECT_TRUE(window->runningScriptKeys().isEmpty());
    ASSERT_EQ(window->runLog().size(), 1);
    const auto entries = window->runLog().entriesAfter(0);
    EXPECT_EQ(entries[0].key, "F1");
    EXPECT_EQ(entries[0].line, -1);
    EXPECT_EQ(entries[0].number, 53);
}

TEST_F(Dispatch, AScriptErrorReachesTheLogWithKeyFileLineAndColumn)
{
    const QString path = script(QStringLiteral("a.txt"), QStringLiteral("section down\nx = 1\ny = 1 / 0\nend section\n"));
    bind(1, QStringLiteral("F1"), path);
    press(QStringLiteral("F1"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->runLog().size() > 0; }, 5000));
    const auto entries = window->runLog().entriesAfter(0);
    EXPECT_EQ(entries[0].key, "F1");
    EXPECT_EQ(entries[0].script, path);
    EXPECT_EQ(entries[0].line, 2);
    EXPECT_EQ(entries[0].number, 11);
    EXPECT_TRUE(QTest::qWaitFor([this] { return window->runLogView()->text().contains(QStringLiteral("错误 11")); }, 2000));
}

TEST_F(Dispatch, BusyRowsShowTheirRunCount)
{
    bind(1, QStringLiteral("F1"), script(QStringLiteral("a.txt"), busyScript(10000)),
         QString::fromUtf8(app::kRepeatRunMode));
    press(QStringLiteral("F1"));
    press(QStringLiteral("F1"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return grid().runCount(1) == 2; }, 2000));
    pressStopKey();
    EXPECT_TRUE(QTest::qWaitFor([this] { return grid().runCount(1) == 0; }, 2000));
    // The count follows the runs again after a time with none busy, also
    // down to 0 for a run that ends by itself.
    pressStopKey();
    bind(2, QStringLiteral("F2"), script(QStringLiteral("b.txt"), busyScript(300)));
    QTest::qWait(200);
    press(QStringLiteral("F2"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return grid().runCount(2) == 1; }, 2000));
    EXPECT_TRUE(QTest::qWaitFor([this] { return grid().runCount(2) == 0; }, 3000));
}

TEST_F(KeyboardDispatch, KeysHeldOnTheKeyboardRunDownAndUp)
{
    bind(1, QStringLiteral("F1"), script(QStringLiteral("a.txt"), busyScript(100)));
    desktop->setKeyDown(0x70, true);
    EXPECT_TRUE(waitPresses('D', 1));
    desktop->setKeyDown(0x70, false);
    EXPECT_TRUE(waitPresses('U', 1));
    // The stop key on the keyboard disarms the row, so F1 does nothing more.
    desktop->setKeyDown(0x7A, true);
    EXPECT_TRUE(QTest::qWaitFor([this] { return cell(2, 1) == "false"; }, 2000));
    desktop->setKeyDown(0x7A, false);
    desktop->setKeyDown(0x70, true);
    QTest::qWait(200);
    EXPECT_EQ(keyPresses('D'), 1);
    desktop->setKeyDown(0x70, false);
}

TEST_F(Dispatch, AnExitWhileAMessageWaitsForTheUserClosesItAndRuns)
{
    // A real modal message, as the window shows when a row cannot be armed.
    messages.clear();
    window.reset();
    app::Tfrmmain::Options options;
    options.desktop = desktop;
    options.programDir = dir.path();
    options.endProcess = [this] { ++ended; };
    window = std::make_unique<app::Tfrmmain>(options);
    window->FormCreate();
    window->show();
    grid().setCellText(0, 1, QStringLiteral("F1"));
    grid().setCellText(2, 1, QStringLiteral("true"));
    grid().setCurrentCell(1, 2);
    QTimer::singleShot(100, window.get(), [this] { window->N26Click(); });
    window->ZenStringGrid1Click();  // returns once the message is closed
    EXPECT_TRUE(QTest::qWaitFor([this] { return ended == 1; }, 5000));
    EXPECT_EQ(cell(2, 1), "false");
}

namespace {

// Releases of `vk` the scripts or the window made on the simulated desktop.
int keyReleases(const platform::SimDesktop& desktop, int vk)
{
    int n = 0;
    for (const platform::SimEvent& e : desktop.events())
        n += e.kind == platform::SimEvent::Kind::Key && e.code == vk && (e.flags & platform::kKeyUp);
    return n;
}

// Holds Shift and the left button, then stays busy.
const QString kHoldingScript = QStringLiteral(
    "section down\nkdown \"shift\"\nmouse \"ldown\"\ndelay 10000\nend section\n"
    "section up\nkey \"u\"\nend section\n");

}  // namespace

TEST_F(Dispatch, AStoppedRunLetsGoOfWhatItHeldAndOnlyOfThat)
{
    bind(1, QStringLiteral("F1"), script(QStringLiteral("hold.txt"), kHoldingScript));
    bind(2, QStringLiteral("F2"), script(QStringLiteral("ctrl.txt"),
                                         QStringLiteral("section down\nkdown \"ctrl\"\nend section\n"
                                                        "section up\n\nend section\n")));
    press(QStringLiteral("F2"));
    ASSERT_TRUE(waitPresses(0x11, 1));
    ASSERT_TRUE(waitIdle(QStringLiteral("F2")));
    press(QStringLiteral("F1"));
    ASSERT_TRUE(waitPresses(0x10, 1));
    ASSERT_TRUE(busy(QStringLiteral("F1")));
    EXPECT_EQ(keyReleases(*desktop, 0x10), 0);

    // A second press stops the single run: Shift and the button go up,
    // while the Ctrl that F2's finished section holds stays down.
    press(QStringLiteral("F1"));
    EXPECT_FALSE(busy(QStringLiteral("F1")));
    EXPECT_EQ(keyReleases(*desktop, 0x10), 1);
    EXPECT_EQ(keyReleases(*desktop, 0x11), 0);
    int leftUps = 0;
    for (const platform::SimEvent& e : desktop->events())
        leftUps += e.kind == platform::SimEvent::Kind::Mouse && (e.code & platform::kMouseLeftUp);
    EXPECT_EQ(leftUps, 1);

    // The stop key lets go of everything, the finished run's Ctrl too.
    pressStopKey();
    EXPECT_EQ(keyReleases(*desktop, 0x11), 1);
    EXPECT_EQ(keyReleases(*desktop, 0x10), 1) << "Shift was released already";
}

TEST_F(Dispatch, ReleasingAKeyThatStopsItsBusyDownLetsGoOfItsKeys)
{
    bind(1, QStringLiteral("F1"), script(QStringLiteral("hold.txt"), kHoldingScript));
    press(QStringLiteral("F1"));
    ASSERT_TRUE(waitPresses(0x10, 1));
    release(QStringLiteral("F1"));
    EXPECT_EQ(keyReleases(*desktop, 0x10), 1);
    EXPECT_TRUE(waitPresses('U', 1));
}

TEST_F(Dispatch, ArmingAKeyAnotherProgramGrabbedSaysSoInTheRunLog)
{
    desktop->holdForeignGrab(0, 0x71);
    bind(1, QStringLiteral("F2"), script(QStringLiteral("a.txt"), busyScript(10)));
    const std::vector<app::RunLogEntry> entries = window->runLog().entriesAfter(0);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].key, "F2");
    EXPECT_TRUE(entries[0].description.contains(QStringLiteral("could not be grabbed")))
        << entries[0].description.toStdString();
    EXPECT_TRUE(entries[0].description.contains(QStringLiteral("other program")));
    // The row is armed all the same: the key state still drives it.
    EXPECT_EQ(window->EnabledKeys().value(QStringLiteral("F2")), "true");
}

TEST(RunLogText, AKeyNoticeIsNotShownAsAScriptThatFailedToLoad)
{
    app::RunLogEntry notice{{}, QStringLiteral("F2"), {}, -1, 0, 0, QStringLiteral("grab refused")};
    const QString text = app::formatRunLogEntry(notice);
    EXPECT_TRUE(text.endsWith(QStringLiteral("F2  grab refused"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("脚本载入失败")));
}
