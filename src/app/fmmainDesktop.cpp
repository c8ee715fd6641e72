// Where the window meets the desktop: the tray icon, the single-instance
// guard, the start-up entry of "开机启动", the tool bar, the usage counter
// and the keyboard. Each is one small function, so wiring a component
// touches one place.
#include "app/fmmain.h"

#include "desktop/SisTray.h"
#include "desktop/ZenShortCut.h"
#include "input/ZenDxInput.h"

#include <QMenu>

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
    m_tray = tray;
    // The single-instance check (TZenMutex) is made by the program before
    // the window, so that a second copy leaves no trace; the tool bar
    // (TToolSys over m_toolBar, folder "tools") is loaded here.
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
    // The usage counter's start-up report (TUserCounter, application id
    // "TARVELCN") is sent here.
}

void Tfrmmain::closingReport()
{
    // The usage counter's closing report is sent here.
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
