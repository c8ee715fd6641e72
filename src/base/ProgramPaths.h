// Where the program keeps its files.
//
// Portable layout: scripts, tools, the manual and state files sit beside the
// executable. Installed layout, for a program put into a prefix by the
// install step (a "share/quillon" folder beside its "bin") or one whose
// folder cannot be written: the same files live under
// $XDG_DATA_HOME/quillon (default ~/.local/share/quillon), and read-only
// resources such as the manual come from <prefix>/share/quillon.
#pragma once

#include <QString>

namespace quillon::base {

struct ProgramLayout {
    bool installed = false;
    // The folder that takes the place of "beside the executable", with a
    // trailing "/".
    QString dataDirectory;
    // <prefix>/share/quillon/ of an installed program, else empty.
    QString sharedDirectory;
};

// The layout of a program whose executable sits in `executableDir`; `dataHome`
// is $XDG_DATA_HOME (empty: ~/.local/share). Looks at the file system only.
ProgramLayout programLayoutFor(const QString& executableDir, const QString& dataHome);

// The running program's layout. In the installed layout the data folder is
// created, and the manual is linked into it when it has none of its own.
ProgramLayout programLayout();

}  // namespace quillon::base
