// Opening a tool the way the desktop does: a program (a file with an execute
// bit) is started, a ".desktop" entry starts the command it names, anything
// else goes to the desktop's default handler (platform::Shell).
#pragma once

#include "platform/Desktop.h"

#include <QString>

namespace quillon::desktop {

// Opens `path` with `workingDirectory` as the started program's current
// folder (a ".desktop" entry's own Path key wins). `shell` may be null: files
// that need the default handler are then not opened. False when nothing could
// be started.
bool openTool(const QString& path, const QString& workingDirectory, platform::Shell* shell);

}  // namespace quillon::desktop
