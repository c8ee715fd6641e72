// The main window driven as a user drives it: keys pressed in column 0,
// clicks on the armed column and its header, new scripts, the cell button,
// deleting a row, the exit command and message boxes of scripts.
#include "WindowFixture.h"

#include "app/ScriptBoxes.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>

using namespace quillon;
using quillon::testing::WindowTest;
using quillon::testing::busyScript;

namespace {

class Window : public WindowTest {
protected:
    void pressInColumn0(int row, Qt::Key key)
    {
        grid().setCurrentCell(row, 0);
        QTest::keyClick(&grid(), key);
    }
    void clickCell(int row, int col, Qt::MouseButton button = Qt::LeftButton)
    {
        const QRect rect = grid().visualRect(grid().model()->index(row, col));
        QTest::mouseClick(grid().viewport(), button, {}, rect.center());
    }
    std::vector<std::pair<int, int>> grabs() { return desktop->grabbedKeys(); }
};

class HiddenWindow : public WindowTest {
protected:
    void SetUp() override
    {
        startHidden = true;
        WindowTest::SetUp();
    }
};

QList<QMessageBox*> scriptBoxes()
{
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->objectName() == "ScriptBox")
            boxes << box;
    }
    return boxes;
}

}  // namespace

TEST_F(Window, HasItsCaptionTableAndMenus)
{
    EXPECT_EQ(window->windowTitle(), "Quillon ");
    EXPECT_EQ(grid().rowCount(), 99);
    EXPECT_EQ(grid().columnCount(), 5);
    EXPECT_EQ(grid().columnWidth(0), 119);
    EXPECT_EQ(grid().columnWidth(1), 333);
    EXPECT_EQ(grid().columnWidth(4), 128);
    for (const char* text : {"开机启动", "全局设置", "导入", "导出", "COM", "DLL", "退出", "扩展", "按键映射器",
                             "脚本调试器", "界面设计器", "在线支持", "关于", "手册", "删除脚本", "打开脚本",
                             "打开文件夹", "关闭"})
        EXPECT_NE(window->actionNamed(QString::fromUtf8(text)), nullptr) << text;
    EXPECT_FALSE(window->actionNamed(QStringLiteral("扩展"))->isVisible());
    EXPECT_TRUE(window->StartWithSystemItem()->isCheckable());
    for (const char* name : {"plugin/COM", "plugin/DLL", "script", "pkg", "tools", "cfg"})
        EXPECT_TRUE(QDir(dir.filePath(QString::fromLatin1(name))).exists()) << name;
}

TEST_F(Window, APressedKeyBindsTheRowAndMovesAwayFromAnotherRow)
{
    bind(1, QStringLiteral("F2"), script(QStringLiteral("a.txt"), busyScript(10000)));
    press(QStringLiteral("F2"));
    ASSERT_TRUE(waitBusy(QStringLiteral("F2")));
    pressInColumn0(3, Qt::Key_F1);
    EXPECT_EQ(cell(0, 3), "F1");
    EXPECT_EQ(cell(2, 3), "false");

    // F2 taken for row 3: row 1 loses it, is disarmed and its run stops.
    pressInColumn0(3, Qt::Key_F2);
    EXPECT_EQ(cell(0, 3), "F2");
    EXPECT_EQ(cell(0, 1), "");
    EXPECT_EQ(cell(2, 1), "false");
    EXPECT_EQ(window->EnabledKeys().value(QStringLiteral("F2")), "false");
    EXPECT_TRUE(grabs().empty());
    EXPECT_FALSE(busy(QStringLiteral("F2")));
}

TEST_F(Window, AKeyWithoutANameClearsTheRow)
{
    bind(1, QStringLiteral("F1"), script(QStringLiteral("a.txt"), busyScript(100)));
    ASSERT_EQ(grabs().size(), 1u);
    pressInColumn0(1, Qt::Key_VolumeUp);
    EXPECT_EQ(cell(0, 1), "");
    EXPECT_EQ(cell(2, 1), "false");
    EXPECT_TRUE(grabs().empty());
}

TEST_F(Window, KeysInOtherColumnsBindNothing)
{
    grid().setCurrentCell(1, 1);
    QTest::keyClick(&grid(), Qt::Key_F1);
    EXPECT_EQ(cell(0, 1), "");
}

