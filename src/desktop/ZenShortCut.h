// TZenShortCut: start-up entries and shortcut files. On this desktop a
// shortcut is an XDG desktop entry (".desktop") and the start-up folder is an
// XDG autostart folder, whose entries the session starts at log-in. The main
// window uses it for "开机启动": the entry starts the program with the
// argument "hide" in the program's own folder.
//
// Properties set for one shortcut stay set for the next, as the entry is
// filled from them when it is created.
#pragma once

#include <QString>
#include <QStringList>

namespace quillon::desktop {

enum class TAllorMe { amAllUser, amOnlyMe };

class TZenShortCut {
public:
    QString ParamString;
    TAllorMe AllorMe = TAllorMe::amAllUser;
    QString ApplicationPath;
    QString WorkingDirectory;

    // amAllUser: the autostart folder of the first $XDG_CONFIG_DIRS entry
    // (default /etc/xdg) when it can be written or created, else the user's;
    // amOnlyMe: $XDG_CONFIG_HOME/autostart (default ~/.config/autostart).
    // No trailing "/".
    QString StartupFolder() const;

    // Writes StartupFolder() + "/" + the executable's file name (+ ".desktop")
    // pointing at the running program with `arguments`. Returns the file
    // written, or empty when it could not be written.
    QString CreateStartupShortCut(const QString& arguments);

    // Writes an entry to `linkFile` (".desktop" appended unless its
    // extension already is that, in any letter case) that starts `target`,
    // or the running program when `target` is empty, with `arguments` in the
    // target's folder. Returns the file written, or empty on failure.
    QString CreateShortCut(const QString& linkFile, const QString& arguments,
                           const QString& target = {});

    // Removes the start-up entries this program wrote (in the user's folder
    // and the system folders). An entry left in a folder that cannot be
    // written is turned off for this user by a hiding entry in the user's
    // folder. True when no start-up entry is in effect afterwards.
    bool RemoveStartupShortCut();

    // True when the session would start the program: the first start-up
    // entry of its name, user's folder first, exists and is not hidden.
    bool StartupShortCutExists() const;

    // The file name every start-up entry of this program has.
    static QString startupEntryName();

private:
    QStringList startupFolders() const;
};

// The user's autostart folder ($XDG_CONFIG_HOME/autostart).
QString userAutostartFolder();
// The autostart folders of $XDG_CONFIG_DIRS, in order (default /etc/xdg).
QStringList systemAutostartFolders();

}  // namespace quillon::desktop
