#include "ExtractIcon.h"

#include "DesktopEntry.h"
#include "ZenFileList.h"

#include <QDir>
#include <QMimeDatabase>

namespace quillon::desktop {

namespace {

QIcon themeIcon(const QString& name)
{
    if (name.isEmpty())
        return {};
    return QIcon::fromTheme(name);
}

QIcon desktopEntryIcon(const QString& fileName)
{
    const auto entry = DesktopEntry::read(fileName);
    if (!entry)
        return {};
    const QString icon = entry->value(QStringLiteral("Icon"));
    if (QDir::isAbsolutePath(icon)) {
        const QIcon fromFile(icon);
        return fromFile.availableSizes().isEmpty() ? QIcon() : fromFile;
    }
    return themeIcon(icon);
}

QIcon typeIcon(const QString& fileName)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName);
    QIcon icon = themeIcon(type.iconName());
    if (icon.isNull())
        icon = themeIcon(type.genericIconName());
    return icon;
}

}  // namespace

const QIcon& TExtractIcon::GetIcon(const QString& fileName, int index)
{
    m_icon = QIcon();
    if (index != 0)
        return m_icon;
    if (suffixMatches(fileName, QStringLiteral(".desktop")))
        m_icon = desktopEntryIcon(fileName);
    else
        m_icon = typeIcon(fileName);
    return m_icon;
}

QPixmap TExtractIcon::IconToBitmap(const QIcon& icon, const QSize& size)
{
    if (icon.isNull())
        return {};
    return icon.pixmap(size);
}

}  // namespace quillon::desktop
