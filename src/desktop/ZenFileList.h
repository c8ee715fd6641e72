// TZenFileList: lists the files and/or folders under a folder, breadth first
// (a folder's own entries, in the order the file system gives them, before
// those of its subfolders), keeping files whose name ends in one of the
// suffixes of `Mask`.
#pragma once

#include <QString>
#include <QStringList>

namespace quillon::desktop {

enum class TListMode { lmDir, lmFile, lmAll, lmDirNoSub, lmFileNoSub, lmAllNosub };

class TZenFileList {
public:
    TListMode ListMode = TListMode::lmFile;
    // Suffixes separated by ";" (".exe;.sh"), compared ignoring the case of
    // A-Z; ".*" keeps every file. Empty pieces are ignored.
    QString Mask = QStringLiteral(".*");
    QString DirPath;
    // Also keep files that have an execute permission bit, whatever their
    // name (the way programs are marked on this system).
    bool IncludeExecutables = false;

    // Clears the result and scans DirPath. A folder reached twice (through a
    // symbolic link) is scanned once.
    void Refresh();

    // Full paths found by the last Refresh.
    const QStringList& Result() const { return m_result; }

private:
    QStringList m_result;
};

// True when the last `suffix.size()` characters of `path` equal `suffix`,
// ignoring the case of A-Z only.
bool suffixMatches(const QString& path, const QString& suffix);

}  // namespace quillon::desktop
