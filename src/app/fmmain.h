// Tfrmmain: the main window, which is the program. It owns the trigger
// table (99 rows of 5 cells: key, script, armed, mode, pack), the menus, the
// template script engine every run is made from, the runs themselves
// (RunningScripts, RepeatCounts), the enabled-key list and the hot-key
// registrations, the run log and the script message boxes.
//
// Arming and disarming a row always changes three things together: its
// column 2 cell, the key's value in the enabled-key list, and the key's hot
// key. A key press or release reaches the window through ZenDxInput1KeyDonw
// and ZenDxInput1KeyUp, which run the row's script sections (trigger
// dispatch, TriggerDispatch.cpp).
//
// Handlers are slots named after their control and event, so scripts reach
// them by name (callsys[self.N26Click(0)]). The class is split by concern:
// fmmain.cpp (controls, start-up, show and close), fmmainMenus.cpp (menu and
// popup commands, new scripts, the file dialog), fmmainArming.cpp (arming
// rules and key assignment), TriggerDispatch.cpp (presses and releases),
// fmmainRuns.cpp (runs, their log and live state), fmmainState.cpp (the
// state store and the settings windows), fmmainDesktop.cpp (tray, tool
// bar, usage counter, single instance, keyboard input).
#pragma once

#include "app/SysParamBridge.h"
#include "base/NameValueList.h"
#include "input/HotKeyRegistry.h"
#include "input/ZenKeybd.h"
#include "script/Scripert.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QAction;
class QMenu;
class QTimer;
class QToolBar;

namespace quillon::platform {
class Desktop;
}
namespace quillon::script {
class tscriptthrd;
}
namespace quillon::desktop {
class TUserCounter;
}
namespace quillon::input {
class TZenHotKey;
class TZenDxInput;
}

namespace quillon::app {

class RunLog;
class RunLogView;
class RunTrace;
class ScriptBoxes;
class TZenStringGrid;

// The texts of the window that other parts and tests name.
inline constexpr const char* kMainCaption = "Quillon ";
inline constexpr const char* kMainClass = "Tfrmmain";
inline constexpr const char* kNotArmableMessage = "触发键或脚本没有设置，无法启动！";
inline constexpr const char* kSingleRunMode = "单线启动";
inline constexpr const char* kRepeatRunMode = "重复启动";
inline constexpr int kTriggerRows = 99;
inline constexpr int kTriggerColumns = 5;

// The 19-line template of a new script, CR LF line ends.
QByteArray newScriptTemplate();

class Tfrmmain : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        // The desktop scripts and the shell act on; null: the default one.
        std::shared_ptr<platform::Desktop> desktop;
        // The program's folder: "script", "tools", "help.txt" and the state
        // files resolve against it. Empty: the executable's data folder.
        QString programDir;
        // The hot-key registry; null: a TZenHotKey over the desktop.
        input::HotKeyRegistry* hotKeys = nullptr;
        // Read the keyboard with a trigger input component (the program does;
        // tests feed the press and release handlers themselves).
        bool readKeyboard = false;
        // Started with the argument "hide": the window goes to the tray.
        bool startHidden = false;
        // Shows a message to the user; the default is a modal message box.
        std::function<void(const QString& text)> showMessage;
        // Asks for a script file; the default is a file dialog. Empty: none.
        std::function<QString(const QString& dir, const QString& filter)> pickFile;
        // Ends the process after the exit command; the default quits the
        // application and ends the process with exit code 0.
        std::function<void()> endProcess;
    };

    explicit Tfrmmain(Options options, QWidget* parent = nullptr);
    ~Tfrmmain() override;

    TZenStringGrid* ZenStringGrid1() const { return m_grid; }
    base::NameValueList& EnabledKeys() { return *m_enabledKeys; }
    base::NameValueList& RepeatCounts() { return m_repeatCounts; }
    input::TZenKeybd& ZenKeybd1() { return m_keybd; }
    script::TScripert& Scripert1() { return *m_template; }
    RunLog& runLog() { return *m_runLog; }
    RunLogView* runLogView() const { return m_runLogView; }
    ScriptBoxes& scriptBoxes() { return *m_boxes; }
    QTimer* tmr1() const { return m_tmr1; }
    const QString& programDir() const { return m_programDir; }
    // The menu item of a text (first match in menu order), for the state
    // store and tests; null when none.
    QAction* actionNamed(const QString& text) const;
    QAction* StartWithSystemItem() const { return m_autoStart; }

    // The run stored under `runKey` (any letter case); null when none.
    script::tscriptthrd* runningScript(const QString& runKey) const;
    // The run keys in the order runs were made.
    QStringList runningScriptKeys() const;
    // Stops the run of `runKey` when it exists and is busy.
    void stopRun(const QString& runKey);
    // Whether the exit command has run.
    bool exited() const { return m_exiting; }
    // The manual and settings windows, made after the main window; the
    // settings window writes the table's header and sets GlobalStopKey.
    void createSettingsWindows();
    QWidget* settingsWindow() const { return m_settings; }
    // The window's state file: <program folder><executable>Tfrmmain.stat.
    QString stateFileName() const;

