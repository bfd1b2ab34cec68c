// Keyword automaton over package names: a trie with fall-back links, walked once per text.
#include "pages/storeapps/NameSearch.h"

namespace {

// wchar_t is one UTF-16 unit here: the root's table covers every value.
const size_t kUnits = 0x10000;

size_t Unit(wchar_t c)
{
    return static_cast<size_t>(static_cast<uint16_t>(c));
}

} // namespace

TNameSearch::TNameSearch(const std::vector<const std::wstring*>& names) : m_rootChild(kUnits, 0)
{
    m_first.push_back(0);
    m_next.push_back(0);
    m_char.push_back(0);
    for (const std::wstring* name : names)
    {
        uint32_t node = 0;
        for (wchar_t c : *name)
        {
            uint32_t child = Child(node, c);
            node = child != 0 ? child : AddChild(node, c);
        }
        m_nameNode.push_back(node);
    }
    const size_t count = m_first.size();
    m_fail.assign(count, 0);
    m_output.assign(count, kNone);
    m_end.assign(count, 0);
    m_many.assign(count, 0);
    m_source.assign(count, kNone);
    for (uint32_t node : m_nameNode)
        if (node != 0)
            m_end[node] = 1;

    // Breadth first, so that every node's fall-back (the longest proper suffix of its path that
    // is also a path) is known before its children need it.
    std::vector<uint32_t> queue;
    queue.reserve(count);
    queue.push_back(0);
    for (size_t head = 0; head < queue.size(); ++head)
    {
        const uint32_t node = queue[head];
        for (uint32_t child = m_first[node]; child != 0; child = m_next[child])
        {
            uint32_t fail = 0;
            if (node != 0)
            {
                uint32_t back = m_fail[node];
                fail = Child(back, m_char[child]);
                while (fail == 0 && back != 0)
                {
                    back = m_fail[back];
                    fail = Child(back, m_char[child]);
                }
            }
            m_fail[child] = fail;
            // The nearest name that ends inside this path's suffixes.
            m_output[child] = m_end[fail] ? fail : m_output[fail];
            queue.push_back(child);
        }
    }
}

uint32_t TNameSearch::Child(uint32_t node, wchar_t c) const
{
    if (node == 0)
        return m_rootChild[Unit(c)];
    for (uint32_t child = m_first[node]; child != 0; child = m_next[child])
        if (m_char[child] == c)
            return child;
    return 0;
}

uint32_t TNameSearch::AddChild(uint32_t node, wchar_t c)
{
    const uint32_t child = static_cast<uint32_t>(m_first.size());
    m_first.push_back(0);
    m_next.push_back(m_first[node]);
    m_char.push_back(c);
    m_first[node] = child;
    if (node == 0)
        m_rootChild[Unit(c)] = child;
    return child;
}

void TNameSearch::Record(uint32_t node, uint32_t source)
{
    if (m_source[node] == kNone)
        m_source[node] = source;
    else if (m_source[node] != source)
        m_many[node] = 1;
}

void TNameSearch::Scan(const std::wstring& text, uint32_t source)
{
    uint32_t state = 0;
    for (wchar_t c : text)
    {
        uint32_t next = Child(state, c);
        while (next == 0 && state != 0)
        {
            state = m_fail[state];
            next = Child(state, c);
        }
        state = next;
        // Every name ending here. A node that already knows this source, or two sources, has
        // passed that on along its whole chain before: the walk stops there, which keeps the
        // total walking linear.
        for (uint32_t hit = m_end[state] ? state : m_output[state]; hit != kNone; hit = m_output[hit])
        {
            if (m_many[hit] || m_source[hit] == source)
                break;
            Record(hit, source);
        }
    }
}

bool TNameSearch::FoundOutside(size_t index, uint32_t source) const
{
    const uint32_t node = m_nameNode[index];
    if (node == 0)
        return false;
    if (m_many[node])
        return true;
    return m_source[node] != kNone && m_source[node] != source;
}
