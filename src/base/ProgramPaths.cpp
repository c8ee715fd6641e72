#include "ProgramPaths.h"

#include "ZeMath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillon::base {

namespace {

QString withSlash(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

}  // namespace

ProgramLayout programLayoutFor(const QString& executableDir, const QString& dataHome)
{
    ProgramLayout layout;
    const QString exeDir = withSlash(QDir::cleanPath(executableDir));
    const QString shared = QDir::cleanPath(exeDir + QStringLiteral("../share/quillon"));
    const bool hasShared = QFileInfo(shared).isDir();
    layout.installed = hasShared || !QFileInfo(exeDir).isWritable();
    if (!layout.installed) {
        layout.dataDirectory = exeDir;
        return layout;
    }
    if (hasShared)
        layout.sharedDirectory = withSlash(shared);
    QString home = dataHome;
    if (home.isEmpty() || !QDir::isAbsolutePath(home))
        home = QDir::homePath() + QStringLiteral("/.local/share");
    layout.dataDirectory = withSlash(QDir::cleanPath(home + QStringLiteral("/quillon")));
    return layout;
}

ProgramLayout programLayout()
{
    ProgramLayout layout =
        programLayoutFor(executableDirectory(), qEnvironmentVariable("XDG_DATA_HOME"));
    if (!layout.installed)
        return layout;
    QDir().mkpath(layout.dataDirectory);
    const QString manual = layout.dataDirectory + QStringLiteral("help.txt");
    const QString shipped = layout.sharedDirectory + QStringLiteral("help.txt");
    // A link rather than a copy, so an upgraded manual is seen at once; a
    // manual the user put there stays theirs.
    if (!layout.sharedDirectory.isEmpty() && QFileInfo::exists(shipped)
        && !QFileInfo(manual).isSymLink() && !QFileInfo::exists(manual))
        QFile::link(shipped, manual);
    return layout;
}

}  // namespace quillon::base
