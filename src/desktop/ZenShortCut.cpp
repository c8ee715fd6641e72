#include "ZenShortCut.h"

#include "DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillon::desktop {

namespace {

// Marks the entries this program wrote, so that removing one never takes
// away an entry the user made by hand.
const QString kMarkerKey = QStringLiteral("X-Quillon-Entry");

QString runningExecutable()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

// A folder that exists and can be written, or could be created below the
// nearest folder that exists and can be written.
bool canWriteFolder(const QString& folder)
{
    QFileInfo info(folder);
    while (!info.exists()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            return false;
        info = QFileInfo(parent);
    }
    return info.isDir() && info.isWritable();
}

QString folderPart(const QString& path)
{
    const qsizetype at = path.lastIndexOf(QLatin1Char('/'));
    return at < 0 ? QString() : path.left(at + 1);
}

bool isOurs(const QString& file)
{
    const auto entry = DesktopEntry::read(file);
    return entry && entry->value(kMarkerKey) == QLatin1String("true");
}

bool isHidden(const DesktopEntry& entry)
{
    return entry.value(QStringLiteral("Hidden")).compare(QLatin1String("true"), Qt::CaseInsensitive)
        == 0;
}

}  // namespace

QString userAutostartFolder()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(config + QStringLiteral("/autostart"));
}

QStringList systemAutostartFolders()
{
    QStringList folders;
    const QStringList dirs =
        qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& dir : dirs) {
        if (QDir::isAbsolutePath(dir))
            folders << QDir::cleanPath(dir + QStringLiteral("/autostart"));
    }
    if (folders.isEmpty())
        folders << QStringLiteral("/etc/xdg/autostart");
    return folders;
}

QString TZenShortCut::startupEntryName()
{
    return QFileInfo(runningExecutable()).fileName() + QStringLiteral(".desktop");
}

QString TZenShortCut::StartupFolder() const
{
    if (AllorMe == TAllorMe::amAllUser) {
        const QString system = systemAutostartFolders().first();
        if (canWriteFolder(system))
            return system;
    }
    return userAutostartFolder();
}

QString TZenShortCut::CreateStartupShortCut(const QString& arguments)
{
    const QString folder = StartupFolder();
    const QString written =
        CreateShortCut(folder + QLatin1Char('/') + QFileInfo(runningExecutable()).fileName(),
                       arguments);
    // An entry of ours in the user's folder (a hiding one left by an earlier
    // removal) would keep the new system entry from starting.
    const QString user = userAutostartFolder();
    if (!written.isEmpty() && folder != user) {
        const QString shadow = user + QLatin1Char('/') + startupEntryName();
        if (isOurs(shadow))
            QFile::remove(shadow);
    }
    return written;
}

QString TZenShortCut::CreateShortCut(const QString& linkFile, const QString& arguments,
                                     const QString& target)
{
    ApplicationPath = target.isEmpty() ? runningExecutable() : target;
    WorkingDirectory = folderPart(ApplicationPath);
    ParamString = arguments;

    QString file = linkFile;
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || file.mid(dot).toLower() != QLatin1String(".desktop"))
        file += QStringLiteral(".desktop");

    QString exec = quoteExecArgument(ApplicationPath);
    if (!ParamString.isEmpty())
        exec += QLatin1Char(' ') + ParamString;

    DesktopEntry entry;
    entry.setValue(QStringLiteral("Type"), QStringLiteral("Application"));
    if (ApplicationPath == runningExecutable()) {
        entry.setValue(QStringLiteral("Name"), QStringLiteral("Quillon"));
        entry.setValue(QStringLiteral("Comment"), QStringLiteral("Keyboard and mouse macros"));
        entry.setValue(QStringLiteral("Comment[zh_CN]"), QStringLiteral("键盘鼠标宏工具"));
        entry.setValue(QStringLiteral("Icon"), QStringLiteral("quillon"));
    } else {
        entry.setValue(QStringLiteral("Name"), QFileInfo(ApplicationPath).completeBaseName());
    }
    entry.setValue(QStringLiteral("Exec"), exec);
    entry.setValue(QStringLiteral("Path"), WorkingDirectory);
    entry.setValue(QStringLiteral("Terminal"), QStringLiteral("false"));
    entry.setValue(kMarkerKey, QStringLiteral("true"));

    QDir().mkpath(QFileInfo(file).absolutePath());
    return entry.write(file) ? file : QString();
}

QStringList TZenShortCut::startupFolders() const
{
    return QStringList{userAutostartFolder()} + systemAutostartFolders();
}

bool TZenShortCut::RemoveStartupShortCut()
{
    const QString name = startupEntryName();
    for (const QString& folder : startupFolders()) {
        const QString file = folder + QLatin1Char('/') + name;
        if (isOurs(file))
            QFile::remove(file);
    }
    if (!StartupShortCutExists())
        return true;
    // What is left sits in a folder this user cannot change; the user's own
    // entry of the same name decides for this user's sessions.
    const QString user = userAutostartFolder();
    if (QFileInfo::exists(user + QLatin1Char('/') + name))
        return false;
    DesktopEntry hiding;
    hiding.setValue(QStringLiteral("Type"), QStringLiteral("Application"));
    hiding.setValue(QStringLiteral("Name"), QStringLiteral("Quillon"));
    hiding.setValue(QStringLiteral("Hidden"), QStringLiteral("true"));
    hiding.setValue(kMarkerKey, QStringLiteral("true"));
    QDir().mkpath(user);
    hiding.write(user + QLatin1Char('/') + name);
    return !StartupShortCutExists();
}

bool TZenShortCut::StartupShortCutExists() const
{
    const QString name = startupEntryName();
    for (const QString& folder : startupFolders()) {
        const QString file = folder + QLatin1Char('/') + name;
        if (!QFileInfo::exists(file))
            continue;
        const auto entry = DesktopEntry::read(file);
        return entry && !isHidden(*entry);
    }
    return false;
}

}  // namespace quillon::desktop
