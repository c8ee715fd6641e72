// A desktop that is not there: every action fails with the reason given at
// construction and every query finds nothing, so the components above the
// seam need no "is there a desktop" checks of their own. Stateless, so one
// instance may serve any number of threads.
#pragma once

#include "platform/Desktop.h"

namespace quillon::platform {

class UnavailableDesktop final : public Desktop, Keyboard, Mouse, Windows, HotKeys, KeyEvents, Shell {
public:
    explicit UnavailableDesktop(QString reason = QString::fromLatin1(kNoDisplayError));

    const QString& reason() const { return m_reason; }

    Keyboard& keyboard() override { return *this; }
    Mouse& mouse() override { return *this; }
    Windows& windows() override { return *this; }
    HotKeys& hotKeys() override { return *this; }
    KeyEvents& keyEvents() override { return *this; }
    Shell& shell() override { return *this; }

    bool readKeyState(KeyState& state) override;
    Result sendKey(int vk, int scan, int flags) override;
    int scanCode(int vk) override;

    Result sendButtons(int flags) override;
    std::optional<Point> cursorPos() override;

    Result status() override;
    std::vector<WindowHandle> topLevelWindows() override;
    std::vector<WindowHandle> children(WindowHandle window) override;
    WindowHandle parent(WindowHandle window) override;
    QString title(WindowHandle window) override;
    QString className(WindowHandle window) override;
    bool setTitle(WindowHandle window, const QString& text) override;
    bool click(WindowHandle window) override;
    bool activate(WindowHandle window) override;
    std::optional<Rect> frameRect(WindowHandle window) override;
    std::optional<Point> clientOrigin(WindowHandle window) override;

    void setCallback(Callback callback) override;
    Result grab(int id, int modifiers, int vk) override;
    void ungrab(int id) override;

    std::unique_ptr<KeyWatch> watch(Wake wake) override;

    bool open(const QString& path, const QString& workingDirectory) override;

private:
    const QString m_reason;
};

// A shared instance with the no-display reason, for components built
// without a desktop (a key-name table that is only looked up, for example).
UnavailableDesktop& noDesktop();

}  // namespace quillon::platform
