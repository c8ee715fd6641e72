// The bridge's words on the accessible controls inside windows, over the
// simulated desktop's windows and a scripted set of controls.
#include "app/SysParamBridge.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace quillon;
using platform::WindowHandle;

namespace {

class ScriptedControls final : public platform::Controls {
public:
    struct Control {
        QString role;
        QString toolkitClass;
        QString text;
        bool editable = false;
        bool clickable = false;
    };
    std::map<WindowHandle, std::vector<WindowHandle>> tree;  // parent -> descendants, in order
    std::map<WindowHandle, Control> controls;
    std::vector<WindowHandle> clicks;

    std::vector<platform::ControlInfo> descendants(WindowHandle parent) override
    {
        std::vector<platform::ControlInfo> result;
        for (WindowHandle h : tree[parent])
            result.push_back({h, controls[h].role, controls[h].toolkitClass});
        return result;
    }
    QString text(WindowHandle h) override { return controls.count(h) ? controls[h].text : QString(); }
    bool setText(WindowHandle h, const QString& text) override
    {
        if (!controls.count(h) || !controls[h].editable)
            return false;
        controls[h].text = text;
        return true;
    }
    bool click(WindowHandle h) override
    {
        if (!controls.count(h) || !controls[h].clickable)
            return false;
        clicks.push_back(h);
        return true;
    }
};

constexpr WindowHandle kButton = 0x40000001;
constexpr WindowHandle kEntry = 0x40000002;
constexpr WindowHandle kOtherButton = 0x40000003;
constexpr WindowHandle kLabel = 0x40000004;
constexpr WindowHandle kNested = 0x40000005;

class ControlBridge : public ::testing::Test {
protected:
    ControlBridge()
    {
        controls.controls = {{kButton, {"push button", "", "OK", false, true}},
                             {kEntry, {"text", "GtkEntry", "", true, false}},
                             {kOtherButton, {"push button", "", "Cancel", false, true}},
                             {kLabel, {"label", "", "Name:", false, false}},
                             {kNested, {"toggle button", "", "Bold", false, true}}};
        controls.tree[form] = {kButton, kEntry, kOtherButton, kLabel};
        controls.tree[kLabel] = {kNested};
        bridge.setControls(&locator);
    }

    QString ask(const QString& word, const QString& content)
    {
        QString text = content;
        QString error;
        EXPECT_TRUE(bridge.query(word, text, &error)) << error.toStdString();
        return text;
    }
    void run(const QString& word, const QString& content)
    {
        QString error;
        EXPECT_TRUE(bridge.command(word, content, &error)) << error.toStdString();
    }
    static QString n(WindowHandle h) { return QString::number(h); }

    platform::SimDesktop desktop;
    WindowHandle form = desktop.addWindow("form", "FormWindow");
    input::TZenKeybd keybd{desktop.keyboard()};
    input::TZeMouse mouse{desktop.mouse()};
    input::TGMWindow windows{desktop.windows()};
    ScriptedControls controls;
    input::ControlLocator locator{controls};
    app::SysParamBridge bridge{keybd, mouse, windows};
};

}  // namespace

TEST_F(ControlBridge, FindchildListsWindowChildrenFirstThenMatchingControlsByTheSameIndexRule)
{
    const WindowHandle xButton = desktop.addWindow("old", "XmPushButton", form);
    const QString p = n(form);
    EXPECT_EQ(ask("findchild", "," + p + ",button,"), n(xButton));
    EXPECT_EQ(ask("findchild", "," + p + ",button,1,x"), n(kButton));
    EXPECT_EQ(ask("findchild", "," + p + ",BUTTON,2,x"), n(kOtherButton));  // letters in any case
    EXPECT_EQ(ask("findchild", "," + p + ",button,3,x"), "-1");
    // Without an X match the controls start at index 0; the toolkit class counts too.
    EXPECT_EQ(ask("findchild", "," + p + ",gtkentry,0,x"), n(kEntry));
    EXPECT_EQ(ask("findchild", "," + p + ",text,1,x"), "-1");
    // Nothing at all: the single handle 0, as for windows.
    EXPECT_EQ(ask("findchild", "," + p + ",slider,0,x"), "0");
    EXPECT_EQ(ask("findchild", "," + p + ",slider,1,x"), "-1");
}

TEST_F(ControlBridge, AControlHandleIsAParentToo)
{
    EXPECT_EQ(ask("findchild", "," + n(kLabel) + ",toggle,"), n(kNested));
    EXPECT_EQ(ask("findchild", "," + n(kButton) + ",toggle,"), "0");
}

TEST_F(ControlBridge, GethtxtSethtxtAndSethclickReachControlsAndLeaveWindowsToTheWindowPath)
{
    EXPECT_EQ(ask("gethtxt", "," + n(kButton) + ","), "OK");
    run("sethtxt", "," + n(kEntry) + ",hello");
    EXPECT_EQ(ask("gethtxt", "," + n(kEntry) + ","), "hello");
    run("sethclick", "," + n(kButton));
    EXPECT_EQ(controls.clicks, std::vector<WindowHandle>{kButton});

    // A window handle still names the window.
    run("sethtxt", "," + n(form) + ",renamed");
    EXPECT_EQ(desktop.title(form), "renamed");
    EXPECT_EQ(controls.controls[kEntry].text, "hello");
    EXPECT_EQ(ask("gethtxt", "," + n(form) + ","), "renamed");
}

TEST_F(ControlBridge, ControlTextIsCutLikeAWindowsAndSetTextStopsAtNul)
{
    controls.controls[kEntry].text = QString(300, QChar(0x4E2D));
    EXPECT_EQ(ask("gethtxt", "," + n(kEntry) + ","), QString(255, QChar(0x4E2D)));
    run("sethtxt", "," + n(kEntry) + QStringLiteral(",ab") + QChar(0) + "cd");
    EXPECT_EQ(controls.controls[kEntry].text, "ab");
}

TEST_F(ControlBridge, UnknownAndNonEditableControlsAreBadHandlesWithoutFailingTheLine)
{
    const QString unknown = n(0x40000777);
    EXPECT_EQ(ask("gethtxt", "," + unknown + ","), "");
    run("sethtxt", "," + unknown + ",x");
    run("sethclick", "," + unknown);
    run("sethtxt", "," + n(kButton) + ",x");  // not editable: no effect
    run("sethclick", "," + n(kLabel));          // no action: no effect
    EXPECT_EQ(controls.controls[kButton].text, "OK");
    EXPECT_TRUE(controls.clicks.empty());
    EXPECT_EQ(ask("findchild", "," + unknown + ",button,"), "0");
}
