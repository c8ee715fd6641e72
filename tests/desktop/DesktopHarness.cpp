// A main window in miniature for the real-desktop tests of the desktop
// components: it calls them the way the program's main window does, in its
// start-up, show, close and exit orders, and prints what happens on standard
// output, one line per event.
//
//   QUILLON_HARNESS_DIR=DIR desktop_harness [hide]
//
// DIR stands for the program folder: "tools", "cfg" and the state file live
// there, and it is the current folder. It comes from the environment so that
// the command line is the program's own (an autostart entry passes "hide").
#include "base/ZeMath.h"
#include "desktop/SisTray.h"
#include "desktop/ToolSys.h"
#include "desktop/UserCounter.h"
#include "desktop/ZenMutex.h"
#include "desktop/ZenShortCut.h"
#include "desktop/ZenToolBar.h"
#include "platform/Desktop.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

using namespace quillon;

namespace {

void say(const char* text)
{
    std::printf("%s\n", text);
    std::fflush(stdout);
}

class HarnessWindow : public QWidget {
public:
    HarnessWindow(const QString& dir, bool hide, platform::Shell* shell)
        : m_dir(dir), m_hide(hide), m_tray(this), m_tools(shell, this)
    {
        setWindowTitle(QStringLiteral("Quillon "));
        resize(712, 394);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* menuBar = new QMenuBar(this);
        QMenu* settings = menuBar->addMenu(QStringLiteral("设置"));
        m_autostart = settings->addAction(QStringLiteral("开机启动"));
        m_autostart->setCheckable(true);
        m_autostart->setChecked(m_shortcut.StartupShortCutExists());
        connect(m_autostart, &QAction::triggered, this, [this] { toggleAutostart(); });
        settings->addAction(QStringLiteral("退出"), this, [this] { exitCommand(); });
        layout->setMenuBar(menuBar);
        layout->addWidget(&m_toolBar);
        layout->addStretch();

        m_popup.addAction(QStringLiteral("关闭"), this, [this] { exitCommand(); });
        m_tray.PopupMenu = &m_popup;
        m_tray.ShowTaskBar = true;

        m_tools.HostLoader = &m_toolBar;
        m_tools.ToolDir = dir + QStringLiteral("/tools");
        m_tools.Load();
        m_toolBar.ConfigFile = dir + QStringLiteral("/cfg/toolbar.cfg");
        m_toolBar.LoadConfig();
        std::printf("tools %d\nautostart %d\n", int(m_toolBar.controls().size()),
                    m_autostart->isChecked() ? 1 : 0);
        std::fflush(stdout);

        QTimer::singleShot(500, this, [this] {
            m_counter.StartupReport(
                QStringLiteral("TARVELCN"), desktop::machineCode(),
                desktop::counterUrlFor(desktop::configuredEndpoint(m_dir + QStringLiteral("/cfg/counter.ini"))));
            say("armed");
        });
    }

    desktop::TSisTray& tray() { return m_tray; }

protected:
    void showEvent(QShowEvent* event) override
    {
        QWidget::showEvent(event);
        m_tray.Hint = windowTitle();
        m_tray.ShowInTray(QStringLiteral("app"));
        say("shown");
        say(desktop::TSisTray::trayAvailable() ? "tray" : "no tray");
        const QPoint bar = m_toolBar.mapTo(this, QPoint(0, 0));
        std::printf("toolbar %d %d\n", bar.x(), bar.y());
        std::fflush(stdout);
        // Only the first show goes to the tray, as in the program: bringing
        // the window back shows it again, and a window manager's own map
        // sends show events too; minimising then would keep it away for good.
        if (m_hide && !m_shownOnce)
            m_tray.MinimizeWindow(this);
        m_shownOnce = true;
    }

    void hideEvent(QHideEvent* event) override
    {
        QWidget::hideEvent(event);
        // Minimising sends a hide event from the window system too.
        if (!event->spontaneous())
            say("hidden");
    }

    void changeEvent(QEvent* event) override
    {
        QWidget::changeEvent(event);
        if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized))
            say("minimised");
    }

    void closeEvent(QCloseEvent* event) override
    {
        event->accept();
        exitCommand();
    }

private:
    void toggleAutostart()
    {
        if (m_autostart->isChecked())
            m_shortcut.CreateStartupShortCut(QStringLiteral("hide"));
        else
            m_shortcut.RemoveStartupShortCut();
        say(m_autostart->isChecked() ? "autostart on" : "autostart off");
    }

    void exitCommand()
    {
        m_counter.ClosingReport();
        {
            QFile state(m_dir + QStringLiteral("/state.txt"));
            if (state.open(QIODevice::WriteOnly))
                state.write("saved\n");
        }
        m_tray.RemoveIcon(QStringLiteral("app"));
        m_counter.Finish(int(m_counter.totalTimeoutMs));
        say("exit");
        std::_Exit(0);
    }

    QString m_dir;
    bool m_hide;
    bool m_shownOnce = false;
    desktop::TSisTray m_tray;
    desktop::TZenToolBar m_toolBar;
    desktop::TToolSys m_tools;
    desktop::TZenShortCut m_shortcut;
    desktop::TUserCounter m_counter;
    QMenu m_popup;
    QAction* m_autostart = nullptr;
};

}  // namespace

int main(int argc, char** argv)
{
    // On X11 the class half of WM_CLASS is the application name.
    QApplication::setApplicationName(QStringLiteral("Tfrmmain"));
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString dirName = qEnvironmentVariable("QUILLON_HARNESS_DIR");
    if (dirName.isEmpty())
        return 2;
    desktop::TZenMutex mutex;
    mutex.CheckSingleInstance(QStringLiteral("Quillon "), QStringLiteral("Tfrmmain"));
    say("first");

    const QString dir = QDir(dirName).absolutePath();
    QDir::setCurrent(dir);
    const bool hide = args.value(1) == QLatin1String("hide");
    const auto desktopBackend = platform::openDefaultDesktop();
    HarnessWindow window(dir, hide, desktopBackend ? &desktopBackend->shell() : nullptr);
    window.setObjectName(QStringLiteral("frmmain"));
    mutex.setOnActivate([&window] {
        window.tray().RestoreMainWindow();
        say("activated");
    });
    window.show();
    return app.exec();
}
