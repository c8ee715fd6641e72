#include "ToolSys.h"

#include "ExtractIcon.h"
#include "ToolOpener.h"
#include "ZenFileList.h"
#include "ZenToolBar.h"
#include "base/ZeMath.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QToolButton>

namespace quillon::desktop {

TToolSys::TToolSys(platform::Shell* shell, QObject* parent) : QObject(parent), m_shell(shell)
{
    setObjectName(QStringLiteral("ToolSys"));
}

void TToolSys::Load()
{
    TZenFileList list;
    list.Mask = ToolExt;
    list.IncludeExecutables = IncludeExecutables;
    QString dir = base::executableRelativePath(ToolDir);
    if (dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    list.DirPath = dir;
    list.Refresh();

    auto* toolBar = qobject_cast<TZenToolBar*>(HostLoader);
    auto* menu = qobject_cast<QMenu*>(HostLoader);
    TExtractIcon icons;
    const QSize iconSize(kButtonSize - 8, kButtonSize - 8);
    for (int i = 0; i < list.Result().size(); ++i) {
        const QString path = list.Result()[i];
        const QPixmap glyph = TExtractIcon::IconToBitmap(icons.GetIcon(path, 0), iconSize);
        const QString name = QFileInfo(path).fileName();
        if (toolBar) {
            auto* button = new QToolButton;
            button->setFocusPolicy(Qt::NoFocus);
            button->setAutoRaise(true);
            button->setToolTip(path);
            button->setFixedSize(kButtonSize, kButtonSize);
            button->setIconSize(iconSize);
            button->setIcon(glyph.isNull() ? QIcon() : QIcon(glyph));
            // The caption names the tool in the configuration window; the
            // face shows it only when there is no icon to show.
            button->setText(name);
            button->setToolButtonStyle(glyph.isNull() ? Qt::ToolButtonTextOnly
                                                      : Qt::ToolButtonIconOnly);
            button->setProperty("toolPath", path);
            connect(button, &QToolButton::clicked, this, [this, path] { launch(path); });
            // The tool bar places each control right after the one before:
            // i x 39 while none is hidden.
            toolBar->addControl(button);
        } else if (menu) {
            QAction* item = menu->addAction(name + QStringLiteral("(&Z)"));
            item->setParent(this);
            item->setToolTip(path);
            item->setStatusTip(path);
            if (!glyph.isNull())
                item->setIcon(QIcon(glyph));
            connect(item, &QAction::triggered, this, [this, path] { launch(path); });
        }
    }
}

void TToolSys::launch(const QString& path)
{
    openTool(path, QDir::current().absoluteFilePath(QStringLiteral("tools")), m_shell);
}

}  // namespace quillon::desktop
