// The capabilities page's texts without windows: sizes, identities, inventory, details, order,
// modes and the commit command lines, then the silent detail query against a stand-in tool.
#include "pages/capabilities/DlgSysCapsOnDemand.h"
#include "app/App.h"
#include "tests/standin/StandinFixture.h"

#include <gtest/gtest.h>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

typedef std::vector<std::wstring> Texts;

const uint64_t kMax = UINT64_MAX;

// The rows of a page in list order (head first, the reverse of the text's order).
Texts Identities(const CDlgSysCapsOnDemand& page)
{
    Texts ids;
    for (CDlgListItem* item = page.m_pItems; item != nullptr; item = item->m_pNext)
        ids.push_back(item->m_strKey);
    return ids;
}

int ParseInto(CDlgSysCapsOnDemand& page, const std::wstring& text)
{
    TLineReader reader(text);
    return page.ParseInventory(reader);
}

CDlgSysCapsOnDemandItem* NewRow(CDlgListItem** head, const std::wstring& identity, bool installed = false,
                                uint64_t download = 0, uint64_t install = 0)
{
    CDlgSysCapsOnDemandItem* row = new CDlgSysCapsOnDemandItem(head);
    row->m_strKey = identity;
    row->m_bInstalled = installed;
    row->m_nDownloadSize = download;
    row->m_nInstallSize = install;
    return row;
}

void DeleteRows(CDlgListItem*& head)
{
    while (head != nullptr)
    {
        CDlgListItem* next = head->m_pNext;
        delete head;
        head = next;
    }
}

TEST(CapabilitySizeText, TwoDecimalSizesScaleByTheirUnitAndEverythingElseIsBareDigits)
{
    EXPECT_EQ(ParseSizeText(L"6.54 MB"), 6857687u);
    EXPECT_EQ(ParseSizeText(L"512.00 KB"), 524288u);
    EXPECT_EQ(ParseSizeText(L"1,024.00 KB"), 1048576u) << "the thousands separator is skipped like the point";
    EXPECT_EQ(ParseSizeText(L"0 bytes"), 0u);
    EXPECT_EQ(ParseSizeText(L"733 bytes"), 733u);
    EXPECT_EQ(ParseSizeText(L"1.25 TB"), 125u) << "a unit above G is taken as its bare digits";
    EXPECT_EQ(ParseSizeText(L"6.54 mb"), 654u) << "only upper-case units count";
    EXPECT_EQ(ParseSizeText(L"7"), 7u);
    EXPECT_EQ(ParseSizeText(L"x"), 0u);
    EXPECT_EQ(ParseSizeText(L""), 0u);
    EXPECT_EQ(ParseSizeText(L"KB"), 0u);
    EXPECT_EQ(ParseSizeText(L"1.50 GB"), 1610612736u);
    // The division cuts off: 1 hundredth of a Kb is 10.24 bytes.
    EXPECT_EQ(ParseSizeText(L"0.01 KB"), 10u);
}

TEST(CapabilitySizeText, SizesBeyondSixtyFourBitsStayAtTheLargestValue)
{
    EXPECT_EQ(ParseSizeText(L"18446744073709551615 bytes"), kMax);
    EXPECT_EQ(ParseSizeText(L"18446744073709551616 bytes"), kMax) << "one more must not wrap to 0";
    EXPECT_EQ(ParseSizeText(L"99999999999999999999999999.00 KB"), kMax);
    // Digits that fit, but whose scaled value does not.
    EXPECT_EQ(ParseSizeText(L"100000000000000000.00 MB"), kMax);
    EXPECT_EQ(ParseSizeText(L"720575940379279.35 KB"), 72057594037927935u * 256 / 25);
}

TEST(CapabilityIdentity, OnlyTheCharactersOfRealIdentitiesMayReachACommandLine)
{
    for (const wchar_t* good : {L"Language.Basic~~~en-US~0.0.1.0", L"OpenSSH.Client~~~~0.0.1.0", L"WMIC~~~~",
                                L"Rsat.ActiveDirectory.DS-LDS.Tools~~~~0.0.1.0", L"Print_Fax"})
        EXPECT_TRUE(IsCapabilityNameSafe(good)) << std::wstring(good).c_str();
    for (const wchar_t* bad : {L"", L" ", L"App X", L"App\"X", L"App/norestart", L"App\\X", L"App&calc", L"App|x",
                               L"App\tX", L"App\rX", L"Caf\u00e9", L"App>out", L"%PATH%"})
        EXPECT_FALSE(IsCapabilityNameSafe(bad)) << std::wstring(bad).c_str();
    EXPECT_TRUE(IsCapabilityNameSafe(std::wstring(256, L'a')));
    EXPECT_FALSE(IsCapabilityNameSafe(std::wstring(257, L'a')));
}

