// Both store app pages end to end: opened by their run functions, collected from the stand-in
// PowerShell, shown by mode and filter, and committed, with the command lines that ran.
#include "StoreAppsText.h"
#include "pages/storeapps/DlgWsApps.h"
#include "pages/storeapps/DlgWsPrvApps.h"
#include "app/App.h"
#include "resources/resource.h"
#include "tests/support/PageDriver.h"
#include "tests/support/StandinWindowTest.h"
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <algorithm>
#include <memory>

using namespace storeapps;
using namespace testsupport;

namespace {

const wchar_t kExec[] = L"Executing Command...";
const wchar_t kInventory[] = L"powershell -command $FormatEnumerationLimit=-1; Get-AppxPackage -AllUsers";
const wchar_t kRemove[] = L"powershell -command Remove-AppxPackage -AllUsers -Package ";
const wchar_t kPrvInventory[] = L"powershell -command Get-AppxProvisionedPackage -Online";
const wchar_t kPrvRemove[] = L"powershell -command Remove-AppxProvisionedPackage -Online -AllUsers -PackageName ";
const std::string kPub = "abcdefghijklm";

struct ColumnInfo
{
    std::wstring title;
    bool right;
};

std::vector<ColumnInfo> Columns(HWND dlg)
{
    HWND list = ::GetDlgItem(dlg, IDC_LIST_ITEMS);
    std::vector<ColumnInfo> columns;
    for (int i = 0;; ++i)
    {
        wchar_t title[64] = {};
        LVCOLUMNW col = {};
        col.mask = LVCF_TEXT | LVCF_FMT;
        col.pszText = title;
        col.cchTextMax = 64;
        if (!::SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&col)))
            break;
        columns.push_back(ColumnInfo{title, (col.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT});
    }
    return columns;
}

Texts ModeTexts(HWND dlg)
{
    HWND combo = ::GetDlgItem(dlg, IDC_CB_MODE);
    Texts texts;
    const int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
    {
        wchar_t text[64] = {};
        ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        texts.push_back(text);
    }
    return texts;
}

void CheckRowLabelled(HWND dlg, const std::wstring& label, bool check)
{
    CListCtrl list = ListOf(dlg);
    for (int i = 0; i < list.GetItemCount(); ++i)
        if (list.GetItemText(i, 0) == label)
        {
            list.SetCheck(i, check);
            return;
        }
    ADD_FAILURE() << "no row labelled " << std::string(label.begin(), label.end());
}

// A failing command: its window stays open on the result line until the user closes it. Windows
// of other commands (which close by themselves) are let pass.
void ExpectFailedCommandWindow(const std::wstring& command, const std::wstring& result)
{
    OnWindow(kExec, [command, result](HWND wnd) {
        if (ItemText(wnd, IDC_EDIT_COMMAND).find(L"\"" + command + L"\"") == std::wstring::npos)
        {
            PumpUntil([wnd] { return !::IsWindowVisible(wnd); }, 15000);
            ExpectFailedCommandWindow(command, result);
            return;
        }
        EndDialogOnExit end{wnd, IDCANCEL};
        ASSERT_TRUE(WaitForResultLine(wnd));
        EXPECT_EQ(ItemText(wnd, IDCANCEL), result);
        PumpUntil([] { return false; }, 300);
        EXPECT_TRUE(::IsWindowVisible(wnd)) << "a failed command leaves its window open";
        Click(wnd, IDCANCEL);
    });
}

std::wstring W(const std::string& s)
{
    return Wide(s);
}

class StoreAppsPages : public StandinPageTest
{
protected:
    void SetUp() override
    {
        StandinPageTest::SetUp();
        theApp.m_strPowerShellPath = tools->InstallTool(L"WindowsPowerShell\\v1.0\\powershell.exe");
        theApp.m_pMainDlg = nullptr;
    }
    void TearDown() override
    {
        theApp.m_strPowerShellPath.clear();
        StandinPageTest::TearDown();
    }

    // Queues `action` for the page with this caption, closing it when the action ends. A page
    // opens only after its PowerShell inventory, which is slower than the other tools.
    static void OnPage(const std::wstring& caption, std::function<void(HWND)> action)
    {
        OnListPage(caption, std::move(action), 20000);
    }
};

