// TZenKeybd: the key-name table, the fixed vocabulary in which the whole
// program names keys (trigger table, stop key, hot keys, script key
// commands), and keystroke synthesis for the script commands key, kdown and
// kup. The table is built once from a built-in text and never changes, so
// lookups need no lock; the pressed flags belong to whoever walks the table.
#pragma once

#include "platform/Desktop.h"
#include "platform/UnavailableDesktop.h"

#include <QString>

#include <vector>

namespace quillon::input {

struct keymap {
    QString name;        // exactly as written in the table, case kept
    int code = 0;        // Windows virtual-key code
    bool pressed = false;
};

using TArKeyMap = std::vector<keymap>;

class TZenKeybd {
public:
    // Without a keyboard the table is there for lookups and the key
    // operations fail with the no-display error.
    explicit TZenKeybd(platform::Keyboard& keyboard = platform::noDesktop().keyboard());

    // The built-in table text: one "NAME = $CODE;" line per entry, the lines
    // separated by a single carriage return.
    static QString keyMapText();
    // Parses a table text; lines end at CR, LF or CR LF. A line without "="
    // or with a code that is not a number is skipped.
    static TArKeyMap LoadKeyMap(const QString& text);

    // Code of the first entry named exactly `name` (case-sensitive); 0 if none.
    int KeyToCode(const QString& name) const;
    // Name of the first entry with `code` ("A" for 0x41); empty if none.
    QString CodeToName(int code) const;
    // The code the key operations use for `name`: names of two or more
    // characters are upper-cased (ASCII only) before the exact lookup, so
    // enter and Enter mean ENTER. The three mixed-case names (Select,
    // Insert, Delete) are found in any letter case as well. 0 if none.
    int ResolveName(const QString& name) const;

    // Press / release of the named key; an unknown name sends virtual key 0.
    // Only the arrow keys carry the extended-key flag. Fails when the
    // desktop cannot be reached.
    platform::Result KeyDown(const QString& name);
    platform::Result KeyUp(const QString& name);
    // KeyDown, a 20 ms message-pumping pause, KeyUp (not sent when the press
    // failed).
    platform::Result KeyPress(const QString& name);

    // The message-pumping delay (base::pumpingDelay).
    static void MsgDelay(int milliseconds);

    const TArKeyMap& Keys() const { return m_keys; }
    // The trigger input component keeps its pressed flags in its own copy.
    TArKeyMap& Keys() { return m_keys; }

private:
    platform::Result sendKey(const QString& name, bool up);

    TArKeyMap m_keys;
    platform::Keyboard& m_keyboard;
};

}  // namespace quillon::input
