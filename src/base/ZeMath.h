// Path utilities and waits shared by every layer.
//
// Paths use "/" as separator; a "\" in any input is turned into "/", so the
// Windows-style paths found in older scripts and state files still work. A
// path is absolute when it starts with "/" or with a drive letter and ":".
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace quillon::base {

// Creates every missing directory along `path` (relative paths start at the
// current directory). Returns false only for an empty path; creation failures
// are ignored, as callers only want the directories to exist if they can.
bool makeDirectories(const QString& path);

// The running executable's full path (symbolic links resolved).
QString executableFile();

// The running executable's directory, with a trailing "/".
QString executableDirectory();

// `path` resolved against the executable's directory (the data folder of an
// installed program, ProgramPaths.h). An empty path gives the directory
// itself; an absolute path is returned unchanged.
QString executableRelativePath(const QString& path);

// Appends `relative` to `base`; every ".." component of `relative` drops one
// trailing component of `base`. A name that merely contains ".." (a..b.txt)
// is an ordinary name and climbs nothing.
QString combinePaths(const QString& base, const QString& relative);

// The executable's directory (trailing "/"; the data folder of an installed
// program), which also becomes the current directory of the process.
QString executableDirectoryAsCurrent();

// Splits `text` at `delimiter`: a leading delimiter is dropped, inner pieces
// are kept as they are (even empty), and a last piece that is blank after
// trimming is dropped. Pieces are never trimmed.
QStringList split(const QString& text, const QString& delimiter);

// Position of the first element equal to `value`, or -1.
int indexOfInt(int value, const std::vector<int>& values);

// Waits `ms` milliseconds. On the thread that runs the application's event
// loop the wait runs a nested event loop, so windows stay responsive and
// handlers may be re-entered; on any other thread it simply sleeps. 0 or less
// returns at once without dispatching anything.
void pumpingDelay(int ms);

// The engine's wait for scripts run without a run thread. It used to spin
// while dispatching messages; it now waits exactly like pumpingDelay, which
// gives the same effect without burning a core.
void busyDelay(int ms);

}  // namespace quillon::base
