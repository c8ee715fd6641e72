// Where the window meets the desktop: the tray icon, the single-instance
// guard, the start-up entry of "开机启动", the tool bar, the usage counter
// and the keyboard. Each is one small function, so wiring a component
// touches one place.
#include "app/fmmain.h"

#include "app/RunLog.h"
#include "desktop/SisTray.h"
#include "desktop/ToolSys.h"
#include "desktop/UserCounter.h"
#include "desktop/ZenShortCut.h"
#include "desktop/ZenToolBar.h"
#include "input/ZenDxInput.h"
#include "platform/Desktop.h"

#include <QMenu>
#include <QToolBar>

namespace quillon::app {

namespace {

desktop::TSisTray* trayOf(QObject* tray)
{
    return static_cast<desktop::TSisTray*>(tray);
}

}  // namespace

void Tfrmmain::setUpDesktopParts()
{
    auto* tray = new desktop::TSisTray(this);
    tray->setObjectName(QStringLiteral("SisTray1"));
    tray->PopupMenu = m_trayPopup;
    // The window stays on the screen while its icon is shown; only
    // minimising sends it to the tray.
    tray->ShowTaskBar = true;
    m_tray = tray;
    // The single-instance check (TZenMutex) is made by the program before
    // the window, so that a second copy leaves no trace.

    auto* buttons = new desktop::TZenToolBar(m_toolBar);
    buttons->setObjectName(QStringLiteral("ZenToolBar1Buttons"));
    m_toolBar->addWidget(buttons);
    m_toolButtons = buttons;
    auto* tools = new desktop::TToolSys(&m_desktop->shell(), this);
    tools->setObjectName(QStringLiteral("ToolSys1"));
    tools->HostLoader = buttons;
    m_tools = tools;

    m_counter = std::make_unique<desktop::TUserCounter>();
    // Called on the counter's thread; the log takes entries from any thread.
    m_counter->OnReportFailed = [log = m_runLog](const QString& text) {
        log->add({{}, {}, QStringLiteral("appCounter/counter.php"), 0, 0, 0,
                  QStringLiteral("使用统计报告失败: ") + text});
    };
}

void Tfrmmain::loadToolButtons()
{
    auto* tools = static_cast<desktop::TToolSys*>(m_tools);
    auto* buttons = static_cast<desktop::TZenToolBar*>(m_toolButtons);
    if (!tools || !buttons)
        return;
    tools->ToolDir = programPath(QStringLiteral("tools"));
    tools->Load();
    // The hidden buttons and captions the user chose last time.
    buttons->ConfigFile = programPath(QStringLiteral("cfg/toolbar.cfg"));
    buttons->LoadConfig();
    buttons->adjustSize();
}

void Tfrmmain::followStartupEntry()
{
    // The state file remembers the mark, but the session starts what is in
    // the autostart folder: the mark shows that.
    m_autoStart->setChecked(desktop::TZenShortCut().StartupShortCutExists());
}

void Tfrmmain::bringToFront()
{
    if (auto* tray = trayOf(m_tray)) {
        tray->RestoreMainWindow();
        return;
    }
    showNormal();
    raise();
    activateWindow();
}

void Tfrmmain::setUpKeyboard()
{
    if (!m_options.readKeyboard || m_input)
        return;
    m_input = std::make_unique<input::TZenDxInput>(this, *m_desktop);
    m_input->setObjectName(QStringLiteral("ZenDxInput1"));
    // The component keeps the enabled-key list from now on; whatever was
    // armed before goes with it.
    for (int i = 0; i < m_ownEnabledKeys.size(); ++i)
        m_input->EnabledKeys().setValue(m_ownEnabledKeys.nameAt(i), m_ownEnabledKeys.valueAt(i));
    m_enabledKeys = &m_input->EnabledKeys();
    m_input->OnKeyDonw = [this](int key, const QString& name) { ZenDxInput1KeyDonw(key, name); };
    m_input->OnKeyUp = [this](int key, const QString& name) { ZenDxInput1KeyUp(key, name); };
    m_input->setMainFormOnly(false);
    m_input->setEnable(true);
}

void Tfrmmain::trayOnShow()
{
    auto* tray = trayOf(m_tray);
    if (!tray)
        return;
    tray->Hint = windowTitle();
    tray->ShowInTray(QStringLiteral("app"));
}

void Tfrmmain::trayMinimize()
{
    if (auto* tray = trayOf(m_tray))
        tray->MinimizeWindow(this);
}

void Tfrmmain::trayRemove()
{
    if (auto* tray = trayOf(m_tray))
        tray->RemoveIcon(QStringLiteral("app"));
}

void Tfrmmain::startupReport()
{
    if (!m_counter)
        return;
    // No endpoint configured: an empty address, and nothing is sent.
    const QString endpoint =
        desktop::configuredEndpoint(programPath(QStringLiteral("cfg/counter.ini")));
    m_counter->StartupReport(QStringLiteral("TARVELCN"), desktop::machineCode(),
                             desktop::counterUrlFor(endpoint));
}

void Tfrmmain::closingReport()
{
    if (m_counter)
        m_counter->ClosingReport();
}

void Tfrmmain::finishReports()
{
    // The closing report goes out while the state is saved and the runs
    // stop; the end waits for it at most its own time-out.
    if (!m_counter)
        return;
    m_counter->Finish(int(m_counter->totalTimeoutMs));
    m_counter.reset();
}

void Tfrmmain::setStartupShortcut(bool on)
{
    desktop::TZenShortCut shortcut;
    shortcut.AllorMe = desktop::TAllorMe::amAllUser;
    if (on)
        shortcut.CreateStartupShortCut(QStringLiteral("hide"));
    else
        // Unchecking takes the entry away again, so the mark and the session
        // agree.
        shortcut.RemoveStartupShortCut();
}

}  // namespace quillon::app
