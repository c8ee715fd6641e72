#include "input/ZenKeybd.h"

#include "base/Text.h"
#include "base/ZeMath.h"

#include <QRegularExpression>

namespace quillon::input {
namespace {

constexpr int kPressPauseMs = 20;

// The table text: "=" separates name and code, which is why the equals key
// is named EQ.
const char* const kKeyMapText =
    "LBUTTON = $1;\r"
    "RBUTTON = $2;\r"
    "CANCEL = $3;\r"
    "MBUTTON = $4;\r"
    "BACK = $8;\r"
    "TAB = $9;\r"
    "CLEAR = $C;\r"
    "ENTER = $D;\r"
    "SHIFT = $10;\r"
    "CTRL = $11;\r"
    "ALT = $12;\r"
    "L_SHIFT = $A0;\r"
    "R_SHIFT = $A1;\r"
    "L_CTRL = $A2;\r"
    "R_CTRL = $A3;\r"
    "L_ALT = $A4;\r"
    "R_ALT = $A5;\r"
    "PAUSE = $13;\r"
    "CAPS = $14;\r"
    "ESC = $1B;\r"
    "SPACE = $20;\r"
    "PRIOR = $21;\r"
    "NEXT = $22;\r"
    "END = $23;\r"
    "HOME = $24;\r"
    "LEFT = $25;\r"
    "UP = $26;\r"
    "RIGHT = $27;\r"
    "DOWN = $28;\r"
    "Select = $29;\r"
    "PRINT = $2A;\r"
    "EXECUTE = $2B;\r"
    "SNAPSHOT = $2C;\r"
    "Insert = $2D;\r"
    "Delete = $2E;\r"
    "HELP = $2F;\r"
    "0 = $30;\r"
    "1 = $31;\r"
    "2 = $32;\r"
    "3 = $33;\r"
    "4 = $34;\r"
    "5 = $35;\r"
    "6 = $36;\r"
    "7 = $37;\r"
    "8 = $38;\r"
    "9 = $39;\r"
    "A = $41;\r"
    "B = $42;\r"
    "C = $43;\r"
    "D = $44;\r"
    "E = $45;\r"
    "F = $46;\r"
    "G = $47;\r"
    "H = $48;\r"
    "I = $49;\r"
    "J = $4A;\r"
    "K = $4B;\r"
    "L = $4C;\r"
    "M = $4D;\r"
    "N = $4E;\r"
    "O = $4F;\r"
    "P = $50;\r"
    "Q = $51;\r"
    "R = $52;\r"
    "S = $53;\r"
    "T = $54;\r"
    "U = $55;\r"
    "V = $56;\r"
    "W = $57;\r"
    "X = $58;\r"
    "Y = $59;\r"
    "Z = $5A;\r"
    "a = $41;\r"
    "b = $42;\r"
    "c = $43;\r"
    "d = $44;\r"
    "e = $45;\r"
    "f = $46;\r"
    "g = $47;\r"
    "h = $48;\r"
    "i = $49;\r"
    "j = $4A;\r"
    "k = $4B;\r"
    "l = $4C;\r"
    "m = $4D;\r"
    "n = $4E;\r"
    "o = $4F;\r"
    "p = $50;\r"
    "q = $51;\r"
    "r = $52;\r"
    "s = $53;\r"
    "t = $54;\r"
    "u = $55;\r"
    "v = $56;\r"
    "w = $57;\r"
    "x = $58;\r"
    "y = $59;\r"
    "z = $5A;\r"
    "STARTKEY = $5B;\r"
    "CONTEXTKEY = $5D;\r"
    "NUMPAD0 = $60;\r"
    "NUMPAD1 = $61;\r"
    "NUMPAD2 = $62;\r"
    "NUMPAD3 = $63;\r"
    "NUMPAD4 = $64;\r"
    "NUMPAD5 = $65;\r"
    "NUMPAD6 = $66;\r"
    "NUMPAD7 = $67;\r"
    "NUMPAD8 = $68;\r"
    "NUMPAD9 = $69;\r"
    "MULTIPLY = $6A;\r"
    "ADD = $6B;\r"
    "SEPARATOR = $6C;\r"
    "SUBTRACT = $6D;\r"
    "DECIMAL = $6E;\r"
    "DIVIDE = $6F;\r"
    "F1 = $70;\r"
    "F2 = $71;\r"
    "F3 = $72;\r"
    "F4 = $73;\r"
    "F5 = $74;\r"
    "F6 = $75;\r"
    "F7 = $76;\r"
    "F8 = $77;\r"
    "F9 = $78;\r"
    "F10 = $79;\r"
    "F11 = $7A;\r"
    "F12 = $7B;\r"
    "F13 = $7C;\r"
    "F14 = $7D;\r"
    "F15 = $7E;\r"
    "F16 = $7F;\r"
    "F17 = $80;\r"
    "F18 = $81;\r"
    "F19 = $82;\r"
    "F20 = $83;\r"
    "F21 = $84;\r"
    "F22 = $85;\r"
    "F23 = $86;\r"
    "F24 = $87;\r"
    "NUMLOCK = $90;\r"
    "OEM_SCROLL = $91;\r"
    "; = $BA;\r"
    "EQ = $BB;\r"
    ", = $BC;\r"
    "- = $BD;\r"
    ". = $BE;\r"
    "/ = $BF;\r"
    "` = $C0;\r"
    "[ = $DB;\r"
    "\\ = $DC;\r"
    "] = $DD;\r"
    "' = $DE;\r"
    "OEM_8 = $DF;\r"
    "ICO_F17 = $E0;\r"
    "ICO_F18 = $E1;\r"
    "OEM102 = $E2;\r"
    "ICO_HELP = $E3;\r"
    "ICO_00 = $E4;\r"
    "ICO_CLEAR = $E6;\r"
    "OEM_RESET = $E9;\r"
    "OEM_JUMP = $EA;\r"
    "OEM_PA1 = $EB;\r"
    "OEM_PA2 = $EC;\r"
    "OEM_PA3 = $ED;\r"
    "OEM_WSCTRL = $EE;\r"
    "OEM_CUSEL = $EF;\r"
    "OEM_ATTN = $F0;\r"
    "OEM_FINNISH = $F1;\r"
    "OEM_COPY = $F2;\r"
    "OEM_AUTO = $F3;\r"
    "OEM_ENLW = $F4;\r"
    "OEM_BACKTAB = $F5;\r"
    "ATTN = $F6;\r"
    "CRSEL = $F7;\r"
    "EXSEL = $F8;\r"
    "EREOF = $F9;\r"
    "PLAY = $FA;\r"
    "ZOOM = $FB;\r"
    "NONAME = $FC;\r"
    "PA1 = $FD;\r"
    "OEM_CLEAR = $FE;";

bool isArrow(int code)
{
    return code >= 0x25 && code <= 0x28;
}

bool parseCode(const QString& value, int& code)
{
    bool ok = false;
    code = value.startsWith(QLatin1Char('$')) ? value.mid(1).toInt(&ok, 16) : value.toInt(&ok, 10);
    return ok;
}

}  // namespace

TZenKeybd::TZenKeybd(platform::Keyboard& keyboard)
    : m_keys(LoadKeyMap(keyMapText())), m_keyboard(keyboard)
{
}

QString TZenKeybd::keyMapText()
{
    return QString::fromLatin1(kKeyMapText);
}

TArKeyMap TZenKeybd::LoadKeyMap(const QString& text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    TArKeyMap keys;
    for (const QString& line : text.split(lineEnd)) {
        const int p = line.indexOf(QLatin1Char('='));
        if (p < 0)
            continue;
        keymap entry;
        entry.name = base::trimControl(line.left(p));
        // The value runs to the line's last character, the closing ";".
        const QString value = base::trimControl(line.mid(p + 1, line.size() - p - 2));
        if (!parseCode(value, entry.code))
            continue;
        keys.push_back(entry);
    }
    return keys;
}

int TZenKeybd::KeyToCode(const QString& name) const
{
    for (const keymap& key : m_keys)
        if (key.name == name)
            return key.code;
    return 0;
}

QString TZenKeybd::CodeToName(int code) const
{
    for (const keymap& key : m_keys)
        if (key.code == code)
            return key.name;
    return QString();
}

int TZenKeybd::ResolveName(const QString& name) const
{
    if (name.size() < 2)
        return KeyToCode(name);
    const QString upper = base::asciiUpper(name);
    if (const int code = KeyToCode(upper))
        return code;
    // Without this, upper-casing would make Select, Insert and Delete
    // unreachable from scripts: their table names are mixed case.
    for (const keymap& key : m_keys)
        if (base::asciiUpper(key.name) == upper)
            return key.code;
    return 0;
}

platform::Result TZenKeybd::sendKey(const QString& name, bool up)
{
    const int code = ResolveName(name);
    int flags = isArrow(code) ? platform::kKeyExtended : 0;
    if (up)
        flags |= platform::kKeyUp;
    return m_keyboard.sendKey(code, m_keyboard.scanCode(code), flags);
}

platform::Result TZenKeybd::KeyDown(const QString& name)
{
    return sendKey(name, false);
}

platform::Result TZenKeybd::KeyUp(const QString& name)
{
    return sendKey(name, true);
}

platform::Result TZenKeybd::KeyPress(const QString& name)
{
    if (platform::Result down = KeyDown(name); !down)
        return down;
    MsgDelay(kPressPauseMs);
    return KeyUp(name);
}

void TZenKeybd::MsgDelay(int milliseconds)
{
    base::pumpingDelay(milliseconds);
}

}  // namespace quillon::input
