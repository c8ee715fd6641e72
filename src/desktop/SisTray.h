// TSisTray: the program's icon in the desktop's notification area (Qt's tray:
// StatusNotifierItem or XEmbed, whichever the desktop offers). While the icon
// is there, minimising the owner window hides it to the tray instead; a left
// click or a double click on the icon brings it back in normal state, and a
// right click opens PopupMenu.
//
// A desktop without a tray could never bring a hidden window back, so there
// the window minimises as usual and nothing is hidden.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace quillon::desktop {

class TSisTray : public QObject {
    Q_OBJECT
public:
    // `owner` is the window hidden to the tray (the main window).
    explicit TSisTray(QWidget* owner);
    // Removes the icon.
    ~TSisTray() override;

    // The icon's tip.
    QString Hint;
    // The icon used by the sources "self" and a file name.
    QIcon Icon;
    QMenu* PopupMenu = nullptr;
    // False: showing the icon also hides the owner window.
    bool ShowTaskBar = false;
    // A left click calls OnMouseUp instead of restoring when it is set; a
    // right click calls it and then opens PopupMenu.
    std::function<void(Qt::MouseButton button, QPoint position)> OnMouseUp;
    // A double click calls OnDblClick instead of restoring when it is set.
    std::function<void()> OnDblClick;
    // Stored for the window's use; never raised.
    std::function<void(Qt::MouseButton button, QPoint position)> OnMouseDown;
    std::function<void()> OnClick;

    // Puts the icon in the tray. `source`: "app" the application's icon,
    // "self" Icon as it is, anything else a file loaded into Icon first.
    // Showing it again while it is there changes nothing. False when a file
    // source cannot be loaded (nothing is shown then).
    bool ShowInTray(const QString& source);
    // Takes the icon out of the tray; `source` is accepted as ShowInTray's.
    void RemoveIcon(const QString& source);
    // Minimises `window` 3 ms later, from the event loop, as the window's own
    // minimise command would: the owner goes to the tray, or is minimised
    // when there is no tray to go to. Safe to call from a show handler.
    void MinimizeWindow(QWidget* window);
    // Shows the owner window in normal state, raised and active.
    void RestoreMainWindow();

    // True when the desktop offers a tray.
    static bool trayAvailable();
    // True while the icon is in the tray.
    bool iconShown() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void activated(int reason);
    bool canHideToTray() const;

    QWidget* m_owner;
    QSystemTrayIcon* m_tray;
    bool m_filterInstalled = false;
};

// The program's own icon.
QIcon applicationIcon();

}  // namespace quillon::desktop
