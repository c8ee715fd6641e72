// The vocabulary between script lines and the program: the query words of
// getsys, the command words of setsys, the button words of "mouse", and the
// macro table that turns the short forms users write (findhandle, key,
// mouse ...) into those calls. The bridge answers the words; the template
// engine carries the macros.
#pragma once

#include <QLatin1StringView>
#include <QStringList>

namespace quillon::app::words {

// Queries (getsys), matched exactly and case-sensitively.
inline constexpr QLatin1StringView kFindHandle("findhandle");
inline constexpr QLatin1StringView kFindChild("findchild");
inline constexpr QLatin1StringView kGetHText("gethtxt");
inline constexpr QLatin1StringView kTest("test");

// Commands (setsys).
inline constexpr QLatin1StringView kKey("key");
inline constexpr QLatin1StringView kKeyDown("kdown");
inline constexpr QLatin1StringView kKeyUp("kup");
inline constexpr QLatin1StringView kMouse("mouse");
inline constexpr QLatin1StringView kSetHText("sethtxt");
inline constexpr QLatin1StringView kSetHClick("sethclick");

// The button words of "mouse", in the order they are compared.
inline constexpr QLatin1StringView kLeftClick("lclick");
inline constexpr QLatin1StringView kRightClick("rclick");
inline constexpr QLatin1StringView kLeftDown("ldown");
inline constexpr QLatin1StringView kLeftUp("lup");
inline constexpr QLatin1StringView kRightDown("rdown");
inline constexpr QLatin1StringView kRightUp("rup");

// The macro entries of the program's template engine, in order: each is a
// key, one blank, ";" and the text the key is rewritten to. "findwindow"
// has a macro but no word in the bridge: its query comes back unanswered.
inline QStringList programDefineOrders()
{
    return {
        QStringLiteral("findhandle ;getsys(findhandle,"),
        QStringLiteral("findwindow ;getsys(findwindow,"),
        QStringLiteral("findchild ;getsys(findchild,"),
        QStringLiteral("test ;getsys(test,"),
        QStringLiteral("gethtxt ;getsys(gethtxt,"),
        QStringLiteral("sethtxt ;setsys(sethtxt,"),
        QStringLiteral("sethclick ;setsys(sethclick,"),
        QStringLiteral("key ;setsys(key,"),
        QStringLiteral("kdown ;setsys(kdown,"),
        QStringLiteral("kup ;setsys(kup,"),
        QStringLiteral("mouse ;setsys(mouse,"),
    };
}

}  // namespace quillon::app::words