TEST_F(StoreAppsPages, InstalledAppsAreListedByModeAndRemovedExceptUsedOnes)
{
    Pairs notes = AppRecord("Contoso.Notes", "2.3.4.0", "x64", kPub,
                            "{Contoso.Runtime_14.0.1.0_x64__abcdefghijklm, ");
    notes.insert(notes.begin() + 16, {"", std::string(25, ' ') + "Contoso.Other_1.0.0.0_x64__abcdefghijklm}"});
    Pairs runtime64 = AppRecord("Contoso.Runtime", "14.0.1.0", "x64", kPub);
    Set(runtime64, "IsFramework", "True");
    Pairs runtime86 = AppRecord("Contoso.Runtime", "14.0.1.0", "x86", kPub);
    Set(runtime86, "IsFramework", "True");
    Pairs media = AppRecord("Contoso.Media", "2.0.0.0", "x64", kPub);
    Set(media, "IsFramework", "True");
    Pairs paint = AppRecord("Contoso.Paint", "10.2.0.0", "x64", kPub);
    Set(paint, "IsBundle", "True");
    Pairs zeta = AppRecord("Contoso.Zeta", "9.1.0.0", "x64", kPub);
    Set(zeta, "Status", "Modified");
    Pairs dev = AppRecord("Contoso.DevTool", "0.1.0.0", "x64", kPub);
    Set(dev, "IsDevelopmentMode", "True");
    Set(dev, "SignatureKind", "Developer");
    Pairs photos = AppRecord("Windows.Photos", "1.0.0.0", "x64", "8wekyb3d8bbwe");
    Pairs shell = AppRecord("Contoso.Shell", "1.0.0.0", "x64", kPub);
    Set(shell, "NonRemovable", "True");

    tools->AddEntry(StandinEntry::Exact(kInventory)
                        .Stdout(Inventory({notes, runtime64, runtime86, media, paint, zeta, dev, photos, shell}, kAppWidth))
                        .Exit(0));
    tools->AddEntry(StandinEntry::Exact(kRemove + W(FullNameOf(paint)))
                        .Stdout("Remove-AppxPackage : Deployment failed with HRESULT: 0x80073CFA\r\n")
                        .Exit(1));
    tools->AddEntry(StandinEntry::Glob(std::wstring(kRemove) + L"*").Stdout("Deployment operation progress\r 50%\r100%\r\n").Exit(0));
    tools->AddEntry(StandinEntry::Glob(L"*").Exit(77));

    const std::wstring title = L"MS Store Applications";
    OnPage(title, [&](HWND dlg) {
        EXPECT_EQ(TextOf(dlg), title);
        EXPECT_EQ(ModeTexts(dlg), (Texts{L"Remove Apps", L"Remove Dev. Apps", L"Remove Frameworks"}));
        const std::vector<ColumnInfo> columns = Columns(dlg);
        const Texts titles = {L"Name", L"Version", L"Type", L"Is Used", L"Status", L"Bundle", L"Signature", L"Family"};
        ASSERT_EQ(columns.size(), titles.size());
        for (size_t i = 0; i < titles.size(); ++i)
        {
            EXPECT_EQ(columns[i].title, titles[i]);
            EXPECT_EQ(columns[i].right, i == 1) << "only the version column is right-aligned";
        }

        // "Remove Apps" first: neither frameworks, nor developer packages, nor hidden ones.
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Contoso.Notes", L"Contoso.Paint", L"Contoso.Zeta"}));
        EXPECT_EQ(RowTexts(dlg, 1, 8), (Texts{L"Contoso.Paint", L"10.2.0.0", L"x64", L"", L"Ok", L"Yes", L"Store",
                                              L"Contoso.Paint_abcdefghijklm"}));
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 0/3");

        // Versions sort as text; the commit then walks the rows in that order.
        ClickColumn(dlg, 1);
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Contoso.Paint", L"Contoso.Notes", L"Contoso.Zeta"}));
        CheckRowLabelled(dlg, L"Contoso.Paint", true);
        CheckRowLabelled(dlg, L"Contoso.Zeta", true);
        ExpectFailedCommandWindow(kRemove + W(FullNameOf(paint)), L"DONE - (result: 1 - 0)");
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Contoso.Paint", L"Contoso.Notes", L"Contoso.Zeta"}))
            << "a failed removal stops the commit and changes no row";
        CheckRowLabelled(dlg, L"Contoso.Paint", false);
        Click(dlg, IDC_BTN_COMMIT);   // succeeds: its window closes by itself
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Contoso.Notes", L"Contoso.Paint"}));

        // Frameworks: both copies of the one named in a dependency list are used.
        SelectMode(dlg, L"Remove Frameworks");
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Contoso.Media", L"Contoso.Runtime *", L"Contoso.Runtime *"}));
        EXPECT_EQ(Column(dlg, 3), (Texts{L"", L"Used", L"Used"}));
        Texts types = Column(dlg, 2);
        std::sort(types.begin(), types.end());
        EXPECT_EQ(types, (Texts{L"x64", L"x64", L"x86"}));
        SaveWindowBitmap(dlg, L"store-apps-page.bmp");

        // A filter of "*" keeps exactly the used packages.
        ::SendMessageW(::GetDlgItem(dlg, IDC_EDIT_FILTER), WM_CHAR, L'*', 0);
        EXPECT_TRUE(PumpUntil([dlg] { return Rows(dlg) == 2; }, 5000));
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Contoso.Runtime *", L"Contoso.Runtime *"}));
        ::SetWindowTextW(::GetDlgItem(dlg, IDC_EDIT_FILTER), L"");
        EXPECT_TRUE(PumpUntil([dlg] { return Rows(dlg) == 3; }, 5000));

        // Every row ticked: the used ones run nothing and the commit goes on past them.
        Click(dlg, IDC_BTN_CHECK);
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 3/3");
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Contoso.Runtime *", L"Contoso.Runtime *"}));

        // A removed developer package stays listed until the next Refresh.
        SelectMode(dlg, L"Remove Dev. Apps");
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Contoso.DevTool"}));
        EXPECT_EQ(Column(dlg, 6), (Texts{L"Developer"}));
        Click(dlg, IDC_BTN_CHECK);
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Contoso.DevTool"}));
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 1/1");
    });
    EXPECT_TRUE(TaskStoreApps());
    EXPECT_EQ(tools->Commands(), (Texts{kInventory, kRemove + W(FullNameOf(paint)), kRemove + W(FullNameOf(zeta)),
                                        kRemove + W(FullNameOf(media)), kRemove + W(FullNameOf(dev))}));
}

