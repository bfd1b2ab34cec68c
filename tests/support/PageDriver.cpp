// List view, combo box and header messages that drive a page the way a user's actions would.
#include "tests/support/PageDriver.h"
#include "tests/support/WindowActor.h"
#include "framework/WinApp.h"

#include <gtest/gtest.h>
#include <commctrl.h>

namespace testsupport {

void InitListControls()
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
}

CListCtrl ListOf(HWND dlg, int listId)
{
    CListCtrl list;
    list.Attach(::GetDlgItem(dlg, listId));
    return list;
}

int Rows(HWND dlg, int listId)
{
    return ListOf(dlg, listId).GetItemCount();
}

Texts Column(HWND dlg, int column, int listId)
{
    CListCtrl list = ListOf(dlg, listId);
    Texts texts;
    for (int i = 0; i < list.GetItemCount(); ++i)
        texts.push_back(list.GetItemText(i, column));
    return texts;
}

Texts RowTexts(HWND dlg, int row, int columns, int listId)
{
    CListCtrl list = ListOf(dlg, listId);
    Texts texts;
    for (int c = 0; c < columns; ++c)
        texts.push_back(list.GetItemText(row, c));
    return texts;
}

std::vector<bool> Checks(HWND dlg, int listId)
{
    CListCtrl list = ListOf(dlg, listId);
    std::vector<bool> checks;
    for (int i = 0; i < list.GetItemCount(); ++i)
        checks.push_back(list.GetCheck(i));
    return checks;
}

void SetChecked(HWND dlg, int row, bool check, int listId)
{
    ListOf(dlg, listId).SetCheck(row, check);
}

void SelectMode(HWND dlg, const wchar_t* text, int comboId)
{
    HWND combo = ::GetDlgItem(dlg, comboId);
    LRESULT index = ::SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    ASSERT_NE(index, CB_ERR) << "no mode entry";
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void ClickColumn(HWND dlg, int column, int listId)
{
    HWND list = ::GetDlgItem(dlg, listId);
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    NMHEADERW nm = {};
    nm.hdr.hwndFrom = header;
    nm.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(header));
    nm.hdr.code = HDN_ITEMCLICKW;
    nm.iItem = column;
    ::SendMessageW(list, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

void OnListPage(const std::wstring& caption, std::function<void(HWND)> action, DWORD timeoutMs, int listId)
{
    OnWindow(caption, [caption, action, timeoutMs, listId](HWND dlg) {
        if (::GetDlgItem(dlg, listId) == nullptr)
        {
            OnListPage(caption, action, timeoutMs, listId);
            return;
        }
        EndDialogOnExit end{dlg, IDOK};
        action(dlg);
    }, timeoutMs);
}

void ExpectRefusedNames(const Texts& names, bool* seen)
{
    *seen = false;
    OnWindow(AfxGetApp()->GetAppName(), [names, seen](HWND box) {
        *seen = true;
        // The message box shows its text in a static control of id 0xFFFF; the names follow the
        // first blank line, one a line.
        const std::wstring text = ItemText(box, 0xFFFF);
        Texts listed;
        const size_t start = text.find(L"\r\n\r\n");
        for (size_t at = start == std::wstring::npos ? text.size() : start + 4; at < text.size();)
        {
            size_t end = text.find(L"\r\n", at);
            if (end == std::wstring::npos)
                end = text.size();
            listed.push_back(text.substr(at, end - at));
            at = end + 2;
        }
        Texts quoted;
        for (const std::wstring& name : names)
            quoted.push_back(L"\"" + name + L"\"");
        EXPECT_EQ(listed, quoted) << "the refused names, each on its own line";
        ::SendMessageW(box, WM_COMMAND, IDOK, 0);
    });
}

void ExpectErrorReport(bool* seen)
{
    *seen = false;
    OnWindow(AfxGetApp()->GetAppName(), [seen](HWND box) {
        *seen = true;
        EXPECT_NE(ItemText(box, 0xFFFF).find(L"goes on running"), std::wstring::npos) << "not the error report";
        ::SendMessageW(box, WM_COMMAND, IDOK, 0);
    });
}

std::vector<Texts> FillOrderCases()
{
    std::vector<Texts> cases;
    Texts same;
    for (int i = 0; i < 60; ++i)
        same.push_back(i % 3 == 1 ? L"intel" : L"Realtek");
    cases.push_back(same);
    cases.push_back(Texts{L"alpha", L"Alpha", L"ALPHA", L"beta", L"alpha", L"Beta", L"", L"a-b", L"ab", L"a_b",
                          L"ab", L"item10", L"item9", L"Item9", L"\u00e9t\u00e9", L"ete", L"\u00c9T\u00c9", L"zeta",
                          L"", L"Alpha", L"a b", L"\u00c4rger", L"arger", L"alpha", L"\u00e9t\u00e9", L"ALPHA"});
    Texts mixed;
    for (unsigned i = 0; i < 300; ++i)
    {
        const unsigned k = (i * 2654435761u) % 97u;   // scrambled, with repeats
        std::wstring label = L"Pkg" + std::to_wstring(k % 23);
        if (k % 4 == 1)
            label = L"pkg" + std::to_wstring(k % 23);
        else if (k % 4 == 2)
            label = L"PKG" + std::to_wstring(k % 23);
        mixed.push_back(label);
    }
    cases.push_back(mixed);
    return cases;
}

std::vector<LPARAM> ItemDataOrder(HWND list)
{
    CListCtrl view;
    view.Attach(list);
    std::vector<LPARAM> order;
    for (int i = 0; i < view.GetItemCount(); ++i)
        order.push_back(static_cast<LPARAM>(view.GetItemData(i)));
    return order;
}

std::vector<LPARAM> OneByOneFillOrder(const std::vector<std::pair<std::wstring, LPARAM>>& rows)
{
    HWND list = ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT | LVS_SORTASCENDING, 0, 0, 200, 200,
                                  nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(list, nullptr);
    CListCtrl view;
    view.Attach(list);
    view.InsertColumn(0, L"Label", LVCFMT_LEFT, 100);
    for (const auto& row : rows)
        EXPECT_GE(view.InsertItem(0, row.first.c_str(), row.second), 0);
    std::vector<LPARAM> order = ItemDataOrder(list);
    ::DestroyWindow(list);
    return order;
}

} // namespace testsupport
