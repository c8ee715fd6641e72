// The window's state store and its settings windows: the trigger table and
// the "开机启动" check mark survive restarts in the window's state file; the
// settings window keeps the global stop key and writes the table's header.
#include "app/fmmain.h"

#include "app/GUIStatus.h"
#include "app/ZenStringGrid.h"
#include "app/fmCfgGlobal.h"
#include "app/fmHelp.h"
#include "base/ZeMath.h"

#include <QFileInfo>

namespace quillon::app {

namespace {

// <program folder>/<executable's file name><window class>.stat
QString stateFileIn(const QString& programDir, const char* windowClass)
{
    return programDir + QFileInfo(base::executableFile()).fileName() + QString::fromLatin1(windowClass)
        + QStringLiteral(".stat");
}

}  // namespace

QString Tfrmmain::stateFileName() const
{
    return stateFileIn(m_programDir, kMainClass);
}

void Tfrmmain::registerState()
{
    auto* store = new TGUIStatus(this);
    store->setObjectName(QStringLiteral("GUIStatus1"));
    store->Register(m_grid, 0);
    store->Register(m_autoStart, 0);
    m_stateStore = store;
}

void Tfrmmain::loadState()
{
    if (auto* store = qobject_cast<TGUIStatus*>(m_stateStore))
        store->Load(stateFileName());
}

void Tfrmmain::saveState()
{
    if (auto* store = qobject_cast<TGUIStatus*>(m_stateStore))
        store->Save(stateFileName());
}

void Tfrmmain::createSettingsWindows()
{
    if (m_settings)
        return;
    m_help = new TfrmHelp(this);
    m_help->setObjectName(QStringLiteral("frmHelp"));
    auto* settings = new TfrmCfgGlobal(m_grid, this);
    settings->setObjectName(QStringLiteral("frmCfgGlobal"));
    settings->SetStateFileName(stateFileIn(m_programDir, "TfrmCfgGlobal"));
    m_settings = settings;
    settings->FormCreate();
}

void Tfrmmain::showSettings()
{
    if (auto* settings = qobject_cast<TfrmCfgGlobal*>(m_settings))
        settings->exec();  // its close publishes the key
}

}  // namespace quillon::app
