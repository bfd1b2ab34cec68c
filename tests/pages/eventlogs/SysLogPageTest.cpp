// The "System Logs" page end to end: opened by its task, collecting from the stand-in tool with
// channel keys in the registry, then cleaning and resizing logs through their command windows.
#include "pages/eventlogs/DlgSysLog.h"
#include "app/App.h"
#include "resources/resource.h"
#include "tests/support/PageDriver.h"
#include "tests/support/StandinWindowTest.h"
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

const wchar_t kTitle[] = L"System Logs";
const wchar_t kExec[] = L"Executing Command...";
const wchar_t kPrompt[] = L"System Log: set max size";
const wchar_t kChannels[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Channels\\";

// The page shows up only after reading its channels from the tool and the registry, so it gets
// twice the usual wait.
void OnPage(std::function<void(HWND)> action)
{
    OnListPage(kTitle, std::move(action), 30000);
}

// A command window that fails keeps showing its result until the user closes it.
void CloseFailedCommand(unsigned exitCode)
{
    OnWindow(kExec, [exitCode](HWND wnd) {
        EndDialogOnExit end{wnd, IDCANCEL};
        const std::wstring done = L"DONE - (result: " + std::to_wstring(exitCode) + L" - 0)";
        ASSERT_TRUE(PumpUntil([wnd, done] { return ItemText(wnd, IDCANCEL) == done; }, 15000)) << "no failed result shown";
        Click(wnd, IDCANCEL);
    }, 20000);
}

// Runs `action` on the command window whose command line holds `commandPart`; windows of other
// commands (which close by themselves) are passed over.
void OnCommandWindow(const std::wstring& commandPart, std::function<void(HWND)> action)
{
    OnWindow(kExec, [commandPart, action](HWND wnd) {
        if (ItemText(wnd, IDC_EDIT_COMMAND).find(commandPart) == std::wstring::npos)
            OnCommandWindow(commandPart, action);
        else
            action(wnd);
    }, 20000);
}

class SysLogPage : public StandinPageTest
{
protected:
    void SetUp() override
    {
        StandinPageTest::SetUp();
        tools->InstallTool(L"wevtutil.exe");
        theApp.m_strSysDir = tools->SystemFolder() + L"\\";
        theApp.m_pMainDlg = nullptr;
        p = L"VantrelTest" + std::to_wstring(::GetCurrentProcessId()) + L"-";
        // Alpha and Delta are enabled, Beta is disabled, Gamma has no key. Beta"x is enabled, but
        // its name cannot be quoted on a command line.
        SetEnabled(p + L"Alpha", 1);
        SetEnabled(p + L"Beta", 0);
        SetEnabled(p + L"Delta", 1);
        SetEnabled(p + L"Beta\"x", 1);
    }
    void TearDown() override
    {
        for (const std::wstring& name : made)
            ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kChannels + name).c_str());
        StandinPageTest::TearDown();
    }

    void SetEnabled(const std::wstring& name, DWORD value)
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kChannels + name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &key, nullptr),
                  ERROR_SUCCESS);
        made.push_back(name);
        ::RegSetValueExW(key, L"Enabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
        ::RegCloseKey(key);
    }

    static std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
    std::wstring Q(const wchar_t* name) { return L"\"" + p + name + L"\""; }

    // The tool's answers; after a clean, Alpha reports no records.
    void Scenario(bool alphaCleaned)
    {
        tools->SetScenarioText("");
        const std::string n = Narrow(p);
        tools->AddEntry(StandinEntry::Exact(L"wevtutil el")
                            .Stdout(n + "Alpha\r\n" + n + "Beta\r\n\r\n" + n + "Gamma\r\nBad\"Name\r\n" + n + "Delta\r\n" +
                                    n + "Beta\"x\r\n" + n + "Cut" + std::string(300, 'x') + "\r\n"));
        tools->AddEntry(StandinEntry::Exact(L"wevtutil gli " + Q(L"Alpha"))
                            .Stdout(std::string("creationTime: 2021-05-06T09:27:39.1234567Z\r\n"
                                                "lastAccessTime: 2023-01-02T03:04:05.6789012Z\r\n"
                                                "lastWriteTime: 2023-01-02T03:04:06.0000000Z\r\n"
                                                "fileSize: 1052672\r\nattributes: 32\r\nnumberOfLogRecords: ") +
                                    (alphaCleaned ? "0" : "1234") + "\r\noldestRecordNumber: 1\r\n"));
        tools->AddEntry(StandinEntry::Exact(L"wevtutil gl " + Q(L"Alpha"))
                            .Stdout("name: Alpha\r\nenabled: true\r\nisolation: Application\r\nlogging:\r\n"
                                    "  retention: false\r\n  maxSize: 20971520\r\n"));
        tools->AddEntry(StandinEntry::Exact(L"wevtutil gli " + Q(L"Gamma")).Stdout("numberOfLogRecords: 5\r\nfileSize: 69632\r\n"));
        tools->AddEntry(StandinEntry::Exact(L"wevtutil gl " + Q(L"Gamma")).Stdout("enabled: false\r\nisolation: System\r\n"));
        tools->AddEntry(StandinEntry::Exact(L"wevtutil gli " + Q(L"Delta"))
                            .Stderr("Failed to read log information.\r\nAccess is denied.\r\n").Exit(5));
        tools->AddEntry(StandinEntry::Exact(L"wevtutil cl " + Q(L"Alpha")).Exit(0));
        tools->AddEntry(StandinEntry::Glob(L"wevtutil sl " + Q(L"Alpha") + L" *").Stderr("Access is denied.\r\n").Exit(5));
        tools->AddEntry(StandinEntry::Glob(L"wevtutil sl " + Q(L"Delta") + L" *").Exit(0));
        tools->AddEntry(StandinEntry::Glob(L"*").Stderr("unexpected\r\n").Exit(77));
    }

    Texts CollectCommands()
    {
        return Texts{L"wevtutil el", L"wevtutil gli " + Q(L"Delta"), L"wevtutil gli " + Q(L"Gamma"),
                     L"wevtutil gl " + Q(L"Gamma"), L"wevtutil gli " + Q(L"Alpha"), L"wevtutil gl " + Q(L"Alpha")};
    }

    std::wstring p;
    std::vector<std::wstring> made;
};

