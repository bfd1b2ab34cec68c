// The capabilities page as a user meets it, opened by its task with a stand-in "dism": inventory,
// detail pass, modes, status line, commits and their failures.
#include "pages/capabilities/DlgSysCapsOnDemand.h"
#include "app/App.h"
#include "resources/resource.h"
#include "tests/support/PageDriver.h"
#include "tests/support/StandinWindowTest.h"
#include "tests/support/WindowActor.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <algorithm>
#include <map>
#include <memory>

using namespace testsupport;

namespace {

const wchar_t kTitle[] = L"Windows Capabilities on Demand";
const wchar_t kExec[] = L"Executing Command...";
const wchar_t kInventory[] = L"dism /online /get-capabilities /english";

const wchar_t kAlpha[] = L"Alpha.Tools~~~~0.0.1.0";
const wchar_t kBeta[] = L"Beta.Tools~~~~0.0.1.0";
const wchar_t kDelta[] = L"Delta.Broken~~~~";
const wchar_t kGamma[] = L"Gamma.Tools~~~~0.0.1.0";
// Listed as printed, but never put on a command line.
const wchar_t kEvil[] = L"Evil~~~~ /norestart";

std::wstring Details(const std::wstring& id)
{
    return L"dism /online /get-capabilityinfo /capabilityname=" + id + L" /english";
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// Text as a scenario "stdout:" value.
std::string Escaped(const std::string& bytes)
{
    std::string out;
    for (char c : bytes)
    {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

// The stand-in "dism" of one moment: the inventory, each capability's details, the commit answers.
struct DismScript
{
    std::string inventory;
    unsigned long inventoryExit = 0;
    struct Cap
    {
        std::string state, download, install;
        unsigned long exit = 0;
    };
    std::map<std::wstring, Cap> caps;
    std::map<std::wstring, unsigned long> commits;   // command line -> exit code

    std::string Text() const
    {
        std::string text = "match: " + Narrow(kInventory) + "\nstdout: " + Escaped(inventory) +
                           "\nexit: " + std::to_string(inventoryExit) + "\n";
        for (const auto& cap : caps)
            text += "match: " + Narrow(Details(cap.first)) + "\nstdout: " +
                    Escaped("Capability Information:\r\n\r\nCapability Identity : " + Narrow(cap.first) +
                            "\r\nState : " + cap.second.state + "\r\nDownload Size : " + cap.second.download +
                            "\r\nInstall Size : " + cap.second.install + "\r\n\r\nThe operation completed.\r\n") +
                    "\nexit: " + std::to_string(cap.second.exit) + "\n";
        for (const auto& commit : commits)
            text += "match: " + Narrow(commit.first) + "\nstdout: " + Escaped("[==  50.0%  ]\r[== 100.0% ==]\r\n") +
                    "\nexit: " + std::to_string(commit.second) + "\n";
        return text + "match-glob: *\nexit: 77\n";
    }
};

// `seen` is set once the page itself has been acted on.
void OnPage(std::function<void(HWND)> action, bool* seen)
{
    OnListPage(kTitle, [action, seen](HWND dlg) {
        *seen = true;
        action(dlg);
    });
}

// A command window that must close by itself after its success.
void ExpectSelfClosingCommandWindow()
{
    OnWindow(kExec, [](HWND wnd) {
        EndDialogOnExit end{wnd, IDCANCEL};
        EXPECT_TRUE(PumpUntil([wnd] { return !::IsWindow(wnd) || !::IsWindowVisible(wnd); }, 15000))
            << "the command window stays open after a success";
    });
}

// A command window that must stay open with the given result line; the user then closes it.
void ExpectCommandWindowLeftOpen(const std::wstring& doneLine)
{
    OnWindow(kExec, [doneLine](HWND wnd) {
        EndDialogOnExit end{wnd, IDCANCEL};
        ASSERT_TRUE(WaitForResultLine(wnd));
        EXPECT_EQ(ItemText(wnd, IDCANCEL), doneLine);
        PumpUntil([] { return false; }, 700);
        EXPECT_TRUE(::IsWindowVisible(wnd)) << "this command window waits for the user";
        Click(wnd, IDCANCEL);
    });
}

class CapabilitiesPage : public StandinPageTest
{
protected:
    void SetUp() override
    {
        StandinPageTest::SetUp();
        tools->InstallTool(L"dism.exe");
        savedDism = theApp.m_strDismPath;
        theApp.m_strDismPath = tools->SystemFolder() + L"\\dism.exe";

        // Tool order Gamma, an unsafe identity, Alpha, Delta, Beta: the rows are made in reverse.
        script.inventory = "\r\nDeployment Image Servicing and Management tool\r\nVersion: 10.0.19041.844\r\n\r\n"
                           "Capability listing:\r\n\r\n"
                           "Capability Identity : Gamma.Tools~~~~0.0.1.0\r\nState : Installed\r\n\r\n"
                           "Capability Identity : Evil~~~~ /norestart\r\nState : Not Present\r\n\r\n"
                           "Capability Identity : Alpha.Tools~~~~0.0.1.0\r\nState : Not Present\r\n\r\n"
                           "capability identity : Delta.Broken~~~~\r\nState : Not Present\r\n\r\n"
                           "Capability Identity : Beta.Tools~~~~0.0.1.0\r\nState : Not Present\r\n\r\n"
                           "The operation completed successfully.\r\n";
        script.caps[kAlpha] = {"Not Present", "1.00 MB", "2.00 MB"};
        script.caps[kBeta] = {"not present", "1.00 MB", "512.00 KB"};
        script.caps[kGamma] = {"installed", "6.54 MB", "10.00 MB"};
        script.caps[kDelta] = {"Installed", "1.00 MB", "1.00 MB", 5};   // the query fails: nothing is taken
    }
    void TearDown() override
    {
        theApp.m_strDismPath = savedDism;
        StandinPageTest::TearDown();
    }
    void Play() { tools->SetScenarioText(script.Text()); }

    std::wstring savedDism;
    DismScript script;
};

TEST_F(CapabilitiesPage, CollectsIdentitiesThenDetailsAndShowsEachModesRows)
{
    Play();
    ExpectSelfClosingCommandWindow();
    bool seen = false;
    OnPage([](HWND dlg) {
        EXPECT_EQ(TextOf(dlg), kTitle);

        HWND list = ::GetDlgItem(dlg, IDC_LIST_ITEMS);
        const wchar_t* titles[] = {L"Capability", L"Status", L"Download", L"Install"};
        for (int i = 0; i < 4; ++i)
        {
            wchar_t title[32] = {};
            LVCOLUMNW col = {};
            col.mask = LVCF_TEXT | LVCF_FMT;
            col.pszText = title;
            col.cchTextMax = 32;
            ASSERT_TRUE(::SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&col)));
            EXPECT_EQ(std::wstring(title), titles[i]);
            EXPECT_EQ(col.fmt & LVCFMT_JUSTIFYMASK, i == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT) << i;
        }
        HWND combo = ::GetDlgItem(dlg, IDC_CB_MODE);
        const wchar_t* modes[] = {L"Add", L"Get Information", L"Remove"};
        const int values[] = {0, 2, 1};
        ASSERT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(::SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
        for (int i = 0; i < 3; ++i)
        {
            wchar_t text[32] = {};
            ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            EXPECT_EQ(std::wstring(text), modes[i]);
            EXPECT_EQ(::SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0), values[i]);
        }

        // "Add" lists what is not installed; a failed query, like none at all, leaves its row not
        // present and empty.
        EXPECT_EQ(Column(dlg, 0), (Texts{kAlpha, kBeta, kDelta, kEvil}));
        EXPECT_EQ(RowTexts(dlg, 0, 4), (Texts{kAlpha, L"Not Present", L"1 Mb", L"2 Mb"}));
        EXPECT_EQ(RowTexts(dlg, 1, 4), (Texts{kBeta, L"Not Present", L"1 Mb", L"512 Kb"}));
        EXPECT_EQ(RowTexts(dlg, 2, 4), (Texts{kDelta, L"Not Present", L"0 bytes", L"0 bytes"}));
        EXPECT_EQ(RowTexts(dlg, 3, 4), (Texts{kEvil, L"Not Present", L"0 bytes", L"0 bytes"}));
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 0/4  0 bytes  0 bytes");
        SetChecked(dlg, 0, true);
        SetChecked(dlg, 1, true);
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 2/4  2 Mb  2.50 Mb");
        SaveWindowBitmap(dlg, L"capabilities-page.bmp");

        SelectMode(dlg, L"Remove");
        EXPECT_EQ(Column(dlg, 0), (Texts{kGamma}));
        EXPECT_EQ(RowTexts(dlg, 0, 4), (Texts{kGamma, L"Installed", L"6.53 Mb", L"10 Mb"}));
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 0/1  0 bytes  0 bytes");

        SelectMode(dlg, L"Get Information");
        EXPECT_EQ(Column(dlg, 0), (Texts{kAlpha, kBeta, kDelta, kEvil, kGamma}));
        ClickColumn(dlg, 3);
        Texts bySize = Column(dlg, 0);
        ASSERT_EQ(bySize.size(), 5u);
        std::sort(bySize.begin(), bySize.begin() + 2);   // both install 0 bytes
        EXPECT_EQ(bySize, (Texts{kDelta, kEvil, kBeta, kAlpha, kGamma})) << "sorted by install size";
        ClickColumn(dlg, 1);
        EXPECT_EQ(Column(dlg, 1), (Texts{L"Not Present", L"Not Present", L"Not Present", L"Not Present", L"Installed"}));
    }, &seen);
    EXPECT_TRUE(TaskCapabilitiesOnDemand());
    EXPECT_TRUE(seen) << "the page never showed";
    EXPECT_EQ(tools->Commands(), (Texts{kInventory, Details(kBeta), Details(kDelta), Details(kAlpha), Details(kGamma)}))
        << "details run in reverse tool order, and the unsafe identity runs nothing";
}

TEST_F(CapabilitiesPage, CommitsAddRemoveAndGetInformationAndStopsAtAFailure)
{
    const std::wstring addAlpha = L"dism /english /online /add-capability /capabilityname=" + std::wstring(kAlpha);
    const std::wstring removeAlpha = L"dism /english /online /remove-capability /capabilityname=" + std::wstring(kAlpha);
    const std::wstring removeGamma = L"dism /english /online /remove-capability /capabilityname=" + std::wstring(kGamma);
    const std::wstring infoBeta = L"dism /english /online /get-capabilityinfo /capabilityname=" + std::wstring(kBeta);
    script.commits[addAlpha] = 0;
    script.commits[removeAlpha] = 0x800F0906;
    script.commits[removeGamma] = 0;
    script.commits[infoBeta] = 0;
    Play();
    ExpectSelfClosingCommandWindow();
    bool seen = false;
    OnPage([&](HWND dlg) {
        ASSERT_EQ(Column(dlg, 0), (Texts{kAlpha, kBeta, kDelta, kEvil}));

        // Add: the capability is installed afterwards, so it leaves the view.
        script.caps[kAlpha].state = "Installed";
        Play();
        tools->ClearCommands();
        SetChecked(dlg, 0, true);
        ExpectSelfClosingCommandWindow();
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_EQ(tools->Commands(), (Texts{addAlpha, Details(kAlpha)}));
        EXPECT_EQ(Column(dlg, 0), (Texts{kBeta, kDelta, kEvil}));

        // Remove: the first ticked row fails, so the second is not committed.
        SelectMode(dlg, L"Remove");
        ASSERT_EQ(Column(dlg, 0), (Texts{kAlpha, kGamma}));
        tools->ClearCommands();
        SetChecked(dlg, 0, true);
        SetChecked(dlg, 1, true);
        ExpectCommandWindowLeftOpen(L"DONE - (result: 2148468998 - 0)");
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_EQ(tools->Commands(), (Texts{removeAlpha}));
        EXPECT_EQ(Column(dlg, 0), (Texts{kAlpha, kGamma}));

        // Get Information: the window stays open after a success, then the row's details reload.
        SelectMode(dlg, L"Get Information");
        ASSERT_EQ(Column(dlg, 0), (Texts{kAlpha, kBeta, kDelta, kEvil, kGamma}));
        tools->ClearCommands();
        SetChecked(dlg, 1, true);
        ExpectCommandWindowLeftOpen(L"DONE - (result: 0 - 0)");
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_EQ(tools->Commands(), (Texts{infoBeta, Details(kBeta)}));
        EXPECT_EQ(RowTexts(dlg, 1, 4), (Texts{kBeta, L"Not Present", L"1 Mb", L"512 Kb"}));

        // A name that cannot go on a command line runs nothing, is named in one message, and stops
        // the commit like a failed command: the row after it is not committed.
        SetChecked(dlg, 1, false);
        SetChecked(dlg, 3, true);
        SetChecked(dlg, 4, true);
        tools->ClearCommands();
        bool told = false;
        ExpectRefusedNames(Texts{kEvil}, &told);
        Click(dlg, IDC_BTN_COMMIT);
        EXPECT_TRUE(told) << "the refused name was not told";
        EXPECT_TRUE(tools->Commands().empty());
        EXPECT_EQ(Column(dlg, 0), (Texts{kAlpha, kBeta, kDelta, kEvil, kGamma}));
    }, &seen);
    EXPECT_TRUE(TaskCapabilitiesOnDemand());
    EXPECT_TRUE(seen) << "the page never showed";
}

TEST_F(CapabilitiesPage, FailedInventoryShowsAnEmptyPageWithoutDetails)
{
    script.inventoryExit = 0x800F081F;
    Play();
    ExpectCommandWindowLeftOpen(L"DONE - (result: 2148468767 - 0)");
    bool seen = false;
    OnPage([](HWND dlg) {
        EXPECT_EQ(Rows(dlg), 0);
        EXPECT_EQ(ItemText(dlg, IDC_ST_STATUS), L"Selected items: 0/0  0 bytes  0 bytes");
    }, &seen);
    EXPECT_TRUE(TaskCapabilitiesOnDemand());
    EXPECT_TRUE(seen) << "the page never showed";
    EXPECT_EQ(tools->Commands(), (Texts{kInventory}));
}

} // namespace