const wchar_t kInventory[] =
    L"\r\nDeployment Image Servicing and Management tool\r\nVersion: 10.0.19041.844\r\n\r\n"
    L"Image Version: 10.0.19045.2965\r\n\r\nCapability listing:\r\n\r\n"
    L"Capability Identity : Accessibility.Braille~~~~0.0.1.0\r\nState : Not Present\r\n\r\n"
    L"Capability Identity : App.StepsRecorder~~~~0.0.1.0\r\nState : Installed\r\n\r\n"
    L"Capability Identity : Language.Basic~~~en-US~0.0.1.0\r\nState : Installed\r\n\r\n"
    L"The operation completed successfully.\r\n";

TEST(CapabilityInventory, EveryIdentityLineMakesARowInReverseOrderAndStatesWaitForTheDetails)
{
    CDlgSysCapsOnDemand page(nullptr);
    EXPECT_EQ(ParseInto(page, kInventory), 3);
    EXPECT_EQ(page.m_nItemCount, 3);
    EXPECT_EQ(Identities(page), (Texts{L"Language.Basic~~~en-US~0.0.1.0", L"App.StepsRecorder~~~~0.0.1.0",
                                       L"Accessibility.Braille~~~~0.0.1.0"}));
    for (CDlgListItem* item = page.m_pItems; item != nullptr; item = item->m_pNext)
    {
        const CDlgSysCapsOnDemandItem* row = static_cast<CDlgSysCapsOnDemandItem*>(item);
        EXPECT_FALSE(row->m_bInstalled) << "the inventory's own state lines are not read";
        EXPECT_EQ(row->m_nDownloadSize, 0u);
        EXPECT_EQ(row->m_nInstallSize, 0u);
    }
}

TEST(CapabilityInventory, AwkwardLinesAndEmptyTexts)
{
    CDlgSysCapsOnDemand none(nullptr);
    EXPECT_EQ(ParseInto(none, L"Capability listing:\r\n\r\nThe operation completed successfully.\r\n"), 0);
    EXPECT_EQ(ParseInto(none, L""), 0);
    EXPECT_EQ(none.m_nItemCount, 0);
    EXPECT_EQ(none.m_pItems, nullptr);

    CDlgSysCapsOnDemand page(nullptr);
    const std::wstring text =
        std::wstring(L"capability identity : Lower.Key~~~~0.0.1.0\r\n")   // key in lower case counts
        + L"Capability Identity :\r\n"                                      // 21 characters: never the key
        + L"Capability Identity :X\r\n"                                     // the blank of the key is missing
        + L"Capability Identity : \r\n"                                     // key only: one blank
        + L"Capability Identity :       \r\n"                               // blanks only: one blank
        + L"  Capability Identity : Indented~~~~\r\n"                       // not at the line start
        + L"Capability Identity : Two Words~~~~\r\n"                        // listed; no command may take it
        + L"Capability Identity : Quote\"~~~~\r\n"
        + L"Capability Identity : A~~~~ /norestart\r\n"
        + L"Capability Identity :   Padded~~~~0.0.1.0   \r\n"               // blanks trimmed
        + L"Capability Identity : LoneCr.One~~~~\rCapability Identity : LoneCr.Two~~~~\r\n"
        + L"Capability Identity : Last.NoCr~~~~0.0.1.0  ";                  // final line without CR, blanks kept
    EXPECT_EQ(ParseInto(page, text), 9);
    // A lone CR ends a line and swallows the character after it, so the second key loses its "C".
    EXPECT_EQ(Identities(page), (Texts{L"Last.NoCr~~~~0.0.1.0  ", L"LoneCr.One~~~~", L"Padded~~~~0.0.1.0",
                                       L"A~~~~ /norestart", L"Quote\"~~~~", L"Two Words~~~~", L" ", L" ",
                                       L"Lower.Key~~~~0.0.1.0"}));
    EXPECT_EQ(page.m_nItemCount, 9);
}

