#include "ToolOpener.h"

#include "DesktopEntry.h"
#include "ZenFileList.h"

#include <QFileInfo>
#include <QProcess>

namespace quillon::desktop {

namespace {

bool openDesktopEntry(const QString& path, const QString& workingDirectory,
                      platform::Shell* shell)
{
    const auto entry = DesktopEntry::read(path);
    if (!entry)
        return false;
    const QString type = entry->value(QStringLiteral("Type"));
    if (type == QLatin1String("Link")) {
        const QString url = entry->value(QStringLiteral("URL"));
        return shell && !url.isEmpty() && shell->open(url, workingDirectory);
    }
    const auto command = splitExec(entry->value(QStringLiteral("Exec")));
    if (!command)
        return false;
    QString folder = entry->value(QStringLiteral("Path"));
    if (folder.isEmpty())
        folder = workingDirectory;
    return QProcess::startDetached(command->first(), command->mid(1), folder);
}

}  // namespace

bool openTool(const QString& path, const QString& workingDirectory, platform::Shell* shell)
{
    const QFileInfo info(path);
    if (suffixMatches(path, QStringLiteral(".desktop")))
        return openDesktopEntry(path, workingDirectory, shell);
    if (info.isFile() && info.isExecutable())
        return QProcess::startDetached(info.absoluteFilePath(), {}, workingDirectory);
    return shell && shell->open(path, workingDirectory);
}

}  // namespace quillon::desktop
