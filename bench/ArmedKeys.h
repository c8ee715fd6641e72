// The keys a full trigger table arms in the benchmarks: 98 distinct codes
// of the key-name table, each under its first name, without the mouse
// buttons (no keys to grab) and without any code in `except`.
#pragma once

#include "input/ZenKeybd.h"

#include <QString>

#include <algorithm>
#include <utility>
#include <vector>

namespace quillon::bench {

inline std::vector<std::pair<int, QString>> armedKeys(const std::vector<int>& except = {})
{
    std::vector<std::pair<int, QString>> keys;
    const input::TZenKeybd table;
    for (const auto& key : table.Keys()) {
        if (keys.size() == 98)
            break;
        const bool taken = std::any_of(keys.begin(), keys.end(), [&](const auto& k) { return k.first == key.code; });
        const bool excepted = std::find(except.begin(), except.end(), key.code) != except.end();
        if (!taken && !excepted && key.code > 4)
            keys.emplace_back(key.code, table.CodeToName(key.code));
    }
    return keys;
}

}  // namespace quillon::bench