TEST(CapabilityInventory, GarbageNeverCrashesNorPutsAnUnsafeIdentityOnACommandLine)
{
    // Pseudo-random text with the key sprinkled in, plus every control character.
    std::wstring text;
    uint32_t seed = 12345;
    for (int i = 0; i < 20000; ++i)
    {
        seed = seed * 1103515245u + 12345u;
        const unsigned r = (seed >> 16) & 0x7FFF;
        if (r % 97 == 0)
            text += L"Capability Identity : ";
        else if (r % 13 == 0)
            text += L'\r';
        else
            text += static_cast<wchar_t>(r % 300);
    }
    CDlgSysCapsOnDemand page(nullptr);
    const int made = ParseInto(page, text);
    EXPECT_EQ(page.m_nItemCount, made);
    EXPECT_EQ(static_cast<int>(Identities(page).size()), made);
    const std::wstring prefix = L"dism /english /online /add-capability /capabilityname=";
    std::wstring line;
    unsigned flags = 0;
    for (const std::wstring& id : Identities(page))
    {
        if (CDlgSysCapsOnDemand::BuildCommitCommand(CAPS_MODE_ADD, id, line, flags))
        {
            EXPECT_TRUE(IsCapabilityNameSafe(line.substr(prefix.size())));
        }
    }
}

const wchar_t kDetails[] =
    L"\r\nDeployment Image Servicing and Management tool\r\nVersion: 10.0.19041.844\r\n\r\n"
    L"Capability Information:\r\n\r\nCapability Identity : OpenSSH.Client~~~~0.0.1.0\r\n"
    L"Name : OpenSSH.Client\r\nState : Installed\r\nDisplay Name : OpenSSH Client\r\n"
    L"Description : Free, open-source, secure shell (SSH) client for secure key management and access to\r\n"
    L"remote machines.\r\nDownload Size : 1.31 MB\r\nInstall Size : 5.25 MB\r\n\r\n"
    L"The operation completed successfully.\r\n";

TEST(CapabilityDetails, StateAndSizesAreTakenInTheirOrder)
{
    CDlgListItem* head = nullptr;
    CDlgSysCapsOnDemandItem* row = NewRow(&head, L"OpenSSH.Client~~~~0.0.1.0");
    TLineReader reader(kDetails);
    row->ParseDetails(reader);
    EXPECT_TRUE(row->m_bInstalled);
    EXPECT_EQ(row->m_nDownloadSize, 131u * 1048576 / 100);
    EXPECT_EQ(row->m_nInstallSize, 525u * 1048576 / 100);

    // Keys and the state in lower case; the last line has no CR and keeps its blanks.
    TLineReader lower(L"state : installed\r\ndownload size : 512.00 KB\r\ninstall size : 0.50 KB  ");
    CDlgSysCapsOnDemandItem* other = NewRow(&head, L"Other~~~~");
    other->ParseDetails(lower);
    EXPECT_TRUE(other->m_bInstalled);
    EXPECT_EQ(other->m_nDownloadSize, 524288u);
    EXPECT_EQ(other->m_nInstallSize, 512u);
    DeleteRows(head);
}

TEST(CapabilityDetails, OtherStatesMissingKeysAndOutOfOrderSizes)
{
    CDlgListItem* head = nullptr;
    CDlgSysCapsOnDemandItem* row = NewRow(&head, L"Cap~~~~", true, 11, 22);

    // A pending state is not installed; sizes given in the wrong order: install keeps its value.
    TLineReader pending(L"State : Install Pending\r\nInstall Size : 9.00 MB\r\nDownload Size : 1.00 KB\r\n");
    row->ParseDetails(pending);
    EXPECT_FALSE(row->m_bInstalled);
    EXPECT_EQ(row->m_nDownloadSize, 1024u);
    EXPECT_EQ(row->m_nInstallSize, 22u) << "the search for the install size starts after the download line";

    // No keys at all, or an empty text (a failed query): nothing changes.
    row->m_bInstalled = true;
    TLineReader nothing(L"Error: 87\r\n\r\nThe option is unknown.\r\n");
    row->ParseDetails(nothing);
    TLineReader empty;
    row->ParseDetails(empty);
    EXPECT_TRUE(row->m_bInstalled);
    EXPECT_EQ(row->m_nDownloadSize, 1024u);
    EXPECT_EQ(row->m_nInstallSize, 22u);

    // Only a state: the sizes stay.
    TLineReader stateOnly(L"State : Not Present");
    row->ParseDetails(stateOnly);
    EXPECT_FALSE(row->m_bInstalled);
    EXPECT_EQ(row->m_nDownloadSize, 1024u);

    // "Installed" must be the whole value.
    row->m_bInstalled = false;
    TLineReader longer(L"State : Installed partly\r\n");
    row->ParseDetails(longer);
    EXPECT_FALSE(row->m_bInstalled);

    row->ResetDetails();
    EXPECT_EQ(row->m_strKey, L"");
    EXPECT_FALSE(row->m_bInstalled);
    EXPECT_EQ(row->m_nDownloadSize, 0u);
    EXPECT_EQ(row->m_nInstallSize, 0u);
    DeleteRows(head);
}

