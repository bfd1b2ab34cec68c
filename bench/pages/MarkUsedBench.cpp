// Time of the store apps page's used-package marking (both passes) for 1 000, 10 000 and
// 100 000 records in one run, as many samples at every size, medians and ranges, printed with the
// ratios between the sizes; and, for scale, the same two passes done pair by pair at the smallest
// size, taking turns with the marking on the same inventory.
#include "pages/storeapps/DlgWsApps.h"
#include "bench/BenchClock.h"
#include "bench/BenchSpread.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kPublisher[] = L"_x64__abcdefghijklm";

// An inventory of `count` packages: a catalogue of frameworks, one in fifty packages up to 200
// (half of them x86 copies of the same name and version), as a system keeps them whatever the
// number of apps, and apps naming twelve frameworks each, as a long list prints them. The apps
// (whose dependency texts are the work) then grow with the records: a fixed catalogue of 200 would
// make 1 000 records hold 800 apps and 10 000 hold 9 800, twelve times the work for ten times
// the records.
struct Inventory
{
    explicit Inventory(unsigned count)
    {
        const unsigned frameworks = count / 50 < 200 ? count / 50 : 200;
        for (unsigned i = 0; i < count; ++i)
        {
            CDlgWsAppsItem* row = new CDlgWsAppsItem(&head);
            const unsigned scrambled = (i * 2654435761u) % 1000003u;
            if (i < frameworks)
            {
                row->m_strName = L"Maker.Framework" + std::to_wstring(i / 2);
                row->m_strVersion = L"14.0." + std::to_wstring(i / 2 % 97) + L".0";
                row->m_strKey = row->m_strName + L"_" + row->m_strVersion + (i % 2 ? L"_x86__abcdefghijklm" : kPublisher);
                row->m_nFlags = APP_FRAMEWORK;
            }
            else
            {
                row->m_strName = L"Vendor.App" + std::to_wstring(scrambled);
                row->m_strVersion = L"1." + std::to_wstring(i % 97) + L".0.0";
                row->m_strKey = row->m_strName + L"_" + row->m_strVersion + kPublisher;
                row->m_nFlags = APP_HAS_DEPENDENCIES;
                // Built in one buffer of its final size: under 64-bit Wine the heap slows down
                // more than linearly with the many short-lived pieces of a concatenation, which
                // made building 100 000 records take minutes.
                std::wstring& text = row->m_strDependencies;
                text.reserve(12 * 64);
                text = L"{";
                for (unsigned d = 0; d < 12; ++d)
                {
                    // Even rows only: the x86 copies are marked as copies, not as dependencies.
                    const unsigned f = ((scrambled + d * 7919u) % (frameworks / 2)) * 2;
                    wchar_t name[96];
                    std::swprintf(name, 96, L"%lsMaker.Framework%u_14.0.%u.0%ls", d != 0 ? L", " : L"", f / 2, f / 2 % 97,
                                  kPublisher);
                    text += name;
                }
                row->m_strDependencies += L"}";
            }
            rows.push_back(row);
        }
    }
    ~Inventory()
    {
        while (head != nullptr)
        {
            CDlgListItem* next = head->m_pNext;
            delete head;
            head = next;
        }
    }
    void ClearMarks()
    {
        for (CDlgWsAppsItem* row : rows)
            row->m_nFlags &= ~static_cast<uint32_t>(APP_USED);
    }
    std::vector<bool> UsedRows() const
    {
        std::vector<bool> used;
        for (const CDlgWsAppsItem* row : rows)
            used.push_back((row->m_nFlags & APP_USED) != 0);
        return used;
    }
    unsigned CountUsed() const
    {
        unsigned used = 0;
        for (const CDlgWsAppsItem* row : rows)
            used += (row->m_nFlags & APP_USED) ? 1 : 0;
        return used;
    }

    CDlgListItem* head = nullptr;
    std::vector<CDlgWsAppsItem*> rows;
};

const int kSamples = 5;   // at every size, and for the pair-by-pair search

