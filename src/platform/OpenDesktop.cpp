// The one place that chooses the desktop backend for the whole program.
#include "platform/Desktop.h"
#include "platform/UnavailableDesktop.h"
#include "platform/sim/SimDesktop.h"

#include <QByteArray>

#include <cstdlib>

namespace quillon::platform {

std::shared_ptr<Desktop> openDefaultDesktop(QString* warning)
{
    const QByteArray choice = QByteArray(std::getenv(kDesktopVariable)).trimmed().toLower();
    if (choice == "sim")
        return std::make_shared<SimDesktop>();
    if (!choice.isEmpty() && choice != "x11" && warning)
        *warning = QStringLiteral("%1=%2 names no desktop (use x11 or sim); using x11")
                       .arg(QLatin1String(kDesktopVariable), QString::fromLocal8Bit(choice));
    QString error;
    if (auto desktop = openX11Desktop(QString(), &error))
        return desktop;
    return std::make_shared<UnavailableDesktop>(error);
}

}  // namespace quillon::platform
