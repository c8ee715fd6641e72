// TGMWindow: finds windows of other programs by title or class-name
// fragment, among top-level windows or below a parent, lists titled
// top-level windows, brings a window to the front, and measures the frame of
// a window tracked by its class name. Also reads, sets and clicks a window's
// text for the script bridge.
//
// Every search works on data of its own and returns its own result, so
// several script runs may search through one instance at once; the stored
// copies (LastHandles, FilteredList, WindowList, geometry) are guarded.
#pragma once

#include "platform/Desktop.h"
#include "platform/UnavailableDesktop.h"

#include <QString>

#include <mutex>
#include <vector>

namespace quillon::input {

using platform::WindowHandle;

struct WndType {
    QString title;
    QString className;
    WindowHandle handle = 0;
    bool operator==(const WndType&) const = default;
};

using arWndType = std::vector<WndType>;
using arhandle = std::vector<WindowHandle>;

class TGMWindow {
public:
    // Without a desktop's windows searches find nothing and Status() fails.
    explicit TGMWindow(platform::Windows& windows = platform::noDesktop().windows());

    // Success while the desktop's windows can be read; the failure says why.
    platform::Result Status() { return m_windows.status(); }

    // Unowned top-level windows, top first, whose title contains
    // `titleFragment` or, failing that, whose class contains `classFragment`
    // (ASCII case folded; an empty fragment never matches; texts are compared
    // on their first 179 bytes). No match: the single handle 0.
    arhandle FindHandles(const QString& titleFragment, const QString& classFragment);
    // The matching direct children of `parent`, from the first depth-first
    // match onwards (single handle 0 when that match is deeper, or none).
    arhandle FindChildren(WindowHandle parent, const QString& titleFragment,
                          const QString& classFragment);
    // First matching descendant, depth first, descendants before the window
    // itself; `parent` 0 searches below FindTopWindow's window. 0 when none.
    WindowHandle FindChildWindow(WindowHandle parent, const QString& titleFragment,
                                 const QString& classFragment);
    // Exact lookup of a top-level window by whole title and/or class; 0 if none.
    WindowHandle FindTopWindow(const QString& title, const QString& className);

    // Lists the titled unowned top-level windows (titles cut to 254 bytes).
    // The list is emptied first, so a second refresh never doubles entries.
    void RefreshWindowList();
    // Listed windows whose title contains `fragment`, exact case; an empty
    // fragment matches nothing.
    arWndType FilterWindows(const QString& fragment, bool refresh);

    // Shows, raises and activates the window. False for a bad handle.
    bool ActivateWindow(WindowHandle window);

    // The window's text (its title) cut to 255 characters; empty for a bad handle.
    QString WindowText(WindowHandle window);
    // Sets the window's text, up to its first NUL. False for a bad handle.
    bool SetWindowText(WindowHandle window, const QString& text);
    // Clicks the middle of the window. False for a bad handle.
    bool ClickWindow(WindowHandle window);

    // The tracked window: setting its class name looks it up and measures it.
    QString classname() const;
    void setClassname(const QString& value);
    int TitleHeight() const;
    void setTitleHeight(int value);
    int HBorder() const;
    void setHBorder(int value);
    int VBorder() const;
    void setVBorder(int value);
    platform::Rect ClientRect() const;
    platform::Rect WindowRect() const;
    WindowHandle Handle() const;

    arWndType WindowList() const;
    arWndType FilteredList() const;
    arhandle LastHandles() const;

private:
    struct Found {
        std::vector<WindowHandle> siblings;
        std::size_t index = 0;
    };
    bool matches(WindowHandle h, const QString& titleFragment, const QString& classFragment);
    static bool textsMatch(const platform::WindowTexts& texts, const QString& titleFragment,
                           const QString& classFragment);
    bool searchBelow(WindowHandle parent, const QString& titleFragment,
                     const QString& classFragment, Found& found);
    bool findFirstDescendant(WindowHandle parent, const QString& titleFragment,
                             const QString& classFragment, Found& found);
    void appendTitled(arWndType& list, bool skipListed);
    void UpdateGeometry();

    platform::Windows& m_windows;
    mutable std::mutex m_mutex;
    QString m_classname;
    int m_titleHeight = 0;
    int m_hBorder = 0;
    int m_vBorder = 0;
    platform::Rect m_clientRect;
    platform::Rect m_windowRect;
    WindowHandle m_handle = 0;
    arWndType m_windowList;
    arWndType m_filteredList;
    arhandle m_lastHandles;
};

// A window's (or control's) text as gethtxt answers it: its 256-character
// buffer counts characters, never splitting a surrogate pair.
QString windowTextCut(QString text);
// A text as sethtxt sends it: a NUL-terminated string, so up to its first NUL.
QString untilNul(const QString& text);
// `text` cut to at most `maxBytes` bytes of UTF-8, at a character boundary.
QString cutToBytes(const QString& text, int maxBytes);
// True when `fragment` is non-empty and occurs in `text`, ASCII letters
// compared without regard to case.
bool fragmentMatches(const QString& fragment, const QString& text);

}  // namespace quillon::input
