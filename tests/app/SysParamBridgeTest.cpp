#include "app/SysParamBridge.h"
#include "platform/UnavailableDesktop.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

using namespace quillon;
using platform::SimEvent;

namespace {

class Bridge : public ::testing::Test {
protected:
    std::shared_ptr<platform::SimDesktop> desktop = std::make_shared<platform::SimDesktop>();
    app::DesktopBridge kit{desktop};
    app::SysParamBridge& bridge = kit.bridge();

    // What the engine hands over for getsys(word, pieces..., target).
    QString ask(const QString& word, const QString& content)
    {
        QString text = content;
        QString error;
        EXPECT_TRUE(bridge.query(word, text, &error)) << error.toStdString();
        return text;
    }
    QString queryError(const QString& word, const QString& content)
    {
        QString text = content;
        QString error;
        EXPECT_FALSE(bridge.query(word, text, &error));
        EXPECT_EQ(text, content);
        return error;
    }
    QString commandError(const QString& word, const QString& content)
    {
        QString error;
        EXPECT_FALSE(bridge.command(word, content, &error));
        return error;
    }
    std::vector<int> codes(SimEvent::Kind kind)
    {
        std::vector<int> result;
        for (const auto& e : desktop->events())
            if (e.kind == kind)
                result.push_back(kind == SimEvent::Kind::Key ? e.code * 10 + e.flags : e.code);
        return result;
    }
};

}  // namespace

TEST_F(Bridge, FindhandleReadsTheIndexOnlyFromThreePiecesOn)
{
    const auto a = desktop->addWindow("a", "XMessage");
    const auto b = desktop->addWindow("b", "xmessage");
    const QString first = QString::number(a);
    const QString second = QString::number(b);
    const struct {
        const char* content;
        QString answer;
    } cases[] = {
        {",xmess,", first},       // receiving variable still empty: index 0
        {",xmess,1,", first},     // fragment and index, empty variable: still index 0
        {",xmess,1,77", second},  // once the variable holds a value the index counts
        {",xmess,2,77", "-1"},
        {",xmess,-1,77", "-1"},
        {",zzz,", "0"},           // no match: the single handle 0 ...
        {",zzz,1,77", "-1"},      // ... so index 1 is out of range
    };
    for (const auto& c : cases)
        EXPECT_EQ(ask("findhandle", c.content), c.answer) << c.content;
}

TEST_F(Bridge, FindchildSearchesTheChildrenOfTheGivenParent)
{
    const auto p = desktop->addWindow("dialog", "Dialog");
    const auto ok = desktop->addWindow("OK", "Button", p);
    desktop->addWindow("", "Edit", p);
    const auto cancel = desktop->addWindow("Cancel", "Button", p);
    const QString parent = QString::number(p);
    EXPECT_EQ(ask("findchild", "," + parent + ",button,"), QString::number(ok));
    EXPECT_EQ(ask("findchild", "," + parent + ",button,1,9"), QString::number(cancel));
    EXPECT_EQ(ask("findchild", "," + parent + ",button,2,9"), "-1");
    EXPECT_EQ(ask("findchild", ",0,button,"), "0");
}

TEST_F(Bridge, GethtxtReadsUpTo255BytesAndBadHandlesGiveEmptyText)
{
    const auto w = desktop->addWindow(QString(300, 'x'), "C");
    desktop->addWindow(QString::fromUtf8("中文标题"), "D");
    EXPECT_EQ(ask("gethtxt", "," + QString::number(w) + ","), QString(255, 'x'));
    EXPECT_EQ(ask("gethtxt", "," + QString::number(w + 1) + ","), QString::fromUtf8("中文标题"));
    // The cut counts characters, not UTF-8 bytes.
    const QString chinese = QString(300, QChar(0x4E2D));
    const auto c = desktop->addWindow(chinese, "E");
    EXPECT_EQ(ask("gethtxt", "," + QString::number(c) + ","), chinese.left(255));
    EXPECT_EQ(ask("gethtxt", ",99999,"), "");
    EXPECT_EQ(ask("gethtxt", ",-5,"), "");
    EXPECT_EQ(ask("gethtxt", ",0,"), "");
}

TEST_F(Bridge, TestAnswers500AndUnknownQueriesLeaveTheTextAlone)
{
    EXPECT_EQ(ask("test", ","), "500");
    EXPECT_EQ(ask("test", ",1,2,3,x"), "500");
    EXPECT_EQ(ask("findwindow", ",notepad,"), ",notepad,");
    EXPECT_EQ(ask("FINDHANDLE", ",notepad,"), ",notepad,");  // words are case-sensitive
}

TEST_F(Bridge, KeyCommandsPressReleaseAndHoldKeys)
{
    ASSERT_TRUE(bridge.command("key", "a"));
    ASSERT_TRUE(bridge.command("kdown", "ctrl"));
    ASSERT_TRUE(bridge.command("kup", "left"));
    ASSERT_TRUE(bridge.command("key", "insert"));
    // code * 10 + flags
    EXPECT_EQ(codes(SimEvent::Kind::Key),
              (std::vector<int>{0x41 * 10, 0x41 * 10 + 2, 0x11 * 10, 0x25 * 10 + 3, 0x2D * 10,
                                0x2D * 10 + 2}));
}

