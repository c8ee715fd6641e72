#include "input/GMWindow.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <thread>

using namespace quillon;
using input::arhandle;
using input::TGMWindow;

TEST(WindowSearch, FindHandlesMatchesClassInAnyCaseInZOrderAndSkipsOwnedPopups)
{
    platform::SimDesktop desktop;
    const auto upper = desktop.addWindow("doc1", "NOTEPAD");
    desktop.addWindow("other", "Calc");
    const auto mixed = desktop.addWindow("doc2", "Notepad");
    desktop.addWindow("find", "notepad", 0, upper);  // owned pop-up
    desktop.addWindow("child", "notepad", mixed);    // child, not top-level
    TGMWindow locator(desktop.windows());

    EXPECT_EQ(locator.FindHandles("", "notepad"), (arhandle{upper, mixed}));
    EXPECT_EQ(locator.LastHandles(), (arhandle{upper, mixed}));
    EXPECT_EQ(locator.FindHandles("", "wordpad"), (arhandle{0}));
    EXPECT_EQ(locator.FindHandles("", ""), (arhandle{0}));  // empty fragments never match
    desktop.activate(mixed);
    EXPECT_EQ(locator.FindHandles("", "NotePad"), (arhandle{mixed, upper}));
}

TEST(WindowSearch, WindowMatchingTitleAndClassIsListedOnce)
{
    platform::SimDesktop desktop;
    const auto both = desktop.addWindow("Notepad - a.txt", "Notepad");
    const auto titleOnly = desktop.addWindow("notepad help", "Help");
    TGMWindow locator(desktop.windows());
    EXPECT_EQ(locator.FindHandles("notepad", "notepad"), (arhandle{both, titleOnly}));
}

TEST(WindowSearch, TextsAreComparedOnTheirFirst179BytesCutAtACharacterBoundary)
{
    platform::SimDesktop desktop;
    const auto w = desktop.addWindow(QString(170, 'x') + "abcdefghijklmnop", "c");
    TGMWindow locator(desktop.windows());
    EXPECT_EQ(locator.FindHandles("xxabcdefghi", ""), (arhandle{w}));   // ends at byte 179
    EXPECT_EQ(locator.FindHandles("xxabcdefghij", ""), (arhandle{0}));  // needs byte 180

    const QString han = QString::fromUtf8("中").repeated(100);  // 3 bytes each
    EXPECT_EQ(input::cutToBytes(han, 179).size(), 59);
    EXPECT_EQ(input::cutToBytes(QString::fromUtf8("a😀"), 4), QStringLiteral("a"));
    EXPECT_EQ(input::cutToBytes("short", 179), "short");
}

TEST(WindowSearch, CaseFoldingIsAsciiOnly)
{
    EXPECT_TRUE(input::fragmentMatches("NOTE", "notepad"));
    EXPECT_FALSE(input::fragmentMatches(QString::fromUtf8("Ä"), QString::fromUtf8("ä")));
    EXPECT_TRUE(input::fragmentMatches(QString::fromUtf8("記事"), QString::fromUtf8("x記事本")));
    EXPECT_FALSE(input::fragmentMatches("", "anything"));
}

class ChildSearch : public ::testing::Test {
protected:
    platform::SimDesktop desktop;
    TGMWindow locator{desktop.windows()};
};

TEST_F(ChildSearch, MatchingChildrenAreReturnedInZOrder)
{
    const auto p = desktop.addWindow("parent", "Frame");
    const auto c1 = desktop.addWindow("", "Button", p);
    desktop.addWindow("", "Edit", p);
    const auto c3 = desktop.addWindow("", "button", p);
    EXPECT_EQ(locator.FindChildren(p, "", "button"), (arhandle{c1, c3}));
    EXPECT_EQ(locator.FindChildren(p, "", "listbox"), (arhandle{0}));
}

TEST_F(ChildSearch, ADeeperFirstMatchGivesTheSingleHandleZero)
{
    const auto p = desktop.addWindow("parent", "Frame");
    const auto c1 = desktop.addWindow("", "Panel", p);
    const auto g = desktop.addWindow("", "Button", c1);
    desktop.addWindow("", "Button", p);
    EXPECT_EQ(locator.FindChildWindow(p, "", "button"), g);
    EXPECT_EQ(locator.FindChildren(p, "", "button"), (arhandle{0}));
}

TEST_F(ChildSearch, DescendantsAreExaminedBeforeTheWindowItself)
{
    const auto p = desktop.addWindow("parent", "Frame");
    const auto outer = desktop.addWindow("", "Box", p);
    const auto inner = desktop.addWindow("", "Box", outer);
    EXPECT_EQ(locator.FindChildWindow(p, "", "box"), inner);
    EXPECT_EQ(locator.FindChildWindow(p, "", "none"), 0u);
    EXPECT_EQ(locator.FindChildWindow(0xDEAD, "", "box"), 0u);  // bad handle: quiet
}

