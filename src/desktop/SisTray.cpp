#include "SisTray.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFileInfo>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace quillon::desktop {

QIcon applicationIcon()
{
    const QIcon own = QApplication::windowIcon();
    if (!own.isNull() && !own.availableSizes().isEmpty())
        return own;
    QIcon icon;
    for (const int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/quillon/icons/quillon-%1.png").arg(size), QSize(size, size));
    return icon;
}

TSisTray::TSisTray(QWidget* owner) : QObject(owner), m_owner(owner), m_tray(new QSystemTrayIcon(this))
{
    setObjectName(QStringLiteral("SisTray"));
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { activated(int(reason)); });
}

TSisTray::~TSisTray()
{
    RemoveIcon(QStringLiteral("app"));
}

bool TSisTray::trayAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TSisTray::iconShown() const
{
    return m_tray->isVisible();
}

bool TSisTray::canHideToTray() const
{
    return m_tray->isVisible() && trayAvailable();
}

bool TSisTray::ShowInTray(const QString& source)
{
    QIcon icon;
    if (source == QLatin1String("app")) {
        icon = applicationIcon();
    } else if (source == QLatin1String("self")) {
        icon = Icon;
    } else {
        const QIcon loaded(source);
        if (!QFileInfo(source).isFile() || loaded.availableSizes().isEmpty())
            return false;
        Icon = loaded;
        icon = Icon;
    }
    if (!ShowTaskBar && m_owner && trayAvailable())
        m_owner->hide();
    if (!m_filterInstalled && m_owner) {
        m_owner->installEventFilter(this);
        m_filterInstalled = true;
    }
    m_tray->setIcon(icon);
    m_tray->setToolTip(Hint);
    m_tray->setContextMenu(PopupMenu);
    m_tray->show();
    return true;
}

void TSisTray::RemoveIcon(const QString&)
{
    m_tray->hide();
}

void TSisTray::MinimizeWindow(QWidget* window)
{
    if (!window)
        return;
    // From the event loop, a moment later: a window asked from its own show
    // handler finishes showing first, and the minimise is not undone by the
    // rest of the show.
    QTimer::singleShot(3, window, [window] { window->showMinimized(); });
}

void TSisTray::RestoreMainWindow()
{
    if (!m_owner)
        return;
    m_owner->setWindowState((m_owner->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_owner->show();
    m_owner->raise();
    m_owner->activateWindow();
}

bool TSisTray::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_owner && event->type() == QEvent::WindowStateChange
        && (m_owner->windowState() & Qt::WindowMinimized) && canHideToTray()) {
        // Hidden instead of minimised, once the state change is through. The
        // minimised state stays until the window is restored: clearing it
        // here would have the window system map the window again.
        QTimer::singleShot(0, m_owner, [owner = m_owner] {
            if (owner->windowState() & Qt::WindowMinimized)
                owner->hide();
        });
    }
    return QObject::eventFilter(watched, event);
}

void TSisTray::activated(int reason)
{
    const QPoint position = QCursor::pos();
    switch (QSystemTrayIcon::ActivationReason(reason)) {
    case QSystemTrayIcon::Context:
        if (OnMouseUp)
            OnMouseUp(Qt::RightButton, position);
        break;
    case QSystemTrayIcon::Trigger:
        if (OnMouseUp)
            OnMouseUp(Qt::LeftButton, position);
        else
            RestoreMainWindow();
        break;
    case QSystemTrayIcon::DoubleClick:
        if (OnDblClick)
            OnDblClick();
        else
            RestoreMainWindow();
        break;
    default:
        break;
    }
}

}  // namespace quillon::desktop