// Each window that opens and closes costs seconds here, so one page walks the whole road.
TEST_F(SysLogPage, CollectsChannelDetailsThenCleansAndResizesTickedLogs)
{
    Scenario(false);
    OnPage([this](HWND dlg) {
        EXPECT_EQ(TextOf(dlg), kTitle);
        // Column titles and alignment: "Records" stands left, unlike the other numbers.
        HWND list = ::GetDlgItem(dlg, IDC_LIST_ITEMS);
        const wchar_t* titles[] = {L"Name", L"Enabled", L"Retention", L"Isolation", L"Bytes", L"Used",
                                   L"Max", L"Records", L"Created", L"Last Access", L"Last Write"};
        const bool right[] = {false, true, true, false, true, true, true, false, false, false, false};
        for (int i = 0; i < 11; ++i)
        {
            wchar_t title[32] = {};
            LVCOLUMNW col = {};
            col.mask = LVCF_TEXT | LVCF_FMT;
            col.pszText = title;
            col.cchTextMax = 32;
            ASSERT_TRUE(::SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&col)));
            EXPECT_EQ(std::wstring(title), titles[i]);
            EXPECT_EQ((col.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT, right[i]) << i;
        }
        EXPECT_EQ(ItemText(dlg, IDC_CB_MODE), L"Clean");

        // "Clean": logs with records; the keyless channel marked, the disabled one absent.
        EXPECT_EQ(Column(dlg, 0), (Texts{L"* " + p + L"Gamma", p + L"Alpha"}));
        EXPECT_EQ(RowTexts(dlg, 0, 11), (Texts{L"* " + p + L"Gamma", L"", L"", L"System", L"68 Kb", L"", L"0 bytes", L"5",
                                           L"", L"", L""}));
        EXPECT_EQ(RowTexts(dlg, 1, 11), (Texts{p + L"Alpha", L"Yes", L"", L"Application", L"1 Mb", L"5%", L"20 Mb", L"1234",
                                           L"2021-05-06 09:27:39", L"2023-01-02 03:04:05", L"2023-01-02 03:04:06"}));
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected logs: 0/2");
        SetChecked(dlg, 1, true);
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected logs: 1/2");
        EXPECT_TRUE(SaveWindowBitmap(dlg, L"system-logs-page.bmp"));

        // "Set Max Size": enabled logs, those without log information with their names only (one
        // because its tool failed, one because its name may not be put to the tool).
        SelectMode(dlg, L"Set Max Size");
        EXPECT_EQ(Column(dlg, 0), (Texts{p + L"Alpha", p + L"Beta\"x", p + L"Delta"}));
        EXPECT_EQ(RowTexts(dlg, 1, 11), (Texts{p + L"Beta\"x", L"", L"", L"", L"", L"", L"", L"", L"", L"", L""}));
        EXPECT_EQ(RowTexts(dlg, 2, 11), (Texts{p + L"Delta", L"", L"", L"", L"", L"", L"", L"", L"", L"", L""}));
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected logs: 0/3");
        EXPECT_EQ(tools->Commands(), CollectCommands())
            << "disabled channels, unusable names and cut names cost no run";
        SelectMode(dlg, L"Clean");
        ASSERT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected logs: 0/2");

        // Clean Alpha: its reload reports no records, so it leaves the view.
        SetChecked(dlg, 1, true);
        Scenario(true);
        tools->ClearCommands();
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_EQ(tools->Commands(), (Texts{L"wevtutil cl " + Q(L"Alpha"), L"wevtutil gli " + Q(L"Alpha"),
                                            L"wevtutil gl " + Q(L"Alpha")}));
        EXPECT_EQ(Column(dlg, 0), (Texts{L"* " + p + L"Gamma"}));

        // Set Max Size with every log ticked; a cancelled prompt runs nothing.
        SelectMode(dlg, L"Set Max Size");
        Click(dlg, IDC_BTN_CHECK);
        ASSERT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected logs: 3/3");
        OnWindow(kPrompt, [](HWND prompt) {
            EndDialogOnExit end{prompt, IDCANCEL};
            EXPECT_EQ(ItemText(prompt, IDC_ST_VALUE_LABEL), L"Max Size (MB):");
            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(prompt, IDOK)));
            ::SetDlgItemTextW(prompt, IDC_EDIT_VALUE, L"12");
            Click(prompt, IDCANCEL);
        });
        tools->ClearCommands();
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_EQ(tools->Commands(), Texts{});

        // 1024 MB is the largest size: each ticked log gets it, in list order, and is reloaded; a
        // failed command keeps its window open until it is closed, and the loop goes on, as it does
        // past a refused name, which runs nothing and is told once the loop has ended.
        OnWindow(kPrompt, [](HWND prompt) {
            EndDialogOnExit end{prompt, IDCANCEL};
            // 1 MB is the smallest size: 0 is refused.
            ::SetDlgItemTextW(prompt, IDC_EDIT_VALUE, L"0");
            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(prompt, IDOK)));
            ::SetDlgItemTextW(prompt, IDC_EDIT_VALUE, L"1");
            EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(prompt, IDOK)));
            ::SetDlgItemTextW(prompt, IDC_EDIT_VALUE, L"1025");
            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(prompt, IDOK)));
            ::SetDlgItemTextW(prompt, IDC_EDIT_VALUE, L"1024");
            EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(prompt, IDOK)));
            Click(prompt, IDOK);
        });
        CloseFailedCommand(5);
        bool told = false;
        ExpectRefusedNames(Texts{p + L"Beta\"x"}, &told);
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_TRUE(told) << "the refused name was not told";
        EXPECT_EQ(tools->Commands(), (Texts{L"wevtutil sl " + Q(L"Alpha") + L" /ms:1073741824", L"wevtutil gli " + Q(L"Alpha"),
                                            L"wevtutil gl " + Q(L"Alpha"), L"wevtutil sl " + Q(L"Delta") + L" /ms:1073741824",
                                            L"wevtutil gli " + Q(L"Delta")}));
        EXPECT_EQ(Column(dlg, 0), (Texts{p + L"Alpha", p + L"Beta\"x", p + L"Delta"}));
    });
    EXPECT_TRUE(TaskSystemLogs());
}