public slots:
    void FormCreate();
    void FormShow();
    void tmr1Timer();
    // The exit command ("退出", the tray's "关闭", closing the window).
    void N26Click();
    void N2Click();   // 开机启动
    void N3Click();   // 全局设置
    void N4Click();   // 关于
    void N18Click();  // 在线支持
    void N19Click();  // 手册
    void N20Click();  // 删除脚本
    void N22Click();  // 打开脚本
    void N23Click();  // 打开文件夹
    void N29Click();  // the tray's 关闭

    void ZenStringGrid1Click();
    void ZenStringGrid1DblClick();
    void ZenStringGrid1KeyDown(int Key);
    void ZenStringGrid1FixedCellMouseDown(int ACol, int ARow);
    void ZenStringGrid1CellBtnClick(int ACol, int ARow, QString& Value);

    // Trigger dispatch: a key of the trigger input component went down / up.
    void ZenDxInput1KeyDonw(int Key, const QString& KeyName);
    void ZenDxInput1KeyUp(int Key, const QString& KeyName);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct RunEntry;
    // Held by every handler that may wait with the event loop running: an
    // exit command that arrives during such a wait is carried out when the
    // outermost of them returns, so no handler ever finds its run freed.
    class HandlerScope {
    public:
        explicit HandlerScope(Tfrmmain& window);
        ~HandlerScope();
        HandlerScope(const HandlerScope&) = delete;
        HandlerScope& operator=(const HandlerScope&) = delete;

    private:
        Tfrmmain& m_window;
    };
    // No new work: the exit command has run or is waiting for a handler.
    bool leaving() const { return m_exiting || m_exitPending; }

    void buildControls();
    void buildMenus();
    QAction* addItem(QMenu* menu, const QString& name, const QString& text);
    void buildGridPopup();

    // fmmainArming.cpp
    void armKey(const QString& name);
    void disarmKey(const QString& name);
    void disarmRow(int row, bool stopMainRun);
    bool rowComplete(int row) const;
    void toggleCompleteRows(bool resetCounters);

    // TriggerDispatch.cpp
    void globalStopKey();
    int triggerRow(const QString& name) const;
    void pressBoundKey(const QString& name, int row);
    void pressBusyRepeat(const QString& name, int row);
    void pressBusySingle(script::tscriptthrd* run, int row);
    void startWithWait(script::tscriptthrd* run, const QString& section, int row);
    void stopBusyRunsLastToFirst();
    bool sectionEmpty(script::tscriptthrd* run, const QString& section, bool missingIsEmpty) const;

    // fmmainRuns.cpp
    void stopAndRelease(script::tscriptthrd* run);
    script::tscriptthrd* createRun(const QString& runKey, const QString& baseKey, int row);
    bool startRun(script::tscriptthrd* run, int row);
    void passStarting(script::tscriptthrd* run);
    void setRunScript(script::tscriptthrd* run, const QString& path);
    void logLoadFailure(const QString& runKey, const QString& path, int number, const QString& message);
    void updateRunState();
    void freeRuns();

    // fmmainMenus.cpp
    void openWithShell(const QString& path);
    QString programPath(const QString& relative) const;
    void message(const QString& text);

    // fmmainState.cpp: the state store and the settings windows.
    void registerState();
    void loadState();
    void saveState();
    void showSettings();

    // fmmainDesktop.cpp: tray, tool bar, usage counter, single instance,
    // keyboard input and shortcut.
    void setUpDesktopParts();
    void setUpKeyboard();
    void followStartupEntry();
    void loadToolButtons();
    void finishReports();
public:
    // Brings the window to the front in normal state, out of the tray too
    // (a later copy of the program asks for this).
    void bringToFront();

private:
    void trayOnShow();
    void trayMinimize();
    void trayRemove();
    void startupReport();
    void closingReport();
    void setStartupShortcut(bool on);

    Options m_options;
    QString m_programDir;
    std::shared_ptr<platform::Desktop> m_desktop;
    input::TZenKeybd m_keybd;
    std::unique_ptr<DesktopBridge> m_bridge;
    std::unique_ptr<script::TScripert> m_template;
    std::unique_ptr<input::TZenHotKey> m_ownHotKeys;
    input::HotKeyRegistry* m_hotKeys = nullptr;
    std::unique_ptr<input::TZenDxInput> m_input;
    base::NameValueList m_ownEnabledKeys;
    base::NameValueList* m_enabledKeys = &m_ownEnabledKeys;
    base::NameValueList m_repeatCounts;
    std::vector<std::unique_ptr<RunEntry>> m_runs;  // RunningScripts, in order made

    TZenStringGrid* m_grid = nullptr;
    QToolBar* m_toolBar = nullptr;
    RunLog* m_runLog = nullptr;
    RunLogView* m_runLogView = nullptr;
    ScriptBoxes* m_boxes = nullptr;
    QTimer* m_tmr1 = nullptr;
    QTimer* m_beat = nullptr;
    QMenu* m_gridPopup = nullptr;
    QMenu* m_trayPopup = nullptr;
    QAction* m_autoStart = nullptr;
    QObject* m_stateStore = nullptr;
    QWidget* m_settings = nullptr;
    QWidget* m_help = nullptr;
    QObject* m_tray = nullptr;
    QObject* m_tools = nullptr;
    QWidget* m_toolButtons = nullptr;
    std::unique_ptr<desktop::TUserCounter> m_counter;
    std::shared_ptr<RunTrace> m_trace;  // null unless QUILLON_TRACE names a file
    QString m_loadingKey;   // the run key and script the template loads now
    QString m_loadingPath;
    bool m_created = false;
    bool m_shownOnce = false;
    bool m_exiting = false;
    bool m_exitPending = false;
    int m_handlerDepth = 0;
};

}  // namespace quillon::app
