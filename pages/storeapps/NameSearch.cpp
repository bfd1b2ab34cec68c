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
    // At most one node per character, plus the root: reserved at once, not grown by copies.
    size_t most = 1;
    for (const std::wstring* name : names)
        most += name->size();
    m_nodes.reserve(most);
    m_parent.reserve(most);
    m_nameNode.reserve(names.size());
    m_nodes.push_back(TNode{0, 0, 0, 0, NODE_LINKED});
    m_parent.push_back(0);
    for (const std::wstring* name : names)
    {
        uint32_t node = 0;
        for (wchar_t c : *name)
        {
            uint32_t child = Child(node, c);
            node = child != 0 ? child : AddChild(node, c);
        }
        if (node != 0)
            m_nodes[node].flags |= NODE_END;
        m_nameNode.push_back(node);
    }

    // Linked in the order the nodes were made, which is mostly the order they lie in memory: a
    // node needs only nodes nearer the root, and those not linked yet are linked first.
    m_output.assign(m_nodes.size(), kNone);
    m_source.assign(m_nodes.size(), kNone);
    std::vector<uint32_t> pending;
    for (uint32_t node = 1; node < m_nodes.size(); ++node)
        if (!(m_nodes[node].flags & NODE_LINKED))
            Link(node, pending);
}

void TNameSearch::Link(uint32_t start, std::vector<uint32_t>& pending)
{
    // A node is linked once its parent and its fall-back are: then its fall-back's output is
    // known too. Every node so needed lies nearer the root, so this ends; and as a linked node's
    // fall-back is linked, so is every node along the parent's fall-backs.
    pending.push_back(start);
    while (!pending.empty())
    {
        const uint32_t node = pending.back();
        TNode& n = m_nodes[node];
        const uint32_t parent = m_parent[node];
        if (n.flags & NODE_LINKED)
        {
            pending.pop_back();
            continue;
        }
        if (!(m_nodes[parent].flags & NODE_LINKED))
        {
            pending.push_back(parent);
            continue;
        }
        // The parent's fall-backs, nearest first, until one goes on with this node's character;
        // the root's children fall back to the root.
        uint32_t fail = 0;
        if (parent != 0)
        {
            uint32_t at = m_nodes[parent].fail;
            fail = Child(at, n.c);
            while (fail == 0 && at != 0)
            {
                at = m_nodes[at].fail;
                fail = Child(at, n.c);
            }
            if (!(m_nodes[fail].flags & NODE_LINKED))
            {
                pending.push_back(fail);
                continue;
            }
        }
        n.fail = fail;
        m_output[node] = (m_nodes[fail].flags & NODE_END) ? fail : m_output[fail];
        n.flags |= NODE_LINKED;
        if ((n.flags & NODE_END) || m_output[node] != kNone)
            n.flags |= NODE_OUTPUT;
        pending.pop_back();
    }
}

uint32_t TNameSearch::Child(uint32_t node, wchar_t c) const
{
    if (node == 0)
        return m_rootChild[Unit(c)];
    for (uint32_t child = m_nodes[node].first; child != 0; child = m_nodes[child].next)
        if (m_nodes[child].c == c)
            return child;
    return 0;
}

uint32_t TNameSearch::AddChild(uint32_t node, wchar_t c)
{
    const uint32_t child = static_cast<uint32_t>(m_nodes.size());
    m_nodes.push_back(TNode{0, m_nodes[node].first, 0, c, 0});
    m_parent.push_back(node);
    m_nodes[node].first = child;
    if (node == 0)
        m_rootChild[Unit(c)] = child;
    return child;
}

void TNameSearch::Record(uint32_t node, uint32_t source)
{
    if (m_source[node] == kNone)
        m_source[node] = source;
    else if (m_source[node] != source)
        m_nodes[node].flags |= NODE_MANY;
}

void TNameSearch::Scan(const std::wstring& text, uint32_t source)
{
    uint32_t state = 0;
    for (wchar_t c : text)
    {
        uint32_t next = Child(state, c);
        while (next == 0 && state != 0)
        {
            state = m_nodes[state].fail;
            next = Child(state, c);
        }
        state = next;
        // Every name ending here. A node that already knows this source, or two sources, has
        // passed that on along its whole chain before: the walk stops there, which keeps the
        // total walking linear.
        if (!(m_nodes[state].flags & NODE_OUTPUT))
            continue;
        for (uint32_t hit = (m_nodes[state].flags & NODE_END) ? state : m_output[state]; hit != kNone; hit = m_output[hit])
        {
            if ((m_nodes[hit].flags & NODE_MANY) || m_source[hit] == source)
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
    if (m_nodes[node].flags & NODE_MANY)
        return true;
    return m_source[node] != kNone && m_source[node] != source;
}