TEST_F(StoreAppsPages, UnsafeNamesAreListedButTheirRemovalRunsNothingAndStopsTheCommit)
{
    // The unsafe record still counts: its dependency list marks the library used.
    Pairs evil = AppRecord("Contoso.Evil", "1.0.0.0", "x64", kPub, "{Contoso.Lib_1.0.0.0_x64__abcdefghijklm}");
    Set(evil, "PackageFullName", "Contoso.Evil_1.0.0.0_x64__abc; Stop-Computer");
    Pairs zed = AppRecord("Contoso.Zed", "1.0.0.0", "x64", kPub);
    Pairs lib = AppRecord("Contoso.Lib", "1.0.0.0", "x64", kPub);
    Set(lib, "IsFramework", "True");
    // The last line of the provisioned inventory has no CR LF: its name keeps the blanks after it.
    const std::string lastName = "Maker.Last_1.0_x64_~_abc  ";
    tools->AddEntry(StandinEntry::Exact(kInventory).Stdout(Inventory({evil, zed, lib}, kAppWidth)).Exit(0));
    tools->AddEntry(StandinEntry::Exact(kPrvInventory)
                        .Stdout(Inventory({ProvisionedRecord("Maker.Zed", "1.0.0.0", "x64")}, kProvisionedWidth) +
                                "DisplayName  : Maker.Last\r\nVersion      : 1.0\r\nPackageName  : " + lastName)
                        .Exit(0));
    tools->AddEntry(StandinEntry::Glob(L"*").Exit(77));

    OnPage(L"MS Store Applications", [&](HWND dlg) {
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Contoso.Evil", L"Contoso.Zed"}));
        EXPECT_EQ(RowTexts(dlg, 0, 8), (Texts{L"Contoso.Evil", L"1.0.0.0", L"x64", L"", L"Ok", L"", L"Store",
                                              L"Contoso.Evil_abcdefghijklm"}));
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 0/2");
        Click(dlg, IDC_BTN_CHECK);
        bool told = false;
        ExpectRefusedNames(Texts{W(FullNameOf(evil))}, &told);
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_TRUE(told) << "the refused name was not told";
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Contoso.Evil", L"Contoso.Zed"})) << "the commit stopped at the refused row";
        SelectMode(dlg, L"Remove Frameworks");
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Contoso.Lib *"}));
    });
    EXPECT_TRUE(TaskStoreApps());
    EXPECT_EQ(tools->Commands(), (Texts{kInventory}));

    tools->ClearCommands();
    OnPage(L"MS Store Provisioned Applications", [&](HWND dlg) {
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Maker.Last", L"Maker.Zed"}));
        EXPECT_EQ(RowTexts(dlg, 0, 3), (Texts{L"Maker.Last", L"1.0", L""}));
        Click(dlg, IDC_BTN_CHECK);
        bool told = false;
        ExpectRefusedNames(Texts{W(lastName)}, &told);
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_TRUE(told) << "the refused name was not told";
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Maker.Last", L"Maker.Zed"}));
    });
    EXPECT_TRUE(TaskProvisionedApps());
    EXPECT_EQ(tools->Commands(), (Texts{kPrvInventory}));
}

