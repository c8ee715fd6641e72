#include "input/GMWindow.h"

#include "base/Text.h"

#include <algorithm>

namespace quillon::input {
namespace {

// The searches read texts into 180-byte buffers, the window list into
// 255-byte ones, and window text travels in 256: one byte goes to the NUL.
constexpr int kSearchTextBytes = 179;
constexpr int kListTextBytes = 254;
constexpr int kWindowTextChars = 255;

int utf8Length(char32_t cp)
{
    return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

}  // namespace

QString cutToBytes(const QString& text, int maxBytes)
{
    int bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        char32_t cp = text.at(i).unicode();
        qsizetype units = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            units = 2;
        }
        if (bytes + utf8Length(cp) > maxBytes)
            break;
        bytes += utf8Length(cp);
        i += units;
    }
    return text.left(i);
}

bool fragmentMatches(const QString& fragment, const QString& text)
{
    return !fragment.isEmpty() && base::asciiLower(text).contains(base::asciiLower(fragment));
}

TGMWindow::TGMWindow(platform::Windows& windows) : m_windows(windows) {}

bool TGMWindow::matches(WindowHandle h, const QString& titleFragment, const QString& classFragment)
{
    platform::WindowTexts texts;
    if (!titleFragment.isEmpty())
        texts.title = m_windows.title(h);
    if (!classFragment.isEmpty())
        texts.className = m_windows.className(h);
    return textsMatch(texts, titleFragment, classFragment);
}

bool TGMWindow::textsMatch(const platform::WindowTexts& texts, const QString& titleFragment,
                           const QString& classFragment)
{
    // The title is tested first; a window whose title matches is taken once.
    return fragmentMatches(titleFragment, cutToBytes(texts.title, kSearchTextBytes))
           || fragmentMatches(classFragment, cutToBytes(texts.className, kSearchTextBytes));
}

arhandle TGMWindow::FindHandles(const QString& titleFragment, const QString& classFragment)
{
    arhandle result;
    const std::vector<WindowHandle> top = m_windows.topLevelWindows();
    const std::vector<platform::WindowTexts> texts =
        m_windows.texts(top, !titleFragment.isEmpty(), !classFragment.isEmpty());
    for (std::size_t i = 0; i < top.size(); ++i) {
        // Owned pop-ups report their owner as parent and are skipped.
        if (textsMatch(texts[i], titleFragment, classFragment) && m_windows.parent(top[i]) == 0)
            result.push_back(top[i]);
    }
    if (result.empty())
        result.push_back(0);
    std::lock_guard lock(m_mutex);
    m_lastHandles = result;
    return result;
}

bool TGMWindow::searchBelow(WindowHandle parent, const QString& titleFragment,
                            const QString& classFragment, Found& found)
{
    const std::vector<WindowHandle> children = m_windows.children(parent);
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (searchBelow(children[i], titleFragment, classFragment, found))
            return true;
        if (matches(children[i], titleFragment, classFragment)) {
            found = {children, i};
            return true;
        }
    }
    return false;
}

bool TGMWindow::findFirstDescendant(WindowHandle parent, const QString& titleFragment,
                                    const QString& classFragment, Found& found)
{
    if (parent == 0) {
        parent = FindTopWindow(titleFragment, classFragment);
        if (parent == 0)
            return false;
    }
    return searchBelow(parent, titleFragment, classFragment, found);
}

WindowHandle TGMWindow::FindChildWindow(WindowHandle parent, const QString& titleFragment,
                                        const QString& classFragment)
{
    Found found;
    if (!findFirstDescendant(parent, titleFragment, classFragment, found))
        return 0;
    return found.siblings[found.index];
}

arhandle TGMWindow::FindChildren(WindowHandle parent, const QString& titleFragment,
                                 const QString& classFragment)
{
    arhandle result;
    Found found;
    if (findFirstDescendant(parent, titleFragment, classFragment, found)) {
        // Walk on from the first match through its own siblings.
        for (std::size_t i = found.index; i < found.siblings.size(); ++i) {
            const WindowHandle h = found.siblings[i];
            if (m_windows.parent(h) == parent && matches(h, titleFragment, classFragment))
                result.push_back(h);
        }
    }
    if (result.empty())
        result.push_back(0);
    std::lock_guard lock(m_mutex);
    m_lastHandles = result;
    return result;
}

WindowHandle TGMWindow::FindTopWindow(const QString& title, const QString& className)
{
    const std::vector<WindowHandle> top = m_windows.topLevelWindows();
    auto first = [&](auto&& accept) -> WindowHandle {
        auto it = std::find_if(top.begin(), top.end(), accept);
        return it == top.end() ? 0 : *it;
    };
    auto byTitle = [&](WindowHandle h) { return m_windows.title(h) == title; };
    auto byClass = [&](WindowHandle h) { return m_windows.className(h) == className; };
    if (className.isEmpty())
        return first(byTitle);
    if (title.isEmpty())
        return first(byClass);
    if (WindowHandle h = first([&](WindowHandle h) { return byClass(h) && byTitle(h); }))
        return h;
    if (WindowHandle h = first(byTitle))
        return h;
    return first(byClass);
}