TEST(CapabilityRowOrder, EachColumnComparesItsOwnField)
{
    CDlgListItem* head = nullptr;
    CDlgSysCapsOnDemandItem* a = NewRow(&head, L"alpha~~~~", false, 1ull << 63, 5);
    CDlgSysCapsOnDemandItem* b = NewRow(&head, L"BRAVO~~~~", true, 1, 5);
    CDlgSysCapsOnDemandItem* a2 = NewRow(&head, L"ALPHA~~~~", false, 1ull << 63, 6);

    EXPECT_LT(a->Compare(0, b), 0) << "case is ignored: alpha before BRAVO";
    EXPECT_GT(b->Compare(0, a), 0);
    EXPECT_EQ(a->Compare(0, a2), 0);
    EXPECT_EQ(a->Compare(1, b), -1) << "not installed comes first";
    EXPECT_EQ(b->Compare(1, a), 1);
    EXPECT_EQ(a->Compare(1, a2), 0);
    EXPECT_EQ(a->Compare(2, b), 1) << "sizes compare unsigned";
    EXPECT_EQ(b->Compare(2, a), -1);
    EXPECT_EQ(a->Compare(2, a2), 0);
    EXPECT_EQ(a->Compare(3, a2), -1);
    EXPECT_EQ(a2->Compare(3, a), 1);
    EXPECT_EQ(a->Compare(3, b), 0);
    EXPECT_EQ(a->Compare(4, b), 0);
    EXPECT_EQ(a->Compare(-1, b), 0);

    std::wstring label;
    b->GetLabel(label);
    EXPECT_EQ(label, L"BRAVO~~~~");
    DeleteRows(head);
}

TEST(CapabilityModes, EachModeShowsItsRowsAndRunsItsCommandLine)
{
    CDlgSysCapsOnDemand page(nullptr);
    CDlgListItem* head = nullptr;
    CDlgSysCapsOnDemandItem* present = NewRow(&head, L"Present~~~~", true);
    CDlgSysCapsOnDemandItem* absent = NewRow(&head, L"Absent~~~~", false);
    EXPECT_TRUE(page.IsItemShown(CAPS_MODE_ADD, absent));
    EXPECT_FALSE(page.IsItemShown(CAPS_MODE_ADD, present));
    EXPECT_TRUE(page.IsItemShown(CAPS_MODE_REMOVE, present));
    EXPECT_FALSE(page.IsItemShown(CAPS_MODE_REMOVE, absent));
    EXPECT_TRUE(page.IsItemShown(CAPS_MODE_INFO, present));
    EXPECT_TRUE(page.IsItemShown(CAPS_MODE_INFO, absent));
    EXPECT_FALSE(page.IsItemShown(3, absent));
    EXPECT_FALSE(page.IsItemShown(-1, present));
    DeleteRows(head);

    std::wstring line;
    unsigned flags = 99;
    ASSERT_TRUE(CDlgSysCapsOnDemand::BuildCommitCommand(CAPS_MODE_ADD, L"Tools.X~~~~0.0.1.0", line, flags));
    EXPECT_EQ(line, L"dism /english /online /add-capability /capabilityname=Tools.X~~~~0.0.1.0");
    EXPECT_EQ(flags, 7u);
    ASSERT_TRUE(CDlgSysCapsOnDemand::BuildCommitCommand(CAPS_MODE_REMOVE, L"Tools.X~~~~0.0.1.0", line, flags));
    EXPECT_EQ(line, L"dism /english /online /remove-capability /capabilityname=Tools.X~~~~0.0.1.0");
    EXPECT_EQ(flags, 7u);
    ASSERT_TRUE(CDlgSysCapsOnDemand::BuildCommitCommand(CAPS_MODE_INFO, L"Tools.X~~~~0.0.1.0", line, flags));
    EXPECT_EQ(line, L"dism /english /online /get-capabilityinfo /capabilityname=Tools.X~~~~0.0.1.0");
    EXPECT_EQ(flags, 2u);

    line = L"unchanged";
    EXPECT_FALSE(CDlgSysCapsOnDemand::BuildCommitCommand(3, L"Tools.X~~~~", line, flags));
    EXPECT_FALSE(CDlgSysCapsOnDemand::BuildCommitCommand(-1, L"Tools.X~~~~", line, flags));
    EXPECT_FALSE(CDlgSysCapsOnDemand::BuildCommitCommand(CAPS_MODE_ADD, L"X /norestart", line, flags));
    EXPECT_FALSE(CDlgSysCapsOnDemand::BuildCommitCommand(CAPS_MODE_REMOVE, L" ", line, flags));
    EXPECT_EQ(line, L"unchanged");
    // The blanks and tabs a last line without CR keeps are not part of the identity the command gets.
    for (const wchar_t* kept : {L"Last.NoCr~~~~0.0.1.0  ", L"Last.NoCr~~~~0.0.1.0\t", L"Last.NoCr~~~~0.0.1.0 \t"})
    {
        ASSERT_TRUE(CDlgSysCapsOnDemand::BuildCommitCommand(CAPS_MODE_ADD, kept, line, flags)) << kept;
        EXPECT_EQ(line, L"dism /english /online /add-capability /capabilityname=Last.NoCr~~~~0.0.1.0");
    }
}

