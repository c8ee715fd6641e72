// The settings window publishes the stop key to the trigger table's header
// and to GlobalStopKey, keeps it across restarts, and names keys as the
// key-name table does. The manual window is laid out as specified.
#include "StateTestSupport.h"

#include "app/GlobalStopKey.h"
#include "app/QtKeyCodes.h"
#include "app/fmCfgGlobal.h"
#include "app/fmHelp.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using quillon::app::GlobalStopKey;
using quillon::app::TfrmCfgGlobal;
using quillon::app::TfrmHelp;
using quillon::app::TGUIStatus;
using namespace quillon::test;

namespace {

class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override { GlobalStopKey = -1; }

    // A start of the program: a fresh table and settings window whose
    // start-up handler has run.
    std::unique_ptr<TfrmCfgGlobal> start()
    {
        auto window = std::make_unique<TfrmCfgGlobal>(&table);
        window->SetStateFileName(stateFile());
        window->FormCreate();
        return window;
    }
    QString stateFile() const { return dir.filePath("settings.stat"); }

    QTemporaryDir dir;
    QTableWidget table{99, 5};
};

TEST_F(SettingsWindowTest, WithoutAStateFileTheStopKeyIsF11)
{
    auto window = start();
    EXPECT_EQ(row(&table, 0), QStringList({"触发开关键", "脚本", "启用(F11全)", "模式", "奇匣包配置"}));
    EXPECT_EQ(GlobalStopKey.load(), 122);
    EXPECT_EQ(window->windowTitle(), "全局设置");
    EXPECT_EQ(window->size(), QSize(349, 172));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(SettingsWindowTest, PressingF5AndClosingMakesF5TheStopKeyAlsoAfterARestart)
{
    {
        auto window = start();
        window->show();
        QTest::keyClick(window->KeyEdit(), Qt::Key_F5);
        EXPECT_EQ(window->KeyEdit()->text(), "F5");
        EXPECT_EQ(GlobalStopKey.load(), 122) << "the key takes effect when the window closes";
        QTest::mouseClick(window->findChild<QPushButton*>("btnOK"), Qt::LeftButton);
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(table.item(0, 2)->text(), "启用(F5全)");
        EXPECT_EQ(GlobalStopKey.load(), 0x74);
    }
    GlobalStopKey = -1;
    QTableWidget restarted(99, 5);
    TfrmCfgGlobal window(&restarted);
    window.SetStateFileName(stateFile());
    window.FormCreate();
    EXPECT_EQ(restarted.item(0, 2)->text(), "启用(F5全)");
    EXPECT_EQ(GlobalStopKey.load(), 0x74);
}

TEST_F(SettingsWindowTest, AStateFileOfAnotherBuildStillKeepsTheStopKey)
{
    {
        auto window = start();
        window->KeyEdit()->setText("F7");
        window->FormClose();
    }
    QStringList lines = readLines(stateFile());
    lines[0] = "2001-02-03 04:05:06";
    writeLines(stateFile(), lines);
    start();
    EXPECT_EQ(GlobalStopKey.load(), 0x76);
}

TEST_F(SettingsWindowTest, ClosingByTheCloseBoxPublishesLikeOk)
{
    auto window = start();
    window->show();
    QTest::keyClick(window->KeyEdit(), Qt::Key_A);
    EXPECT_EQ(window->KeyEdit()->text(), "A") << "the first name of the code, never a";
    window->close();
    EXPECT_EQ(table.item(0, 2)->text(), "启用(A全)");
    EXPECT_EQ(GlobalStopKey.load(), 0x41);
    EXPECT_EQ(readLines(stateFile()).last(), "A");
}

TEST_F(SettingsWindowTest, AKeyWithoutANameTurnsTheStopKeyOff)
{
    auto window = start();
    window->show();
    QTest::keyClick(window->KeyEdit(), Qt::Key_VolumeUp);
    EXPECT_EQ(window->KeyEdit()->text(), "");
    window->close();
    EXPECT_EQ(table.item(0, 2)->text(), "启用(全)");
    EXPECT_EQ(GlobalStopKey.load(), 0);
}

TEST_F(SettingsWindowTest, TabEnterAndEscapeInTheFieldNameKeysInsteadOfLeavingIt)
{
    auto window = start();
    window->show();
    window->activateWindow();
    window->KeyEdit()->setFocus();
    for (const auto& [key, name] : {std::pair{Qt::Key_Tab, "TAB"}, {Qt::Key_Return, "ENTER"},
                                    {Qt::Key_Escape, "ESC"}, {Qt::Key_Shift, "SHIFT"}}) {
        QTest::keyClick(window->KeyEdit(), key);
        EXPECT_EQ(window->KeyEdit()->text(), name);
        EXPECT_TRUE(window->isVisible()) << name;
    }
    EXPECT_EQ(GlobalStopKey.load(), 122);
}

TEST_F(SettingsWindowTest, TheFieldCannotBeTypedInto)
{
    auto window = start();
    window->show();
    QTest::keyClicks(window->KeyEdit(), "hello");
    EXPECT_EQ(window->KeyEdit()->text(), "O");
    EXPECT_TRUE(window->KeyEdit()->isReadOnly());
}

TEST(QtKeyCodes, KeysGiveTheirVirtualKeyCodes)
{
    using quillon::app::virtualKeyOf;
    const Qt::KeyboardModifiers none;
    EXPECT_EQ(virtualKeyOf(Qt::Key_A, none), 0x41);
    EXPECT_EQ(virtualKeyOf(Qt::Key_Z, Qt::ShiftModifier), 0x5A);
    EXPECT_EQ(virtualKeyOf(Qt::Key_0, none), 0x30);
    EXPECT_EQ(virtualKeyOf(Qt::Key_7, Qt::KeypadModifier), 0x67);
    EXPECT_EQ(virtualKeyOf(Qt::Key_F1, none), 0x70);
    EXPECT_EQ(virtualKeyOf(Qt::Key_F24, none), 0x87);
    EXPECT_EQ(virtualKeyOf(Qt::Key_Exclam, Qt::ShiftModifier), 0x31);
    EXPECT_EQ(virtualKeyOf(Qt::Key_ParenRight, Qt::ShiftModifier), 0x30);
    EXPECT_EQ(virtualKeyOf(Qt::Key_Plus, Qt::ShiftModifier), 0xBB);
    EXPECT_EQ(virtualKeyOf(Qt::Key_Plus, Qt::KeypadModifier), 0x6B);
    EXPECT_EQ(virtualKeyOf(Qt::Key_Asterisk, Qt::KeypadModifier), 0x6A);
    EXPECT_EQ(virtualKeyOf(Qt::Key_Asterisk, Qt::ShiftModifier), 0x38);
    EXPECT_EQ(virtualKeyOf(Qt::Key_Home, Qt::KeypadModifier), 0x24);
    EXPECT_EQ(virtualKeyOf(Qt::Key_Enter, Qt::KeypadModifier), 0x0D);
    EXPECT_EQ(virtualKeyOf(Qt::Key_QuoteLeft, none), 0xC0);
    EXPECT_EQ(virtualKeyOf(Qt::Key_Control, Qt::ControlModifier), 0x11);
    EXPECT_EQ(virtualKeyOf(Qt::Key_VolumeUp, none), 0);
    EXPECT_EQ(virtualKeyOf(Qt::Key_unknown, none), 0);
}

TEST(ManualWindow, TreeSplitterAndMemoFillTheWindowAndItIsNeverShown)
{
    TfrmHelp help;
    EXPECT_EQ(help.windowTitle(), "命令手册");
    EXPECT_EQ(help.size(), QSize(703, 591));
    EXPECT_FALSE(help.isVisible());
    // Laying it out needs a show; the sizes are what a user would see.
    help.show();
    QApplication::processEvents();
    EXPECT_EQ(help.Tree()->width(), 153);
    EXPECT_EQ(help.Splitter()->handleWidth(), 8);
    EXPECT_EQ(help.Memo()->geometry().left(), 153 + 8);
    EXPECT_EQ(help.Memo()->geometry().right(), 702);
    EXPECT_EQ(help.Memo()->height(), 591);
}

}  // namespace
