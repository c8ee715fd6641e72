#include "script/RoutineMatcher.h"

#include "base/Text.h"

#include <deque>

namespace quillon::script {

namespace {

std::uint64_t edgeKey(int node, char16_t c)
{
    return (std::uint64_t(node) << 16) | c;
}

}  // namespace

int RoutineMatcher::child(int node, char16_t c) const
{
    const auto it = m_edges.find(edgeKey(node, c));
    return it == m_edges.end() ? -1 : it->second;
}

void RoutineMatcher::build(const QStringList& names)
{
    m_nodes.assign(1, Node{});
    m_edges.clear();
    m_lengths.clear();
    for (int i = 0; i < int(names.size()); ++i) {
        const QString& name = names[i];
        m_lengths.push_back(int(name.size()));
        if (name.isEmpty())
            continue;
        int node = 0;
        for (QChar ch : name) {
            int next = child(node, ch.unicode());
            if (next < 0) {
                next = int(m_nodes.size());
                m_nodes.push_back(Node{});
                m_edges.emplace(edgeKey(node, ch.unicode()), next);
            }
            node = next;
        }
        m_nodes[size_t(node)].output = i;
    }
    // Fail links breadth first: the longest proper suffix that is a prefix.
    std::vector<std::vector<std::pair<char16_t, int>>> children(m_nodes.size());
    for (const auto& [key, node] : m_edges)
        children[size_t(key >> 16)].emplace_back(char16_t(key & 0xFFFF), node);
    std::deque<int> queue;
    for (const auto& [c, node] : children[0])
        queue.push_back(node);
    while (!queue.empty()) {
        const int node = queue.front();
        queue.pop_front();
        for (const auto& [c, next] : children[size_t(node)]) {
            int f = m_nodes[size_t(node)].fail;
            while (f != 0 && child(f, c) < 0)
                f = m_nodes[size_t(f)].fail;
            const int target = child(f, c);
            m_nodes[size_t(next)].fail = target >= 0 && target != next ? target : 0;
            const Node& failNode = m_nodes[size_t(m_nodes[size_t(next)].fail)];
            m_nodes[size_t(next)].nextOutput = failNode.output >= 0 ? m_nodes[size_t(next)].fail : failNode.nextOutput;
            queue.push_back(next);
        }
    }
}

bool RoutineMatcher::isCall(QStringView w, Scratch& scratch) const
{
    if (m_nodes.size() <= 1)
        return false;
    if (scratch.seen.size() != m_lengths.size() || ++scratch.line == 0) {
        scratch.seen.assign(m_lengths.size(), 0);
        scratch.line = 1;
    }
    const bool declares = w.contains(QLatin1String("sub ")) || w.contains(QLatin1String("function "));
    int node = 0;
    for (qsizetype i = 0; i < w.size(); ++i) {
        const char16_t c = w[i].unicode();
        int next;
        while ((next = child(node, c)) < 0 && node != 0)
            node = m_nodes[size_t(node)].fail;
        node = next < 0 ? 0 : next;
        for (int out = m_nodes[size_t(node)].output >= 0 ? node : m_nodes[size_t(node)].nextOutput; out > 0;
             out = m_nodes[size_t(out)].nextOutput) {
            const int name = m_nodes[size_t(out)].output;
            if (scratch.seen[size_t(name)] == scratch.line)
                continue;  // only a name's first occurrence counts
            scratch.seen[size_t(name)] = scratch.line;
            const qsizetype end = i + 1;
            const qsizetype p = end - m_lengths[size_t(name)];
            const bool startOk = p == 0 || (!base::isAsciiWordChar(w[p - 1]) && !declares);
            const bool endOk = end == w.size() || w[end] == QLatin1Char(' ') || w[end] == QLatin1Char('(');
            if (startOk && endOk)
                return true;
        }
    }
    return false;
}

}  // namespace quillon::script