TEST_F(Bridge, MouseWordsAreExactAndCaseSensitive)
{
    for (const char* word : {"lclick", "rclick", "ldown", "lup", "rdown", "rup", "LCLICK", "wheel"})
        ASSERT_TRUE(bridge.command("mouse", word)) << word;
    EXPECT_EQ(codes(SimEvent::Kind::Mouse), (std::vector<int>{2, 4, 8, 16, 2, 4, 8, 16}));
}

TEST_F(Bridge, SethtxtAndSethclickActOnTheWindowAndIgnoreBadHandles)
{
    const auto w = desktop->addWindow("old", "C");
    ASSERT_TRUE(bridge.command("sethtxt", QString::number(w) + ",say \"hi\""));
    EXPECT_EQ(desktop->title(w), "say \"hi\"");
    ASSERT_TRUE(bridge.command("sethtxt", QString::number(w) + ",a,b"));  // a comma splits
    EXPECT_EQ(desktop->title(w), "a");
    ASSERT_TRUE(bridge.command("sethclick", QString::number(w)));
    ASSERT_TRUE(bridge.command("sethclick", "424242"));
    ASSERT_TRUE(bridge.command("sethtxt", "424242,x"));
    const auto events = desktop->events();
    ASSERT_EQ(std::count_if(events.begin(), events.end(),
                            [](const SimEvent& e) { return e.kind == SimEvent::Kind::Click; }),
              1);
    EXPECT_TRUE(bridge.command("nosuchword", "1,2"));
}

TEST_F(Bridge, BadNumbersAndMissingPiecesFailTheLineWithADescription)
{
    EXPECT_EQ(queryError("gethtxt", ",abc,"), "gethtxt: 'abc' is not a valid integer value");
    EXPECT_EQ(queryError("findhandle", ",x,one,7"),
              "findhandle: 'one' is not a valid integer value");
    EXPECT_EQ(queryError("findchild", ",12,"), "findchild needs 2 value(s), but 1 given");
    EXPECT_EQ(queryError("findchild", ",1.5,b,"), "findchild: '1.5' is not a valid integer value");
    EXPECT_EQ(queryError("findhandle", ","), "findhandle needs 1 value(s), but 0 given");
    EXPECT_EQ(commandError("sethtxt", "12"), "sethtxt needs 2 value(s), but 1 given");
    EXPECT_EQ(commandError("sethclick", "x1"), "sethclick: 'x1' is not a valid integer value");
    EXPECT_EQ(commandError("key", ""), "key needs 1 value(s), but 0 given");
    EXPECT_EQ(commandError("mouse", "  "), "mouse needs 1 value(s), but 0 given");
    EXPECT_TRUE(desktop->events().empty());
}

TEST(BridgeWithoutDesktop, DesktopWordsFailWithNoDisplayWhileTestStillAnswers)
{
    app::DesktopBridge kit(std::make_shared<platform::UnavailableDesktop>());
    QString text = ",";
    QString error;
    EXPECT_TRUE(kit.bridge().query("test", text, &error));
    EXPECT_EQ(text, "500");
    text = ",notepad,";
    EXPECT_FALSE(kit.bridge().query("findhandle", text, &error));
    EXPECT_EQ(error, "no X11 display is available");
    for (const char* word : {"key", "kdown", "kup"}) {
        error.clear();
        EXPECT_FALSE(kit.bridge().command(word, "a", &error));
        EXPECT_EQ(error, "no X11 display is available");
    }
    EXPECT_FALSE(kit.bridge().command("mouse", "lclick", &error));
    EXPECT_FALSE(kit.bridge().command("sethtxt", "1,x", &error));
    EXPECT_TRUE(kit.bridge().command("mouse", "middle", &error));  // does nothing anyway
    for (const char* word : {"findchild", "gethtxt"}) {
        error.clear();
        text = "5,x,";
        EXPECT_FALSE(kit.bridge().query(word, text, &error)) << word;
        EXPECT_EQ(error, "no X11 display is available");
    }
}

// A key the desktop refuses to send fails the line with the desktop's own
// reason, and a click whose press failed sends no release.
TEST(BridgeOnAFailingDesktop, TheDesktopsReasonReachesTheLine)
{
    app::DesktopBridge kit(std::make_shared<platform::UnavailableDesktop>("the server went away"));
    QString error;
    EXPECT_FALSE(kit.bridge().command("key", "a", &error));
    EXPECT_EQ(error, "the server went away");
    app::DesktopBridge none(nullptr);
    EXPECT_FALSE(none.bridge().command("kdown", "a", &error));
    EXPECT_EQ(error, "no X11 display is available");
}