TEST_F(StoreAppsPages, FailedInventoryLeavesItsWindowOpenAndThePageEmpty)
{
    tools->AddEntry(StandinEntry::Exact(kInventory).Stderr("Get-AppxPackage : Access is denied.\r\n").Exit(5));
    tools->AddEntry(StandinEntry::Glob(L"*").Exit(77));
    ExpectFailedCommandWindow(kInventory, L"DONE - (result: 5 - 0)");
    OnPage(L"MS Store Applications", [](HWND dlg) {
        EXPECT_EQ(Rows(dlg), 0);
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 0/0");
        Click(dlg, IDC_BTN_COMMIT);
    });
    EXPECT_TRUE(TaskStoreApps());
    EXPECT_EQ(tools->Commands(), (Texts{kInventory}));
}

TEST_F(StoreAppsPages, ProvisionedAppsHideTheStoreAndStopAtAFailedRemoval)
{
    std::vector<Pairs> records;
    for (const char* name : {"Maker.Weather", "Microsoft.WindowsStore", "Maker.News", "Windows.CBSPreview", "Maker.Tips"})
        records.push_back(ProvisionedRecord(name, "4.25.1.0", "neutral"));
    Set(records[2], "Version", "10.0.0.0");
    tools->AddEntry(StandinEntry::Exact(kPrvInventory).Stdout(Inventory(records, kProvisionedWidth)).Exit(0));
    tools->AddEntry(StandinEntry::Exact(kPrvRemove + W(FullNameOf(records[4]))).Exit(2));
    tools->AddEntry(StandinEntry::Glob(std::wstring(kPrvRemove) + L"*").Stdout("\r\nPath          :\r\nOnline        : True\r\n").Exit(0));
    tools->AddEntry(StandinEntry::Glob(L"*").Exit(77));

    const std::wstring title = L"MS Store Provisioned Applications";
    OnPage(title, [&](HWND dlg) {
        EXPECT_EQ(TextOf(dlg), title);
        EXPECT_EQ(ModeTexts(dlg), (Texts{L"Remove"}));
        const std::vector<ColumnInfo> columns = Columns(dlg);
        ASSERT_EQ(columns.size(), 3u);
        EXPECT_EQ(columns[0].title, L"Name");
        EXPECT_FALSE(columns[0].right);
        EXPECT_EQ(columns[1].title, L"Version");
        EXPECT_TRUE(columns[1].right);
        EXPECT_EQ(columns[2].title, L"Type");
        EXPECT_TRUE(columns[2].right);

        EXPECT_EQ(Column(dlg, 0), (Texts{L"Maker.News", L"Maker.Tips", L"Maker.Weather", L"Windows.CBSPreview"}));
        EXPECT_EQ(Column(dlg, 1), (Texts{L"10.0.0.0", L"4.25.1.0", L"4.25.1.0", L"4.25.1.0"}));
        EXPECT_EQ(Column(dlg, 2), (Texts{L"neutral", L"neutral", L"neutral", L"neutral"}));

        Click(dlg, IDC_BTN_CHECK);
        ExpectFailedCommandWindow(kPrvRemove + W(FullNameOf(records[4])), L"DONE - (result: 2 - 0)");
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_EQ(Column(dlg, 0), (Texts{L"Maker.Tips", L"Maker.Weather", L"Windows.CBSPreview"}));
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 0/3");
    });
    EXPECT_TRUE(TaskProvisionedApps());
    EXPECT_EQ(tools->Commands(), (Texts{kPrvInventory, kPrvRemove + W(FullNameOf(records[2])), kPrvRemove + W(FullNameOf(records[4]))}));
}

} // namespace
