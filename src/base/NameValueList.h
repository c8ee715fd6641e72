// An ordered list of name=value pairs whose names are looked up without
// regard to letter case, the first matching entry winning. The main window
// keeps its enabled-key list (key name to "true"/"false") and its repeat
// counters this way; both are touched on the GUI thread only.
#pragma once

#include <QString>

#include <utility>
#include <vector>

namespace quillon::base {

class NameValueList {
public:
    // The value of the first entry named `name` (any letter case); empty
    // when there is none.
    QString value(const QString& name) const
    {
        const int i = indexOf(name);
        return i < 0 ? QString() : m_entries[std::size_t(i)].second;
    }

    // Replaces the value of the first entry named `name`, or appends an
    // entry with the name as given.
    void setValue(const QString& name, const QString& value)
    {
        const int i = indexOf(name);
        if (i < 0)
            m_entries.emplace_back(name, value);
        else
            m_entries[std::size_t(i)].second = value;
    }

    // Index of the first entry named `name` (any letter case), or -1.
    int indexOf(const QString& name) const
    {
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i].first.compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        }
        return -1;
    }

    int size() const { return int(m_entries.size()); }
    const QString& nameAt(int i) const { return m_entries[std::size_t(i)].first; }
    const QString& valueAt(int i) const { return m_entries[std::size_t(i)].second; }
    void clear() { m_entries.clear(); }

private:
    std::vector<std::pair<QString, QString>> m_entries;
};

}  // namespace quillon::base
