// Time of one checklist fill (mode test, filter pass, sorted insertion, column sizing) for
// 1 000, 10 000 and 50 000 rows, and of the driver store page's fill (seven columns) and its
// marking of older packages for 100, 300 and 3 000 rows, in one run: every size once a round
// over three rounds, the sizes in turn, medians and ranges, with the ratios between the sizes.
//   dialogs_bench [checklist rows x3 [driver rows x3]]
#include "dialogs/DlgList.h"
#include "pages/driverstore/DlgDriverStore.h"
#include "bench/BenchClock.h"
#include "bench/BenchSpread.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

// The driver store page with records made in place of the inventory, filled once on opening.
class DriverBenchPage : public CDlgRepoDrv
{
public:
    explicit DriverBenchPage(unsigned rows) : CDlgRepoDrv(nullptr), m_rows(rows) {}
    unsigned m_rows;
    double m_fill = 0, m_marking = 0;
    int m_shown = 0, m_checked = 0;

protected:
    BOOL OnInitDialog() override
    {
        CDlgRepoDrv::OnInitDialog();
        KillTimer(1);   // no inventory command
        CDlgRepoDrvItem* last = nullptr;
        for (unsigned n = 0; n < m_rows; ++n)
        {
            last = new CDlgRepoDrvItem(last);
            if (m_pItems == nullptr)
                m_pItems = last;
            // About three packages per driver, in the scrambled order a driver table lists them.
            const unsigned k = (n * 2654435761u) % 1000003u;
            const unsigned driver = k % (m_rows / 3 + 1);
            last->m_strInfName = (k % 5 == 0 ? L"Net" : L"net") + std::to_wstring(driver) + L".inf";
            last->m_strType = L"Net";
            last->m_strProvider = L"Vendor " + std::to_wstring(driver % 7);
            last->SetVersion(std::to_wstring(10 + k % 3) + L".0." + std::to_wstring(k % 1000) + L".1");
            last->m_strDate = L"1" + std::to_wstring(k % 9) + L"/0" + std::to_wstring(1 + k % 9) + L"/2021";
            last->m_strPublishedName = L"oem" + std::to_wstring(n) + L".inf";
            last->m_nOemNumber = static_cast<int32_t>(n);
            last->m_nSizeOnDisk = 4096u * (1 + k % 500);
            last->m_strSizeText = std::to_wstring(4 * (1 + k % 500)) + L" Kb";
        }
        double t0 = NowSeconds();
        FillList();
        m_fill = NowSeconds() - t0;
        t0 = NowSeconds();
        OnBnClickedOldDrivers();
        m_marking = NowSeconds() - t0;
        m_shown = m_list.GetItemCount();
        for (int i = 0; i < m_shown; ++i)
            m_checked += m_list.GetCheck(i) ? 1 : 0;
        EndDialog(IDOK);
        return TRUE;
    }
};

const int kRounds = 3;   // every size once a round, the sizes in turn

void PrintRatios(const char* what, const unsigned* sizes, const Spread* first, const Spread* second,
                 const char* firstName, const char* secondName)
{
    for (int i = 1; i < 3; ++i)
        std::printf("%s ratio %u/%u rows (x%.0f): %s %.1f, %s %.1f (ratios of the medians)\n", what, sizes[i],
                    sizes[i - 1], double(sizes[i]) / sizes[i - 1], firstName, first[i].median / first[i - 1].median,
                    secondName, second[i].median / second[i - 1].median);
}

} // namespace

int main(int argc, char** argv)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    unsigned sizes[] = {1000, 10000, 50000};
    unsigned driverSizes[] = {100, 300, 3000};
    // Other sizes may be given for a quick look: dialogs_bench 500 2000 4000 50 100 200
    for (int i = 1; i < argc && i <= 3; ++i)
        sizes[i - 1] = static_cast<unsigned>(std::strtoul(argv[i], nullptr, 10));
    for (int i = 4; i < argc && i <= 6; ++i)
        driverSizes[i - 4] = static_cast<unsigned>(std::strtoul(argv[i], nullptr, 10));

    // The sizes take turns, round after round, so that a slow spell of the machine falls on all
    // of them rather than on one.
    std::vector<double> plain[3], filtered[3];
    int shownPlain[3] = {}, shownFiltered[3] = {};
    for (int round = 0; round < kRounds; ++round)
        for (int i = 0; i < 3; ++i)
        {
            BenchPage page(sizes[i]);
            page.DoModal();
            plain[i].push_back(page.m_plain);
            filtered[i].push_back(page.m_filtered);
            shownPlain[i] = page.m_shownPlain;
            shownFiltered[i] = page.m_shownFiltered;
        }
    std::printf("checklist fill, %d rounds, the sizes in turn: median (range)\n", kRounds);
    Spread plainAt[3], filteredAt[3];
    for (int i = 0; i < 3; ++i)
    {
        plainAt[i] = SpreadOf(plain[i]);
        filteredAt[i] = SpreadOf(filtered[i]);
        std::printf("checklist %6u rows: full fill %8.3f s (%.3f to %.3f s, %d shown), filtered fill %8.3f s "
                    "(%.3f to %.3f s, %d shown)\n",
                    sizes[i], plainAt[i].median, plainAt[i].low, plainAt[i].high, shownPlain[i], filteredAt[i].median,
                    filteredAt[i].low, filteredAt[i].high, shownFiltered[i]);
    }
    PrintRatios("checklist", sizes, plainAt, filteredAt, "full", "filtered");
    std::fflush(stdout);

    std::vector<double> fill[3], marking[3];
    int shown[3] = {}, checked[3] = {};
    for (int round = 0; round < kRounds; ++round)
        for (int i = 0; i < 3; ++i)
        {
            DriverBenchPage page(driverSizes[i]);
            page.DoModal();
            fill[i].push_back(page.m_fill);
            marking[i].push_back(page.m_marking);
            shown[i] = page.m_shown;
            checked[i] = page.m_checked;
        }
    std::printf("driver store page, %d rounds, the sizes in turn: median (range)\n", kRounds);
    Spread fillAt[3], markingAt[3];
    for (int i = 0; i < 3; ++i)
    {
        fillAt[i] = SpreadOf(fill[i]);
        markingAt[i] = SpreadOf(marking[i]);
        std::printf("driver store %5u rows: fill %8.3f s (%.3f to %.3f s, %d shown), marking of older packages %8.3f s "
                    "(%.3f to %.3f s, %d checked)\n",
                    driverSizes[i], fillAt[i].median, fillAt[i].low, fillAt[i].high, shown[i], markingAt[i].median,
                    markingAt[i].low, markingAt[i].high, checked[i]);
    }
    PrintRatios("driver store", driverSizes, fillAt, markingAt, "fill", "marking");
    std::printf("(a ratio near the row factor means linear growth; the goal is at most 1.2 times the row factor)\n");
    return 0;
}