TEST_F(SysLogPage, CancelOfACleanEndsTheCommitWhileAFailedCleanLetsItGoOn)
{
    struct Case
    {
        const char* name;
        bool cancel;     // the user cancels the second clean while it runs; else it fails by itself
        int cleaned;     // how many of the four ticked logs get their "wevtutil cl"
    };
    const Case cases[] = {{"cancelled", true, 2}, {"failed", false, 4}};
    const wchar_t* logs[] = {L"Log1", L"Log2", L"Log3", L"Log4"};
    for (const wchar_t* log : logs)
        SetEnabled(p + log, 1);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        tools->SetScenarioText("");
        const std::string n = Narrow(p);
        tools->AddEntry(StandinEntry::Exact(L"wevtutil el").Stdout(n + "Log1\r\n" + n + "Log2\r\n" + n + "Log3\r\n" + n + "Log4\r\n"));
        tools->AddEntry(StandinEntry::Glob(L"wevtutil gli *").Stdout("numberOfLogRecords: 5\r\n"));
        tools->AddEntry(StandinEntry::Glob(L"wevtutil gl *").Stdout("enabled: true\r\n"));
        if (c.cancel)
            tools->AddEntry(StandinEntry::Exact(L"wevtutil cl " + Q(L"Log2")).Stdout("Cleaning...\r\n").Sleep(30000));
        else
            tools->AddEntry(StandinEntry::Exact(L"wevtutil cl " + Q(L"Log2")).Stderr("Access is denied.\r\n").Exit(5));
        tools->AddEntry(StandinEntry::Glob(L"wevtutil cl *").Exit(0));
        tools->AddEntry(StandinEntry::Glob(L"*").Stderr("unexpected\r\n").Exit(77));

        OnPage([this, &c](HWND dlg) {
            ASSERT_EQ(Rows(dlg), 4);
            Click(dlg, IDC_BTN_CHECK);
            tools->ClearCommands();
            OnCommandWindow(Q(L"Log2"), [&c](HWND wnd) {
                EndDialogOnExit end{wnd, IDCANCEL};
                // Cancelled while the tool still runs, or closed once it has failed.
                ASSERT_TRUE(PumpUntil(
                    [wnd, &c] {
                        return c.cancel ? ItemText(wnd, IDC_EDIT_OUTPUT).find(L"Cleaning") != std::wstring::npos
                                        : ItemText(wnd, IDCANCEL) == L"DONE - (result: 5 - 0)";
                    },
                    15000));
                Click(wnd, IDCANCEL);
            });
            Click(dlg, IDC_BTN_COMMIT);
            Texts cleaned;
            for (const std::wstring& command : tools->Commands())
                if (command.compare(0, 12, L"wevtutil cl ") == 0)
                    cleaned.push_back(command);
            const Texts all{L"wevtutil cl " + Q(L"Log1"), L"wevtutil cl " + Q(L"Log2"), L"wevtutil cl " + Q(L"Log3"),
                            L"wevtutil cl " + Q(L"Log4")};
            EXPECT_EQ(cleaned, Texts(all.begin(), all.begin() + c.cleaned));
            EXPECT_TRUE(::IsWindowEnabled(dlg));
        });
        EXPECT_TRUE(TaskSystemLogs());
    }
}

TEST_F(SysLogPage, FailedChannelListLeavesThePageEmptyWithoutDetailPass)
{
    tools->AddEntry(StandinEntry::Exact(L"wevtutil el").Stdout("Application\r\n").Stderr("Access is denied.\r\n").Exit(5));
    tools->AddEntry(StandinEntry::Glob(L"*").Exit(77));
    CloseFailedCommand(5);
    OnPage([](HWND dlg) {
        EXPECT_EQ(Rows(dlg), 0);
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected logs: 0/0");
    });
    EXPECT_TRUE(TaskSystemLogs());
    EXPECT_EQ(tools->Commands(), Texts{L"wevtutil el"});
}

} // namespace
