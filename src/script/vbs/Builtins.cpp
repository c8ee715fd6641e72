#include "script/vbs/Builtins.h"

namespace quillon::vbs {

namespace {

std::u16string lowerKey(QStringView name)
{
    QString lower = name.toString().toLower();
    return std::u16string(reinterpret_cast<const char16_t*>(lower.utf16()), static_cast<size_t>(lower.size()));
}

}  // namespace

void BuiltinTable::add(BuiltinEntry entry)
{
    std::u16string key = lowerKey(entry.name);
    auto it = m_index.find(key);
    if (it != m_index.end()) {
        m_entries[static_cast<size_t>(it->second)] = std::move(entry);
        return;
    }
    m_index.emplace(std::move(key), static_cast<int>(m_entries.size()));
    m_entries.push_back(std::move(entry));
}

int BuiltinTable::indexOf(QStringView name) const
{
    auto it = m_index.find(lowerKey(name));
    return it == m_index.end() ? -1 : it->second;
}

const BuiltinEntry* BuiltinTable::find(QStringView name) const
{
    int i = indexOf(name);
    return i < 0 ? nullptr : &m_entries[static_cast<size_t>(i)];
}

const BuiltinTable& BuiltinTable::standard()
{
    static const BuiltinTable table = [] {
        BuiltinTable t;
        registerCoreBuiltins(t);
        registerStringBuiltins(t);
        registerByteBuiltins(t);
        registerMathBuiltins(t);
        registerDateBuiltins(t);
        registerFormatBuiltins(t);
        return t;
    }();
    return table;
}

}  // namespace quillon::vbs
