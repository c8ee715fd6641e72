// TExtractIcon: the icon a desktop shows for a file. A ".desktop" file shows
// the icon its Icon key names (a file path or a theme icon name); any other
// file the theme icon of its type. A file without one gets an empty icon.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace quillon::desktop {

class TExtractIcon {
public:
    // The icon of `fileName`; only index 0 exists, any other gives an empty
    // icon. The returned object is the component's own, reused for every
    // call.
    const QIcon& GetIcon(const QString& fileName, int index = 0);

    // A new picture of `size` with `icon` drawn on it; an empty icon gives an
    // empty (null) picture.
    static QPixmap IconToBitmap(const QIcon& icon, const QSize& size);

private:
    QIcon m_icon;
};

}  // namespace quillon::desktop
