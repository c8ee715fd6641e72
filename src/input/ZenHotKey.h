// TZenHotKey: system-wide hot keys registered by name for the window that
// owns it. Each registration is listed with its combination (modifiers and
// virtual-key code), its name and an id that is the same for the same name
// (the global atom of the name, less 0xC000). While a combination is
// registered the desktop takes it from the focused application; a press is
// reported on the GUI thread to every registration of that combination, in
// list order. A registration the desktop refuses (another program holds the
// key) stays listed, and OnGrabRefused says so.
#pragma once

#include "input/HotKeyRegistry.h"
#include "platform/Desktop.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace quillon::input {

class TZenHotKey : public QObject, public HotKeyRegistry {
    Q_OBJECT
public:
    struct Registration {
        int modifiers = 0;
        int code = 0;
        int id = 0;
        QString name;
        std::function<void()> handler;  // THotEvent; called when OnHotKeyDown is not assigned
    };

    // Lives on the thread that creates it (the GUI thread); `owner` is the
    // window the hot keys are for.
    explicit TZenHotKey(platform::HotKeys& hotKeys, QObject* owner = nullptr);
    // Releases every grab; presses still on their way are dropped.
    ~TZenHotKey() override;

    void Add(int modifiers, int code, const QString& name) override;
    void Remove(const QString& name) override;

    const std::vector<Registration>& Registrations() const { return m_registrations; }

    // The id every registration of `name` gets: the number of the name in the
    // process's atom table (names compared without regard to letter case),
    // from 0 up to 0x3FFF; -1 once the table is full.
    static int AtomId(const QString& name);

    std::function<void(const QString& aname, int aid)> OnHotKeyDown;
    // A grab the desktop refused: the registration's name, its code, and why.
    std::function<void(const QString& name, int code, const QString& reason)> OnGrabRefused;

private:
    struct Grab {
        int modifiers = 0;
        int code = 0;
        int platformId = 0;
        bool held = false;
    };
    class Relay;

    void grabFor(const Registration& registration);
    void pressed(int platformId);

    platform::HotKeys& m_hotKeys;
    std::vector<Registration> m_registrations;
    std::vector<Grab> m_grabs;  // one per distinct combination in use
    int m_nextPlatformId = 1;
    std::shared_ptr<Relay> m_relay;
};

}  // namespace quillon::input
