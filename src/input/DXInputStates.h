// The 36 abstract input states that the devices of TDXInput report: four
// directions and 32 buttons, each one bit of a set. A set is stored as five
// bytes, bit n of the whole being state n.
#pragma once

#include <QByteArray>

#include <bitset>

namespace quillon::input {

enum TDXInputState {
    StateUp,
    StateDown,
    StateLeft,
    StateRight,
    StateButton1,
    // StateButton2 ... StateButton32 follow StateButton1 in order.
    StateButton32 = StateButton1 + 31,
};

inline constexpr int kInputStateCount = 36;

// The state of button n, counted from 1 (StateButton1 ... StateButton32).
constexpr TDXInputState stateButton(int n)
{
    return TDXInputState(StateButton1 + n - 1);
}

using TDXInputStates = std::bitset<kInputStateCount>;

// The five-byte stored form of a state set.
inline QByteArray statesToBytes(const TDXInputStates& states)
{
    QByteArray bytes(5, '\0');
    for (int i = 0; i < kInputStateCount; ++i)
        if (states[std::size_t(i)])
            bytes[i / 8] = char(bytes[i / 8] | (1 << (i % 8)));
    return bytes;
}

}  // namespace quillon::input
