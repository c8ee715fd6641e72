// TToolSys: one launcher per tool found under the program's "tools" folder
// (subfolders included), built once by Load. On a TZenToolBar a launcher is a
// 39 x 39 button at 39-pixel steps; under a menu it is an item captioned with
// the file name and "(&Z)". Either shows the file's icon (an empty picture
// when it has none), keeps the full path as its hint, and opens the tool with
// the working folder "tools" (relative to the current folder).
#pragma once

#include "platform/Desktop.h"

#include <QObject>
#include <QString>

namespace quillon::desktop {

// Programs on this system: Windows programs (for a compatibility layer),
// shell scripts, desktop entries and AppImages, plus any file with an execute
// bit.
inline constexpr const char* kToolExtensions = ".exe;.sh;.desktop;.AppImage";

class TToolSys : public QObject {
    Q_OBJECT
public:
    // `shell` opens tools that are not programs; it may be null.
    explicit TToolSys(platform::Shell* shell = nullptr, QObject* parent = nullptr);

    // Receives the launchers: a TZenToolBar or a QMenu; anything else (or
    // none) gets no launchers.
    QObject* HostLoader = nullptr;
    // Relative to the program folder.
    QString ToolDir = QStringLiteral("tools");
    QString ToolExt = QString::fromLatin1(kToolExtensions);
    bool IncludeExecutables = true;

    // Builds the launchers; call once. A missing folder gives none.
    void Load();

    // Opens the tool at `path` as a launcher click does.
    void launch(const QString& path);

    static constexpr int kButtonSize = 39;

private:
    platform::Shell* m_shell;
};

}  // namespace quillon::desktop