// The detail query of one row, run silently against the stand-in "dism".
class CapabilityDetailQuery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tools.reset(new StandinFixture());
        tools->InstallTool(L"dism.exe");
        savedDism = theApp.m_strDismPath;
        theApp.m_strDismPath = tools->SystemFolder() + L"\\dism.exe";
    }
    void TearDown() override
    {
        theApp.m_strDismPath = savedDism;
        DeleteRows(head);
        tools.reset();
    }
    std::unique_ptr<StandinFixture> tools;
    std::wstring savedDism;
    CDlgListItem* head = nullptr;
};

TEST_F(CapabilityDetailQuery, RunsItsCommandLineAndKeepsTheRowWhenTheQueryFails)
{
    tools->AddEntry(StandinEntry::Exact(L"dism /online /get-capabilityinfo /capabilityname=Good~~~~0.0.1.0 /english")
                        .Stdout("Capability Identity : Good~~~~0.0.1.0\r\nState : Installed\r\n"
                                "Download Size : 2.00 MB\r\nInstall Size : 3.00 KB\r\n")
                        .Exit(0));
    // A failing query prints keys all the same: they must not be taken.
    tools->AddEntry(StandinEntry::Exact(L"dism /online /get-capabilityinfo /capabilityname=Bad~~~~ /english")
                        .Stdout("State : Installed\r\nDownload Size : 9.00 MB\r\n")
                        .Exit(0x800F080C));
    tools->AddEntry(StandinEntry::Exact(L"dism /online /get-capabilityinfo /capabilityname=Last~~~~0.0.1.0 /english")
                        .Stdout("State : Installed\r\nDownload Size : 1.00 KB\r\n")
                        .Exit(0));
    tools->AddEntry(StandinEntry::Glob(L"*").Exit(77));

    // The inventory's last line, without CR, keeps its tab; the query asks for the name without it.
    CDlgSysCapsOnDemand page(nullptr);
    ASSERT_EQ(ParseInto(page, L"Capability Identity : Last~~~~0.0.1.0 \t"), 1);
    CDlgSysCapsOnDemandItem* last = static_cast<CDlgSysCapsOnDemandItem*>(page.m_pItems);
    ASSERT_EQ(last->m_strKey, L"Last~~~~0.0.1.0 \t");
    last->LoadDetails(nullptr);
    EXPECT_TRUE(last->m_bInstalled);
    EXPECT_EQ(last->m_nDownloadSize, 1024u);
    EXPECT_EQ(tools->Commands(), (Texts{L"dism /online /get-capabilityinfo /capabilityname=Last~~~~0.0.1.0 /english"}));
    tools->ClearCommands();

    CDlgSysCapsOnDemandItem* good = NewRow(&head, L"Good~~~~0.0.1.0");
    CDlgSysCapsOnDemandItem* bad = NewRow(&head, L"Bad~~~~", false, 5, 6);
    CDlgSysCapsOnDemandItem* unsafe = NewRow(&head, L"Bad~~~~ /norestart", false, 7, 8);
    good->LoadDetails(nullptr);
    bad->LoadDetails(nullptr);
    unsafe->LoadDetails(nullptr);

    EXPECT_TRUE(good->m_bInstalled);
    EXPECT_EQ(good->m_nDownloadSize, 2097152u);
    EXPECT_EQ(good->m_nInstallSize, 3072u);
    EXPECT_FALSE(bad->m_bInstalled);
    EXPECT_EQ(bad->m_nDownloadSize, 5u);
    EXPECT_EQ(bad->m_nInstallSize, 6u);
    EXPECT_EQ(unsafe->m_nDownloadSize, 7u);
    EXPECT_EQ(tools->Commands(), (Texts{L"dism /online /get-capabilityinfo /capabilityname=Good~~~~0.0.1.0 /english",
                                        L"dism /online /get-capabilityinfo /capabilityname=Bad~~~~ /english"}))
        << "an identity that could carry arguments is never run";
}

} // namespace