TEST_F(Window, ArmingNeedsKeyAndScript)
{
    window->show();
    grid().setCellText(0, 1, QStringLiteral("F1"));
    clickCell(1, 2);
    EXPECT_EQ(cell(2, 1), "false");
    EXPECT_EQ(messages, QStringList{QString::fromUtf8(app::kNotArmableMessage)});
    EXPECT_TRUE(grabs().empty());

    grid().setCellText(1, 1, script(QStringLiteral("a.txt"), busyScript(100)));
    clickCell(1, 2);
    EXPECT_EQ(cell(2, 1), "true");
    EXPECT_EQ(window->EnabledKeys().value(QStringLiteral("F1")), "true");
    EXPECT_EQ(grabs(), (std::vector<std::pair<int, int>>{{0, 0x70}}));

    // Unchecking leaves the cell empty, not "false", and disarms.
    clickCell(1, 2);
    EXPECT_EQ(cell(2, 1), "");
    EXPECT_EQ(window->EnabledKeys().value(QStringLiteral("F1")), "false");
    EXPECT_TRUE(grabs().empty());
}

TEST_F(Window, ARightPressOnTheCurrentArmedCellKeepsKeysInStep)
{
    window->show();
    bind(1, QStringLiteral("F1"), script(QStringLiteral("a.txt"), busyScript(100)));
    grid().setCurrentCell(1, 2);
    clickCell(1, 2, Qt::RightButton);
    EXPECT_EQ(cell(2, 1), "");
    EXPECT_EQ(window->EnabledKeys().value(QStringLiteral("F1")), "false");
    EXPECT_TRUE(grabs().empty());
}

TEST_F(Window, TheArmedHeaderClickedTwiceRestoresTheArmedSet)
{
    window->show();
    const QString path = script(QStringLiteral("a.txt"), busyScript(100));
    bind(1, QStringLiteral("F1"), path);
    grid().setCellText(0, 2, QStringLiteral("F2"));
    grid().setCellText(1, 2, path);
    grid().setCellText(0, 3, QStringLiteral("F3"));  // no script: never touched
    clickCell(0, 2);
    EXPECT_EQ(cell(2, 1), "false");
    EXPECT_EQ(cell(2, 2), "true");
    EXPECT_EQ(cell(2, 3), "");
    EXPECT_EQ(grabs(), (std::vector<std::pair<int, int>>{{0, 0x71}}));
    clickCell(0, 2);
    EXPECT_EQ(cell(2, 1), "true");
    EXPECT_EQ(cell(2, 2), "false");
    EXPECT_EQ(grabs(), (std::vector<std::pair<int, int>>{{0, 0x70}}));
    EXPECT_EQ(grid().currentRow(), 1) << "the header row never becomes current";
}