void TGMWindow::appendTitled(arWndType& list, bool skipListed)
{
    const std::vector<WindowHandle> top = m_windows.topLevelWindows();
    const std::vector<platform::WindowTexts> texts = m_windows.texts(top, true, true);
    for (std::size_t i = 0; i < top.size(); ++i) {
        const WindowHandle h = top[i];
        const QString title = cutToBytes(texts[i].title, kListTextBytes);
        if (title.isEmpty() || m_windows.parent(h) != 0)
            continue;
        if (skipListed && std::any_of(list.begin(), list.end(),
                                      [h](const WndType& w) { return w.handle == h; }))
            continue;
        list.push_back({title, cutToBytes(texts[i].className, kListTextBytes), h});
    }
}

void TGMWindow::RefreshWindowList()
{
    arWndType list;
    // An enumeration, then a z-order walk that adds what it missed.
    appendTitled(list, false);
    appendTitled(list, true);
    std::lock_guard lock(m_mutex);
    m_windowList = std::move(list);
}

arWndType TGMWindow::FilterWindows(const QString& fragment, bool refresh)
{
    if (refresh)
        RefreshWindowList();
    std::lock_guard lock(m_mutex);
    arWndType result;
    if (!fragment.isEmpty())
        for (const WndType& w : m_windowList)
            if (w.title.contains(fragment, Qt::CaseSensitive))
                result.push_back(w);
    m_filteredList = result;
    return result;
}

bool TGMWindow::ActivateWindow(WindowHandle window)
{
    return m_windows.activate(window);
}

QString windowTextCut(QString text)
{
    // Counted in UTF-8 bytes a Chinese title would lose two thirds of its length.
    if (text.size() > kWindowTextChars) {
        const bool splitsPair = text.at(kWindowTextChars - 1).isHighSurrogate();
        text.truncate(kWindowTextChars - (splitsPair ? 1 : 0));
    }
    return text;
}

QString untilNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

QString TGMWindow::WindowText(WindowHandle window)
{
    return windowTextCut(m_windows.title(window));
}

bool TGMWindow::SetWindowText(WindowHandle window, const QString& text)
{
    return m_windows.setTitle(window, untilNul(text));
}

bool TGMWindow::ClickWindow(WindowHandle window)
{
    return m_windows.click(window);
}

QString TGMWindow::classname() const
{
    std::lock_guard lock(m_mutex);
    return m_classname;
}

void TGMWindow::setClassname(const QString& value)
{
    const WindowHandle handle = FindTopWindow(QString(), value);
    {
        std::lock_guard lock(m_mutex);
        m_classname = value;
        m_handle = handle;
    }
    UpdateGeometry();
}

void TGMWindow::UpdateGeometry()
{
    std::lock_guard lock(m_mutex);
    // A missing window leaves the old rectangle and measures from 0, 0.
    if (m_handle != 0)
        if (auto rect = m_windows.frameRect(m_handle))
            m_windowRect = *rect;
    platform::Point origin;
    if (m_handle != 0)
        if (auto p = m_windows.clientOrigin(m_handle))
            origin = *p;
    m_hBorder = origin.x - m_windowRect.left;
    m_vBorder = 0;
    m_titleHeight = origin.y - m_windowRect.top;
    m_clientRect = {m_windowRect.left + m_hBorder, m_windowRect.top + m_titleHeight + m_vBorder,
                    m_windowRect.right - m_hBorder, m_windowRect.bottom - m_vBorder};
}

int TGMWindow::TitleHeight() const
{
    std::lock_guard lock(m_mutex);
    return m_titleHeight;
}

void TGMWindow::setTitleHeight(int value)
{
    std::lock_guard lock(m_mutex);
    m_titleHeight = value;
}

int TGMWindow::HBorder() const
{
    std::lock_guard lock(m_mutex);
    return m_hBorder;
}

void TGMWindow::setHBorder(int value)
{
    std::lock_guard lock(m_mutex);
    m_hBorder = value;
}

int TGMWindow::VBorder() const
{
    std::lock_guard lock(m_mutex);
    return m_vBorder;
}

void TGMWindow::setVBorder(int value)
{
    std::lock_guard lock(m_mutex);
    m_vBorder = value;
}

platform::Rect TGMWindow::ClientRect() const
{
    std::lock_guard lock(m_mutex);
    return m_clientRect;
}

platform::Rect TGMWindow::WindowRect() const
{
    std::lock_guard lock(m_mutex);
    return m_windowRect;
}

WindowHandle TGMWindow::Handle() const
{
    std::lock_guard lock(m_mutex);
    return m_handle;
}

arWndType TGMWindow::WindowList() const
{
    std::lock_guard lock(m_mutex);
    return m_windowList;
}

arWndType TGMWindow::FilteredList() const
{
    std::lock_guard lock(m_mutex);
    return m_filteredList;
}

arhandle TGMWindow::LastHandles() const
{
    std::lock_guard lock(m_mutex);
    return m_lastHandles;
}

}  // namespace quillon::input
