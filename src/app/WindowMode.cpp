// The program with its window: `quillon` and `quillon hide`.
//
// Start-up order: the application object; the single-instance check (a
// later copy brings the first one's window to the front and ends); the main
// window and its start-up handler; the manual and settings windows; then the
// event loop, which shows the window. SIGTERM, SIGINT and SIGHUP run the
// exit command.
#include "app/CommandLine.h"

#include "app/ExitSignals.h"
#include "app/fmmain.h"
#include "base/ZeMath.h"
#include "desktop/ZenMutex.h"

#include <QApplication>
#include <QScreen>

namespace quillon::app {

int runWindow(int& argc, char** argv)
{
    QApplication app(argc, argv);
    // The X11 class of every window of the program, which other copies and
    // scripts find the main window by.
    QApplication::setApplicationName(QString::fromLatin1(kMainClass));
    QApplication::setQuitOnLastWindowClosed(false);
    const bool hide = app.arguments().value(1) == QLatin1String("hide");

    desktop::TZenMutex instance;
    if (!instance.claim(QString::fromUtf8(kMainCaption), QString::fromLatin1(kMainClass)))
        return 0;
    // Scripts named by relative paths, and the folders made at start-up,
    // are the program folder's.
    base::executableDirectoryAsCurrent();

    Tfrmmain::Options options;
    options.readKeyboard = true;
    options.startHidden = hide;
    Tfrmmain window(options);
    instance.setOnActivate([&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
    window.FormCreate();
    window.createSettingsWindows();
    const ExitSignals exitSignals([&window](int) { window.N26Click(); });
    if (const QScreen* screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    return app.exec();
}

}  // namespace quillon::app
