// A main window on Qt's offscreen platform over the simulated desktop, in a
// temporary program folder, with real script files and real runs.
#pragma once

#include "app/GlobalStopKey.h"
#include "app/RunLog.h"
#include "app/ZenStringGrid.h"
#include "app/fmmain.h"
#include "platform/sim/SimDesktop.h"
#include "script/ScriptThrd.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace quillon::testing {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app::GlobalStopKey = app::DefaultGlobalStopKey;
        ASSERT_TRUE(dir.isValid());
        QDir::setCurrent(dir.path());
        makeWindow();
    }

    void TearDown() override
    {
        if (window && !window->exited())
            window->N26Click();
        window.reset();
        app::GlobalStopKey = app::DefaultGlobalStopKey;
    }

    void makeWindow()
    {
        app::Tfrmmain::Options options;
        options.desktop = desktop;
        options.programDir = dir.path();
        options.showMessage = [this](const QString& text) { messages << text; };
        options.pickFile = [this](const QString&, const QString&) { return picked; };
        options.endProcess = [this] { ++ended; };
        options.readKeyboard = readKeyboard;
        options.startHidden = startHidden;
        window = std::make_unique<app::Tfrmmain>(options);
        window->FormCreate();
        window->createSettingsWindows();
        window->tmr1()->stop();
    }

    app::TZenStringGrid& grid() { return *window->ZenStringGrid1(); }
    QString cell(int col, int row) { return grid().cellText(col, row); }

    // Writes a script file into the program folder; returns its path.
    QString script(const QString& name, const QString& text)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        return path;
    }

    // A complete row, armed through the window's own rules.
    void bind(int row, const QString& key, const QString& path, const QString& mode = {})
    {
        grid().setCellText(0, row, key);
        grid().setCellText(1, row, path);
        grid().setCellText(3, row, mode);
        grid().setCellText(2, row, QStringLiteral("true"));
        grid().setCurrentCell(row, 2);
        window->ZenStringGrid1Click();
    }

    void press(const QString& key) { window->ZenDxInput1KeyDonw(window->ZenKeybd1().KeyToCode(key), key); }
    void release(const QString& key) { window->ZenDxInput1KeyUp(window->ZenKeybd1().KeyToCode(key), key); }
    void pressStopKey() { window->ZenDxInput1KeyDonw(app::GlobalStopKey.load(), QStringLiteral("F11")); }

    script::tscriptthrd* run(const QString& key) { return window->runningScript(key); }
    bool busy(const QString& key) { return run(key) && run(key)->busy(); }
    bool waitIdle(const QString& key, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return run(key) && !run(key)->busy(); }, ms);
    }
    bool waitBusy(const QString& key, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return busy(key); }, ms);
    }

    // Presses of `vk` the scripts made on the simulated desktop.
    int keyPresses(int vk)
    {
        int n = 0;
        for (const platform::SimEvent& e : desktop->events())
            n += e.kind == platform::SimEvent::Kind::Key && e.code == vk && !(e.flags & platform::kKeyUp);
        return n;
    }
    bool waitPresses(int vk, int count, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return keyPresses(vk) >= count; }, ms);
    }
    QStringList opened()
    {
        QStringList paths;
        for (const platform::SimEvent& e : desktop->events())
            if (e.kind == platform::SimEvent::Kind::Open)
                paths << e.text.section(QLatin1Char('|'), 0, 0);  // path|working folder
        return paths;
    }

    QTemporaryDir dir;
    std::shared_ptr<platform::SimDesktop> desktop = std::make_shared<platform::SimDesktop>();
    std::unique_ptr<app::Tfrmmain> window;
    QStringList messages;
    QString picked;
    int ended = 0;
    bool readKeyboard = false;
    bool startHidden = false;  // set before SetUp: as started with hide  // set before SetUp: the window reads the simulated keyboard
};

// A script whose down section presses D and then stays busy for `busyMs`,
// whose up presses U and whose final presses F.
inline QString busyScript(int busyMs, bool withFinal = true, const QString& up = QStringLiteral("key \"u\""))
{
    QString text = QStringLiteral("section down\nkey \"d\"\ndelay %1\nend section\n").arg(busyMs);
    text += QStringLiteral("section up\n%1\nend section\n").arg(up);
    if (withFinal)
        text += QStringLiteral("section final\nkey \"f\"\ndelay %1\nend section\n").arg(busyMs);
    return text;
}

}  // namespace quillon::testing