TEST_F(Window, DoubleClickCreatesTheTemplateOnceAndOpensIt)
{
    grid().setCurrentCell(7, 1);
    window->ZenStringGrid1DblClick();
    EXPECT_EQ(cell(1, 7), "./script/noName7.txt");
    QFile file(dir.filePath(QStringLiteral("script/noName7.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    EXPECT_EQ(bytes, app::newScriptTemplate());
    EXPECT_EQ(bytes.count("\r\n"), 19);
    EXPECT_TRUE(bytes.startsWith(QStringLiteral("//按下键:%1\r\nsection down\r\n\r\nend section\r\n")
                                     .arg(QString(34, QLatin1Char('/'))).toUtf8()));
    EXPECT_TRUE(bytes.contains(QStringLiteral("\r\n//单线启动模式下，再次按下键停止时执行://///////\r\nsection final\r\n").toUtf8()));
    EXPECT_EQ(opened(), QStringList{"./script/noName7.txt"});

    // The user's edits survive a second double click, which opens the file again.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("section down\r\nkey \"a\"\r\nend section\r\n");
    file.close();
    window->ZenStringGrid1DblClick();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "section down\r\nkey \"a\"\r\nend section\r\n");
    EXPECT_EQ(opened().size(), 2);
}

TEST_F(Window, DoubleClickDisarmsAndStopsTheRow)
{
    bind(1, QStringLiteral("F1"), script(QStringLiteral("a.txt"), busyScript(10000)));
    press(QStringLiteral("F1"));
    ASSERT_TRUE(waitBusy(QStringLiteral("F1")));
    grid().setCurrentCell(1, 1);
    window->ZenStringGrid1DblClick();
    EXPECT_EQ(cell(2, 1), "false");
    EXPECT_FALSE(busy(QStringLiteral("F1")));
    EXPECT_TRUE(grabs().empty());
}

TEST_F(Window, TheCellButtonAppendsTxtUnlessTheExtensionIsExactlyTxt)
{
    window->show();
    grid().setCurrentCell(2, 1);
    clickCell(2, 1);
    ASSERT_TRUE(grid().CellButton()->isVisible());
    picked = dir.filePath(QStringLiteral("Mine.TXT"));
    grid().CellButton()->click();
    EXPECT_EQ(cell(1, 2), dir.filePath(QStringLiteral("Mine.TXT.txt")));
    picked = dir.filePath(QStringLiteral("plain.txt"));
    grid().CellButton()->click();
    EXPECT_EQ(cell(1, 2), picked);
    picked.clear();  // cancelled
    grid().CellButton()->click();
    EXPECT_EQ(cell(1, 2), dir.filePath(QStringLiteral("plain.txt")));
}

TEST_F(Window, DeletingARowDisarmsItAndLeavesItsRunRunning)
{
    const QString path = script(QStringLiteral("a.txt"), busyScript(10000));
    bind(4, QStringLiteral("F1"), path);
    grid().setCellText(4, 4, QStringLiteral("pack"));
    press(QStringLiteral("F1"));
    ASSERT_TRUE(waitBusy(QStringLiteral("F1")));
    grid().setCurrentCell(4, 3);
    window->N20Click();
    for (int col = 0; col < 5; ++col)
        EXPECT_EQ(cell(col, 4), "") << col;
    EXPECT_EQ(window->EnabledKeys().value(QStringLiteral("F1")), "false");
    EXPECT_TRUE(grabs().empty());
    EXPECT_TRUE(busy(QStringLiteral("F1")));
    EXPECT_TRUE(QFile::exists(path));
}

TEST_F(Window, MenuCommandsOpenTheFolderTheManualAndTheSupportPage)
{
    window->N23Click();
    window->N19Click();
    window->N18Click();
    const QStringList paths = opened();
    ASSERT_EQ(paths.size(), 3);
    EXPECT_EQ(QDir::cleanPath(paths[0]), QDir::cleanPath(dir.filePath(QStringLiteral("script"))));
    EXPECT_EQ(QDir::cleanPath(paths[1]), QDir::cleanPath(dir.filePath(QStringLiteral("help.txt"))));
    EXPECT_TRUE(paths[2].startsWith(QStringLiteral("https://")));
}

TEST_F(Window, TheExitCommandStopsEveryRunAfterTogglingTheRowsOnce)
{
    bind(1, QStringLiteral("F1"), script(QStringLiteral("a.txt"), busyScript(10000)),
         QString::fromUtf8(app::kRepeatRunMode));
    grid().setCellText(0, 2, QStringLiteral("F2"));
    grid().setCellText(1, 2, script(QStringLiteral("b.txt"), busyScript(100)));
    press(QStringLiteral("F1"));
    press(QStringLiteral("F1"));
    ASSERT_TRUE(waitPresses('D', 2));
    QElapsedTimer clock;
    clock.start();
    window->N26Click();
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(window->exited());
    EXPECT_TRUE(window->runningScriptKeys().isEmpty());
    EXPECT_EQ(cell(2, 1), "false");
    EXPECT_EQ(cell(2, 2), "true");
    // Nothing reacts afterwards, and a second exit does nothing.
    press(QStringLiteral("F2"));
    window->N26Click();
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(window->runningScriptKeys().isEmpty());
}

TEST_F(Window, TwoRunsEachShowABoxThatClosesOnItsOwn)
{
    bind(1, QStringLiteral("F1"),
         script(QStringLiteral("a.txt"), QStringLiteral("section down\nmessagebox \"one\"\nkey \"a\"\nend section\n")));
    bind(2, QStringLiteral("F2"),
         script(QStringLiteral("b.txt"), QStringLiteral("section down\nmessagebox \"two\"\nkey \"b\"\nend section\n")));
    press(QStringLiteral("F1"));
    press(QStringLiteral("F2"));
    ASSERT_TRUE(QTest::qWaitFor([] { return scriptBoxes().size() == 2; }, 5000));
    QMessageBox* two = nullptr;
    for (QMessageBox* box : scriptBoxes()) {
        EXPECT_EQ(box->windowTitle(), "zemath");
        if (box->text() == "two")
            two = box;
    }
    ASSERT_NE(two, nullptr);
    // The later box closes first; its run goes on while the earlier box stays.
    two->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(waitPresses('B', 1));
    EXPECT_EQ(keyPresses('A'), 0);
    ASSERT_EQ(scriptBoxes().size(), 1);
    EXPECT_EQ(scriptBoxes()[0]->text(), "one");
    EXPECT_TRUE(busy(QStringLiteral("F1")));
    scriptBoxes()[0]->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(waitPresses('A', 1));
}

TEST_F(Window, TheStopKeyClosesTheBoxOfARunItStops)
{
    bind(1, QStringLiteral("F1"),
         script(QStringLiteral("a.txt"), QStringLiteral("section down\nmessagebox \"wait\"\nkey \"a\"\nend section\n")));
    press(QStringLiteral("F1"));
    ASSERT_TRUE(QTest::qWaitFor([] { return scriptBoxes().size() == 1; }, 5000));
    QElapsedTimer clock;
    clock.start();
    pressStopKey();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_FALSE(busy(QStringLiteral("F1")));
    EXPECT_TRUE(QTest::qWaitFor([] { return scriptBoxes().isEmpty(); }, 2000));
    EXPECT_EQ(keyPresses('A'), 0) << "the pass ended at the box";
}

TEST_F(HiddenWindow, StartedHiddenGoesAwayOnceAndComesBackWhenShownAgain)
{
    window->show();
    // Without a tray (offscreen) the window minimises instead of hiding.
    EXPECT_TRUE(QTest::qWaitFor([this] { return window->isMinimized() || !window->isVisible(); }, 2000));
    // What the tray does to bring it back: the window is shown again.
    window->hide();
    window->showNormal();
    QTest::qWait(100);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(grid().currentColumn(), 2) << "the show handler selects the armed column";
}

TEST_F(Window, TheTableAndTheStopKeyComeBackAfterARestart)
{
    const QString path = script(QStringLiteral("a.txt"), busyScript(100));
    bind(1, QStringLiteral("F1"), path);
    grid().setCellText(0, 2, QStringLiteral("F2"));
    grid().setCellText(1, 2, path);
    grid().setCellText(3, 2, QString::fromUtf8(app::kRepeatRunMode));
    window->StartWithSystemItem()->setChecked(true);
    // The stop key becomes F5 in the settings window.
    auto* settings = qobject_cast<QDialog*>(window->settingsWindow());
    ASSERT_NE(settings, nullptr);
    settings->open();
    QTest::keyClick(settings->findChild<QLineEdit*>(), Qt::Key_F5);
    settings->accept();
    EXPECT_EQ(cell(2, 0), "启用(F5全)");
    EXPECT_EQ(app::GlobalStopKey.load(), 0x74);

    window->N26Click();
    ASSERT_TRUE(QFile::exists(window->stateFileName()));
    window.reset();
    app::GlobalStopKey = app::DefaultGlobalStopKey;
    makeWindow();

    EXPECT_EQ(cell(0, 1), "F1");
    EXPECT_EQ(cell(1, 1), path);
    EXPECT_EQ(cell(2, 1), "true") << "saved before the exit's stop-key press toggled it";
    EXPECT_EQ(cell(3, 2), "重复启动");
    EXPECT_EQ(grid().rowCount(), 99);
    EXPECT_TRUE(window->StartWithSystemItem()->isChecked());
    EXPECT_EQ(cell(2, 0), "启用(F5全)");
    EXPECT_EQ(app::GlobalStopKey.load(), 0x74);
    EXPECT_TRUE(grabs().empty()) << "restored rows are armed by the timer only";
    window->tmr1Timer();
    EXPECT_EQ(window->EnabledKeys().value(QStringLiteral("F1")), "true");
    EXPECT_EQ(grabs(), (std::vector<std::pair<int, int>>{{0, 0x70}}));
}

TEST_F(Window, TheRunLogExpandsBelowTheTableAndCollapsesToItsBar)
{
    window->show();
    QTest::qWait(20);
    app::RunLogView* log = window->runLogView();
    const int collapsed = log->height();
    log->setExpanded(true);
    QTest::qWait(20);
    EXPECT_TRUE(log->expanded());
    EXPECT_GT(log->height(), collapsed + 40) << "the log gets room to show its lines";
    log->setExpanded(false);
    QTest::qWait(20);
    EXPECT_LE(log->height(), collapsed + 2);
    EXPECT_GT(grid().height(), 200);
}