TEST_F(ChildSearch, ParentZeroDescendsIntoTheExactTopWindowButFindsNoDirectChild)
{
    const auto top = desktop.addWindow("x", "Box");
    const auto child = desktop.addWindow("", "Box", top);
    EXPECT_EQ(locator.FindChildWindow(0, "", "Box"), child);
    EXPECT_EQ(locator.FindChildren(0, "", "Box"), (arhandle{0}));
    EXPECT_EQ(locator.FindChildWindow(0, "", "box"), 0u);  // the top lookup is exact
}

TEST(WindowLookup, FindTopWindowFallsBackFromBothToTitleToClass)
{
    platform::SimDesktop desktop;
    const auto a = desktop.addWindow("Alpha", "One");
    const auto b = desktop.addWindow("Beta", "Two");
    const auto untitled = desktop.addWindow("", "Three");
    TGMWindow locator(desktop.windows());
    EXPECT_EQ(locator.FindTopWindow("Beta", "Two"), b);
    EXPECT_EQ(locator.FindTopWindow("Beta", "One"), b);   // title alone
    EXPECT_EQ(locator.FindTopWindow("Gamma", "One"), a);  // class alone
    EXPECT_EQ(locator.FindTopWindow("Bet", ""), 0u);      // whole text only
    EXPECT_EQ(locator.FindTopWindow("", ""), untitled);   // the window with an empty title
}

TEST(WindowList, RefreshListsTitledUnownedWindowsOnceAndFilterIsCaseSensitive)
{
    platform::SimDesktop desktop;
    const auto pad = desktop.addWindow("notepad", "Notepad");
    desktop.addWindow("", "Hidden");
    desktop.addWindow("notepad find", "Dialog", 0, pad);
    const auto other = desktop.addWindow("other note", "X");
    TGMWindow locator(desktop.windows());
    locator.RefreshWindowList();
    locator.RefreshWindowList();
    EXPECT_EQ(locator.WindowList(), (input::arWndType{{"notepad", "Notepad", pad},
                                                      {"other note", "X", other}}));
    EXPECT_TRUE(locator.FilterWindows("", false).empty());
    EXPECT_TRUE(locator.FilterWindows("Note", false).empty());
    EXPECT_EQ(locator.FilterWindows("note", false).size(), 2u);
    desktop.setTitle(other, "renamed");
    EXPECT_EQ(locator.FilterWindows("note", true).size(), 1u);
    EXPECT_EQ(locator.FilteredList().size(), 1u);
}

TEST(WindowGeometry, ClassnameMeasuresTheFrameOfTheTrackedWindow)
{
    platform::SimDesktop desktop;
    const auto w = desktop.addWindow("t", "Tracked");
    desktop.setFrameRect(w, {10, 20, 410, 320}, {14, 50});
    TGMWindow locator(desktop.windows());
    locator.setClassname("Tracked");
    EXPECT_EQ(locator.Handle(), w);
    EXPECT_EQ(locator.WindowRect(), (platform::Rect{10, 20, 410, 320}));
    EXPECT_EQ(locator.HBorder(), 4);
    EXPECT_EQ(locator.TitleHeight(), 30);
    EXPECT_EQ(locator.VBorder(), 0);
    EXPECT_EQ(locator.ClientRect(), (platform::Rect{14, 50, 406, 320}));

    // No such window: the old rectangle stays and the origin counts as 0, 0.
    locator.setClassname("Missing");
    EXPECT_EQ(locator.Handle(), 0u);
    EXPECT_EQ(locator.WindowRect(), (platform::Rect{10, 20, 410, 320}));
    EXPECT_EQ(locator.HBorder(), -10);
    EXPECT_EQ(locator.TitleHeight(), -20);
}

TEST(WindowSearch, ConcurrentSearchesEachGetTheirOwnResult)
{
    platform::SimDesktop desktop;
    std::vector<platform::WindowHandle> handles;
    for (int i = 0; i < 8; ++i)
        handles.push_back(desktop.addWindow(QString(), QStringLiteral("class%1").arg(i)));
    TGMWindow locator(desktop.windows());
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int n = 0; n < 300; ++n)
                if (locator.FindHandles("", QStringLiteral("class%1").arg(t)) != arhandle{handles[t]})
                    ++wrong;
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(WindowSearch, WithoutDesktopSearchesFindNothing)
{
    TGMWindow locator;
    EXPECT_EQ(locator.FindHandles("a", "b"), (arhandle{0}));
    EXPECT_EQ(locator.FindChildren(5, "a", "b"), (arhandle{0}));
    EXPECT_FALSE(locator.ActivateWindow(5));
    EXPECT_EQ(locator.WindowText(5), "");
}