double TimeMarking(Inventory& inventory)
{
    inventory.ClearMarks();
    const double t0 = NowSeconds();
    CDlgWsApps::MarkUsedPackages(inventory.head);
    return NowSeconds() - t0;
}

// The marking's two passes done pair by pair: every candidate's name sought in every other row's
// dependency text, then every row not yet marked compared with every row the first pass marked.
// The same rows are marked, so the two times are for the same result.
double TimePairByPair(Inventory& inventory)
{
    inventory.ClearMarks();
    const double t0 = NowSeconds();
    std::vector<CDlgWsAppsItem*> named;
    for (CDlgWsAppsItem* x : inventory.rows)
    {
        if ((x->m_nFlags & (APP_USED | APP_HIDDEN)) || x->m_strKey.empty())
            continue;
        for (const CDlgWsAppsItem* y : inventory.rows)
            if (y != x && (y->m_nFlags & APP_HAS_DEPENDENCIES) && y->m_strDependencies.find(x->m_strKey) != std::wstring::npos)
            {
                named.push_back(x);
                break;
            }
    }
    for (CDlgWsAppsItem* x : named)
        x->m_nFlags |= APP_USED;
    for (CDlgWsAppsItem* x : inventory.rows)
    {
        if (x->m_nFlags & (APP_USED | APP_HIDDEN))
            continue;
        for (const CDlgWsAppsItem* y : named)
            if (y->m_strName == x->m_strName && y->m_strVersion == x->m_strVersion)
            {
                x->m_nFlags |= APP_USED;
                break;
            }
    }
    return NowSeconds() - t0;
}

} // namespace

int main(int argc, char** argv)
{
    unsigned sizes[] = {1000, 10000, 100000};
    // Other sizes may be given for a quick look: pages_bench 500 5000 50000
    for (int i = 1; i < argc && i <= 3; ++i)
        sizes[i - 1] = static_cast<unsigned>(std::strtoul(argv[i], nullptr, 10));
    std::printf("marking of the used packages (both passes), %d samples at every size: median (range)\n", kSamples);
    Spread marking[3] = {};
    Spread pairs = {};
    unsigned used[3] = {};
    bool sameRows = true;   // the pair-by-pair search marked exactly the rows the marking marked
    for (int i = 0; i < 3; ++i)
    {
        Inventory inventory(sizes[i]);
        std::vector<double> marks, searches;
        std::vector<bool> marked, searched;
        for (int s = 0; s < kSamples; ++s)
        {
            // At the smallest size the pair-by-pair search takes turns with the marking, on the
            // same inventory; at ten times the records it would take minutes under Wine.
            const bool withPairs = i == 0;
            for (int k = 0; k < (withPairs ? 2 : 1); ++k)
            {
                if ((s + k) % 2 == 0 || !withPairs)
                {
                    marks.push_back(TimeMarking(inventory));
                    marked = inventory.UsedRows();
                    used[i] = inventory.CountUsed();
                }
                else
                {
                    searches.push_back(TimePairByPair(inventory));
                    searched = inventory.UsedRows();
                }
            }
        }
        marking[i] = SpreadOf(marks);
        std::printf("%7u records: marking %9.4f s (%.4f to %.4f s), %u used\n", sizes[i], marking[i].median,
                    marking[i].low, marking[i].high, used[i]);
        if (!searches.empty())
        {
            pairs = SpreadOf(searches);
            sameRows = searched == marked;
        }
    }
    for (int i = 1; i < 3; ++i)
        std::printf("ratio %u/%u records (x%.0f): marking %.1f (ratio of the medians)\n", sizes[i], sizes[i - 1],
                    double(sizes[i]) / sizes[i - 1], marking[i].median / marking[i - 1].median);
    std::printf("%7u records: pair-by-pair search of both passes %9.4f s (%.4f to %.4f s), %d samples in turn with "
                "the marking, %s; %.0f times the marking\n",
                sizes[0], pairs.median, pairs.low, pairs.high, kSamples,
                sameRows ? "the same rows marked" : "OTHER ROWS MARKED than by the marking", pairs.median / marking[0].median);
    std::printf("(the goal: ten times the records in at most twelve times the time)\n");
    return 0;
}
