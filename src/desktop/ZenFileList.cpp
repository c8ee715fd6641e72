#include "ZenFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <deque>

namespace quillon::desktop {

namespace {

QChar asciiLower(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ? QChar(c.unicode() + 32) : c;
}

bool listsDirs(TListMode m)
{
    return m == TListMode::lmDir || m == TListMode::lmAll || m == TListMode::lmAllNosub
        || m == TListMode::lmDirNoSub;
}

bool listsFiles(TListMode m)
{
    return m == TListMode::lmFile || m == TListMode::lmAll || m == TListMode::lmAllNosub
        || m == TListMode::lmFileNoSub;
}

bool descends(TListMode m)
{
    return m == TListMode::lmDir || m == TListMode::lmFile || m == TListMode::lmAll;
}

bool isExecutable(const QFileInfo& info)
{
    return info.permissions()
        & (QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther);
}

}  // namespace

bool suffixMatches(const QString& path, const QString& suffix)
{
    if (suffix.size() > path.size())
        return false;
    const qsizetype offset = path.size() - suffix.size();
    for (qsizetype i = 0; i < suffix.size(); ++i) {
        if (asciiLower(path.at(offset + i)) != asciiLower(suffix.at(i)))
            return false;
    }
    return true;
}

void TZenFileList::Refresh()
{
    m_result.clear();
    const QStringList suffixes = Mask.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const bool everyFile = Mask == QLatin1String(".*");

    // Folders are keyed by their canonical path: a link back up the tree
    // would otherwise be followed for ever.
    QSet<QString> seen;
    std::deque<QString> queue{DirPath};
    while (!queue.empty()) {
        const QString dir = queue.front();
        queue.pop_front();
        const QString canonical = QFileInfo(dir).canonicalFilePath();
        if (canonical.isEmpty() || seen.contains(canonical))
            continue;
        seen.insert(canonical);

        const QDir d(dir);
        const QStringList names = d.entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
        const QString prefix = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
        for (const QString& name : names) {
            const QString path = prefix + name;
            const QFileInfo info(path);
            if (info.isDir()) {
                queue.push_back(path);
                if (listsDirs(ListMode))
                    m_result << path;
                continue;
            }
            if (!listsFiles(ListMode))
                continue;
            bool keep = everyFile || (IncludeExecutables && isExecutable(info));
            for (qsizetype i = 0; !keep && i < suffixes.size(); ++i)
                keep = suffixMatches(path, suffixes[i]);
            if (keep)
                m_result << path;
        }
        if (!descends(ListMode))
            break;
    }
}

}  // namespace quillon::desktop
