// Time of one checklist fill (mode test, filter pass, sorted insertion, column sizing) for
// 1 000, 10 000 and 50 000 rows in one run, printed with the ratios between the sizes.
#include "dialogs/DlgList.h"
#include "bench/BenchClock.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const TColumnDef kColumns[] = {{L"Name", 0}, {L"Size", 1}};
const TModeDef kModes[] = {{L"All", 0}};

class BenchRow : public CDlgListItem
{
public:
    BenchRow(CDlgListItem** head, unsigned n) : CDlgListItem(head)
    {
        // Scrambled so that insertion order is not the sorted order.
        const unsigned k = (n * 2654435761u) % 1000003u;
        m_strKey = L"Vendor.Package" + std::to_wstring(k) + L"_1.0." + std::to_wstring(n % 97) + L"_x64";
        m_size = std::to_wstring(n * 37u % 100000u) + L" Kb";
    }
    void GetLabel(std::wstring& out) override { out = m_strKey; }
    void FillRow(CListCtrl* list, int row) override { list->SetItemText(row, 1, m_size.c_str()); }

    std::wstring m_size;
};

class BenchPage : public CDlgList
{
public:
    explicit BenchPage(unsigned rows) : CDlgList(nullptr), m_rows(rows)
    {
        m_strTitle = L"Fill bench";
        m_pColumns = kColumns;
        m_nColumns = 2;
        m_pModes = kModes;
        m_nModes = 1;
        m_bNoDetailPass = true;
    }
    bool Collect() override
    {
        for (unsigned i = 0; i < m_rows; ++i)
        {
            new BenchRow(&m_pItems, i);
            ++m_nItemCount;
        }
        return true;
    }
    bool IsItemShown(int, CDlgListItem*) override { return true; }

    unsigned m_rows;
    double m_plain = 0, m_filtered = 0;
    int m_shownPlain = 0, m_shownFiltered = 0;

protected:
    BOOL OnInitDialog() override
    {
        CDlgList::OnInitDialog();   // collects and fills once; the timed fills follow
        double t0 = NowSeconds();
        FillList();
        m_plain = NowSeconds() - t0;
        m_shownPlain = m_list.GetItemCount();
        // A filter that keeps about one row in ten, so the filter pass runs over every label.
        ::SetDlgItemTextW(m_hWnd, 1021, L"package1");
        KillTimer(1);
        t0 = NowSeconds();
        FillList();
        m_filtered = NowSeconds() - t0;
        m_shownFiltered = m_list.GetItemCount();
        EndDialog(IDOK);
        return TRUE;
    }
};

} // namespace

int main(int argc, char** argv)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    unsigned sizes[] = {1000, 10000, 50000};
    // Other sizes may be given for a quick look: dialogs_bench 500 2000 4000
    for (int i = 1; i < argc && i <= 3; ++i)
        sizes[i - 1] = static_cast<unsigned>(std::strtoul(argv[i], nullptr, 10));
    double plain[3] = {}, filtered[3] = {};
    for (int i = 0; i < 3; ++i)
    {
        BenchPage page(sizes[i]);
        page.DoModal();
        plain[i] = page.m_plain;
        filtered[i] = page.m_filtered;
        std::printf("%6u rows: full fill %8.3f s (%d shown), filtered fill %8.3f s (%d shown)\n", sizes[i], plain[i],
                    page.m_shownPlain, filtered[i], page.m_shownFiltered);
    }
    std::printf("ratio %u/%u rows (x%.0f): full %.1f, filtered %.1f\n", sizes[1], sizes[0], double(sizes[1]) / sizes[0],
                plain[1] / plain[0], filtered[1] / filtered[0]);
    std::printf("ratio %u/%u rows (x%.0f): full %.1f, filtered %.1f\n", sizes[2], sizes[1], double(sizes[2]) / sizes[1],
                plain[2] / plain[1], filtered[2] / filtered[1]);
    std::printf("(a ratio near the row factor means linear growth; the list view's sorted insertion adds to it)\n");
    return 0;
}
