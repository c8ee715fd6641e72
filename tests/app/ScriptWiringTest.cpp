// The template engine as the program sets it up, seen through a run made
// from it: macros reach the bridge, refusals end the pass with the right
// number, and the caller's handlers hear errors, lines and boxes.
#include "app/ScriptWiring.h"
#include "platform/sim/SimDesktop.h"
#include "script/ScriptThrd.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace quillon;

namespace {

class ScriptWiring : public ::testing::Test {
protected:
    ScriptWiring()
    {
        app::ScriptHandlers handlers;
        handlers.onError = [this](int line, int, int number, const QString&) {
            std::lock_guard lock(mutex);
            log << QStringLiteral("error %1 at %2").arg(number).arg(line);
        };
        handlers.onLineNumber = [this](script::TScripert*, int line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
        handlers.onMessageBox = [this](const QString& prompt, int buttons, const QString& caption) {
            std::lock_guard lock(mutex);
            log << QStringLiteral("box %1|%2|%3").arg(prompt).arg(buttons).arg(caption);
            return 1;
        };
        app::setUpTemplateEngine(templ, kit.bridge(), handlers);
    }

    // Runs `text` as the whole script on a run made from the template.
    void runScript(const char* text)
    {
        templ.LoadScriptText(QString::fromUtf8(text));
        script::tscriptthrd run(nullptr, &templ);
        run.resume();
        ASSERT_TRUE(run.waitIdle(5000));
    }

    std::shared_ptr<platform::SimDesktop> desktop = std::make_shared<platform::SimDesktop>();
    app::DesktopBridge kit{desktop};
    script::TScripert templ;
    std::mutex mutex;
    QStringList log;
    std::vector<int> lines;
};

TEST_F(ScriptWiring, MacrosReachTheBridgeFromARunMadeFromTheTemplate)
{
    desktop->addWindow(QStringLiteral("first"), QStringLiteral("Other"));
    const platform::WindowHandle target = desktop->addWindow(QStringLiteral("Note"), QStringLiteral("XTerm"));
    runScript("h=FindHandle(\"xterm\")\n"
              "messagebox h\n"
              "t=gethtxt(h)\n"
              "messagebox t\n"
              "key \"a\"\n");
    EXPECT_EQ(log, (QStringList{QStringLiteral("box %1|0|zemath").arg(target), QStringLiteral("box Note|0|zemath")}));
    EXPECT_EQ(lines, (std::vector<int>{0, 1, 2, 3, 4}));
    int keyEvents = 0;
    for (const platform::SimEvent& e : desktop->events())
        keyEvents += e.kind == platform::SimEvent::Kind::Key && e.code == 'A';
    EXPECT_EQ(keyEvents, 2) << "key presses and releases A";
}

TEST_F(ScriptWiring, RefusedLinesEndThePassWithTheirNumbers)
{
    runScript("sethtxt \"not a handle\",\"x\"\nmessagebox \"after\"\n");
    EXPECT_EQ(log, QStringList{QStringLiteral("error 5 at 0")});

    app::DesktopBridge headless(nullptr);
    app::answerWithBridge(templ, headless.bridge());
    log.clear();
    runScript("x=1\nkey \"a\"\nmessagebox \"after\"\n");
    EXPECT_EQ(log, QStringList{QStringLiteral("error 507 at 1")});
}

TEST_F(ScriptWiring, EveryMacroWordIsAnsweredOrLeftAsTheQueryText)
{
    // findwindow has a macro but no word: its query text comes back as the answer.
    runScript("w=findwindow(\"x\")\nmessagebox w\nv=test()\nmessagebox v\n");
    EXPECT_EQ(log, (QStringList{QStringLiteral("box ,x,|0|zemath"), QStringLiteral("box 500|0|zemath")}));
}

}  // namespace
