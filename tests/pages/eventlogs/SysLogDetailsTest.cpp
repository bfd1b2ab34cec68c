// A channel row loading its details: the registry value first, then the hidden "wevtutil" runs,
// played by the stand-in tool, in a throw-away system folder.
#include "pages/eventlogs/DlgSysLog.h"
#include "pages/eventlogs/DlgSysLogItem.h"
#include "app/App.h"
#include "tests/helpers/CommitRefusal.h"
#include "tests/standin/StandinFixture.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::wstring> Texts;

const wchar_t kChannels[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Channels\\";

const char kInfo[] =
    "creationTime: 2021-05-06T09:27:39.1234567Z\r\n"
    "lastAccessTime: 2023-01-02T03:04:05.6789012Z\r\n"
    "lastWriteTime: 2023-01-02T03:04:06.0000000Z\r\n"
    "fileSize: 69632\r\n"
    "attributes: 32\r\n"
    "numberOfLogRecords: 120\r\n"
    "oldestRecordNumber: 1\r\n";

const char kConfig[] =
    "name: X\r\n"
    "enabled: false\r\n"
    "type: Operational\r\n"
    "isolation: Application\r\n"
    "logging:\r\n"
    "  logFileName: %SystemRoot%\\System32\\Winevt\\Logs\\X.evtx\r\n"
    "  retention: true\r\n"
    "  maxSize: 1052672\r\n";

// Channel keys under HKLM made for one test and removed afterwards.
class ChannelKeys
{
public:
    ~ChannelKeys()
    {
        for (auto it = m_made.rbegin(); it != m_made.rend(); ++it)
            ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kChannels + *it).c_str());
    }
    // A key with an "Enabled" value of the given type and bytes (none when type is REG_NONE).
    void Make(const std::wstring& name, DWORD type = REG_NONE, const void* data = nullptr, DWORD size = 0)
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kChannels + name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        m_made.push_back(name);
        if (type != REG_NONE)
        {
            EXPECT_EQ(::RegSetValueExW(key, L"Enabled", 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        }
        ::RegCloseKey(key);
    }
    void Enabled(const std::wstring& name, DWORD value) { Make(name, REG_DWORD, &value, sizeof(value)); }
    void Remove(const std::wstring& name)
    {
        EXPECT_EQ(::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kChannels + name).c_str()), ERROR_SUCCESS);
    }

private:
    std::vector<std::wstring> m_made;
};

class SysLogDetails : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tools.reset(new StandinFixture());
        tools->InstallTool(L"wevtutil.exe");
        theApp.m_strSysDir = tools->SystemFolder() + L"\\";
        page.reset(new CDlgSysLog(nullptr));
        prefix = L"VantrelTest" + std::to_wstring(::GetCurrentProcessId()) + L"-";
    }
    void TearDown() override
    {
        page.reset();
        keys.reset();
        tools.reset();
    }

    // A row of the page named prefix + name.
    CDlgSysLogItem* Row(const std::wstring& name)
    {
        CDlgSysLogItem* row = new CDlgSysLogItem(&page->m_pItems);
        row->m_strKey = prefix + name;
        ++page->m_nItemCount;
        return row;
    }
    std::wstring Quoted(const std::wstring& name) { return L"\"" + prefix + name + L"\""; }
    std::wstring Label(CDlgSysLogItem* row)
    {
        std::wstring label;
        row->GetLabel(label);
        return label;
    }

    std::unique_ptr<StandinFixture> tools;
    std::unique_ptr<CDlgSysLog> page;
    std::unique_ptr<ChannelKeys> keys{new ChannelKeys};
    std::wstring prefix;
};

TEST_F(SysLogDetails, DisabledOrUnreadableRegistryValueRunsNoTool)
{
    tools->AddEntry(StandinEntry::Glob(L"*").Stdout(kInfo));
    keys->Enabled(prefix + L"Off", 0);
    keys->Make(prefix + L"NoValue");
    keys->Make(prefix + L"Text", REG_SZ, L"1", 4);
    const BYTE eight[8] = {1};
    keys->Make(prefix + L"Long", REG_BINARY, eight, 8);

    CDlgSysLogItem* off = Row(L"Off");
    off->LoadDetails(page.get());
    EXPECT_EQ(off->m_dwFlags, static_cast<uint32_t>(SYSLOG_ENABLED_KNOWN));
    EXPECT_EQ(Label(off), prefix + L"Off");
    for (const wchar_t* name : {L"NoValue", L"Text", L"Long"})
    {
        CDlgSysLogItem* row = Row(name);
        row->LoadDetails(page.get());
        EXPECT_EQ(row->m_dwFlags, 0u) << std::string(name, name + wcslen(name));
    }
    EXPECT_EQ(tools->Commands(), Texts{});
}

TEST_F(SysLogDetails, EnabledChannelTakesLogInformationThenConfiguration)
{
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gli " + Quoted(L"On")).Stdout(kInfo));
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gl " + Quoted(L"On")).Stdout(kConfig));
    // A 4-byte binary value reads as a number too.
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gli " + Quoted(L"Bin")).Stdout("fileSize: 1\r\n"));
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gl " + Quoted(L"Bin")).Stdout("  maxSize: 100\r\n"));
    tools->AddEntry(StandinEntry::Glob(L"*").Exit(77));
    keys->Enabled(prefix + L"On", 1);
    const DWORD two = 2;
    keys->Make(prefix + L"Bin", REG_BINARY, &two, 4);

    CDlgSysLogItem* on = Row(L"On");
    on->LoadDetails(page.get());
    EXPECT_EQ(on->m_dwFlags, static_cast<uint32_t>(SYSLOG_HAS_INFO | SYSLOG_ENABLED | SYSLOG_ENABLED_KNOWN | SYSLOG_RETENTION |
                                                    SYSLOG_RETENTION_KNOWN | SYSLOG_ISOLATION_KNOWN | SYSLOG_MAXSIZE_KNOWN))
        << "the registry's answer stands against the tool's enabled line";
    EXPECT_EQ(on->m_nFileSize, 69632u);
    EXPECT_EQ(on->m_nRecordCount, 120u);
    EXPECT_EQ(on->m_nMaxSize, 1052672u);
    EXPECT_EQ(on->m_strIsolation, L"Application");
    EXPECT_EQ(on->m_strCreationTime, L"2021-05-06 09:27:39");
    EXPECT_TRUE(page->IsItemShown(CDlgSysLog::MODE_CLEAN, on));
    EXPECT_TRUE(page->IsItemShown(CDlgSysLog::MODE_SET_MAX_SIZE, on));

    CDlgSysLogItem* bin = Row(L"Bin");
    bin->LoadDetails(page.get());
    EXPECT_TRUE(bin->m_dwFlags & SYSLOG_ENABLED);
    EXPECT_EQ(bin->m_nMaxSize, 100u);

    EXPECT_EQ(tools->Commands(), (Texts{L"wevtutil gli " + Quoted(L"On"), L"wevtutil gl " + Quoted(L"On"),
                                        L"wevtutil gli " + Quoted(L"Bin"), L"wevtutil gl " + Quoted(L"Bin")}));
}

TEST_F(SysLogDetails, ChannelWithoutKeyAsksBothToolsForEverything)
{
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gli " + Quoted(L"Ghost")).Stdout("numberOfLogRecords: 7\r\n"));
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gl " + Quoted(L"Ghost")).Stdout("name: Ghost\r\nenabled: true\r\n"));
    CDlgSysLogItem* ghost = Row(L"Ghost");
    ghost->LoadDetails(page.get());
    EXPECT_EQ(ghost->m_dwFlags,
              static_cast<uint32_t>(SYSLOG_NO_KEY | SYSLOG_HAS_INFO | SYSLOG_ENABLED | SYSLOG_ENABLED_KNOWN));
    EXPECT_EQ(Label(ghost), L"* " + prefix + L"Ghost");
    EXPECT_EQ(ghost->m_nRecordCount, 7u);

    // Each load starts afresh: with a key and the value 0 now, nothing of before survives.
    tools->ClearCommands();
    keys->Enabled(prefix + L"Ghost", 0);
    ghost->LoadDetails(page.get());
    EXPECT_EQ(ghost->m_dwFlags, static_cast<uint32_t>(SYSLOG_ENABLED_KNOWN));
    EXPECT_EQ(ghost->m_nRecordCount, 0u);
    EXPECT_EQ(Label(ghost), prefix + L"Ghost");
    EXPECT_EQ(tools->Commands(), Texts{});

    // And without the key again, the mark comes back.
    keys->Remove(prefix + L"Ghost");
    ghost->LoadDetails(page.get());
    EXPECT_TRUE(ghost->m_dwFlags & SYSLOG_NO_KEY);
    EXPECT_EQ(tools->Commands().size(), 2u);
}

TEST_F(SysLogDetails, ToolOutputIsReadWhateverTheExitCode)
{
    // The keys of a failing run are taken all the same.
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gli " + Quoted(L"Fails")).Stdout("fileSize: 512\r\n").Exit(5));
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gl " + Quoted(L"Fails")).Stderr("  retention: true\r\n").Exit(15007));
    // Only an error message: no information, so no configuration run.
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gli " + Quoted(L"Gone"))
                        .Stderr("Failed to read log information for Gone.\r\nThe specified channel could not be found.\r\n")
                        .Exit(15007));
    // Nothing at all, and a zero byte first: no text either.
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gli " + Quoted(L"Mute")).Exit(0));
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gli " + Quoted(L"Zero")).Stdout(std::string("\0fileSize: 1\r\n", 14)));
    // Output that could be stored only in part (its first page) is not read at all.
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gli " + Quoted(L"Partial"))
                        .Stdout("fileSize: 512\r\n" + std::string(5000, ' ') + "\r\n").Exit(0));
    tools->AddEntry(StandinEntry::Glob(L"*").Stdout(kInfo).Exit(77));

    CDlgSysLogItem* fails = Row(L"Fails");
    fails->LoadDetails(page.get());
    EXPECT_EQ(fails->m_nFileSize, 512u);
    EXPECT_TRUE(fails->m_dwFlags & SYSLOG_RETENTION);
    for (const wchar_t* name : {L"Gone", L"Mute", L"Zero", L"Partial"})
    {
        CDlgSysLogItem* row = Row(name);
        TCommitRefusal refusal(std::wstring(name) == L"Partial" ? 1 : TCommitRefusal::ALL);
        row->LoadDetails(page.get());
        EXPECT_EQ(row->m_dwFlags, static_cast<uint32_t>(SYSLOG_NO_KEY)) << std::string(name, name + wcslen(name));
        EXPECT_FALSE(page->IsItemShown(CDlgSysLog::MODE_CLEAN, row));
    }
    EXPECT_EQ(tools->Commands(), (Texts{L"wevtutil gli " + Quoted(L"Fails"), L"wevtutil gl " + Quoted(L"Fails"),
                                        L"wevtutil gli " + Quoted(L"Gone"), L"wevtutil gli " + Quoted(L"Mute"),
                                        L"wevtutil gli " + Quoted(L"Zero"), L"wevtutil gli " + Quoted(L"Partial")}));
}

TEST_F(SysLogDetails, UnusableOrCutNameReachesNoToolNorAnotherKey)
{
    tools->AddEntry(StandinEntry::Glob(L"*").Stdout(kInfo));
    // "Parent\Child" would open this key if the name went into the path as it is; a cut name may
    // be the whole name of another channel.
    keys->Make(prefix + L"Parent");
    keys->Enabled(prefix + L"Parent\\Child", 1);
    keys->Enabled(prefix + L"Cut", 1);
    CDlgSysLogItem* sneaky = Row(L"Parent\\Child");
    sneaky->LoadDetails(page.get());
    EXPECT_EQ(sneaky->m_dwFlags, static_cast<uint32_t>(SYSLOG_NO_KEY));
    CDlgSysLogItem* cut = Row(L"Cut");
    cut->m_bNameCut = true;
    cut->LoadDetails(page.get());
    EXPECT_EQ(cut->m_dwFlags, static_cast<uint32_t>(SYSLOG_NO_KEY));
    // Its registry key is read like any other; the tools are not asked.
    keys->Enabled(prefix + L"x\" /bu:y", 1);
    CDlgSysLogItem* quote = Row(L"x\" /bu:y");
    quote->LoadDetails(page.get());
    EXPECT_EQ(quote->m_dwFlags, static_cast<uint32_t>(SYSLOG_ENABLED | SYSLOG_ENABLED_KNOWN));
    EXPECT_EQ(Label(quote), prefix + L"x\" /bu:y");

    // Nor does a commit of such a row: it is refused by name, and the commit goes on past it. Nor
    // a size the prompt cannot give, nor another mode.
    CDlgSysLogItem* fine = Row(L"Fine");
    EXPECT_TRUE(page->CommitItem(CDlgSysLog::MODE_CLEAN, quote, 0));
    EXPECT_TRUE(page->CommitItem(CDlgSysLog::MODE_SET_MAX_SIZE, cut, 1));
    EXPECT_EQ(page->RefusedNames().Names(), (Texts{prefix + L"x\" /bu:y", prefix + L"Cut"}));
    EXPECT_FALSE(page->CommitItem(CDlgSysLog::MODE_SET_MAX_SIZE, fine, 0));
    EXPECT_FALSE(page->CommitItem(CDlgSysLog::MODE_SET_MAX_SIZE, fine, 4096));
    EXPECT_FALSE(page->CommitItem(7, fine, 1));
    EXPECT_FALSE(page->CommitItem(7, quote, 1));
    EXPECT_EQ(page->RefusedNames().Names().size(), 2u);
    EXPECT_EQ(tools->Commands(), Texts{});
}

TEST_F(SysLogDetails, ToolStillRunningAfterFiveSecondsIsGivenUpAndItsOutputRead)
{
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gli " + Quoted(L"Slow")).Stdout("fileSize: 77\r\n").Sleep(7000));
    tools->AddEntry(StandinEntry::Exact(L"wevtutil gl " + Quoted(L"Slow")).Stdout("  maxSize: 154\r\n"));
    CDlgSysLogItem* slow = Row(L"Slow");
    const DWORD start = ::GetTickCount();
    slow->LoadDetails(page.get());
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, 4900u);
    EXPECT_LT(elapsed, 6800u) << "waited for the tool instead of giving it up";
    EXPECT_EQ(slow->m_nFileSize, 77u);
    EXPECT_EQ(slow->m_nMaxSize, 154u);
    EXPECT_EQ(CDlgSysLogItem::FillText(slow->m_nFileSize, slow->m_nMaxSize), L"50%");
    // The tool was left to finish; let it, so that its folder can be removed.
    const DWORD left = ::GetTickCount() - start;
    if (left < 7500)
        ::Sleep(7500 - left);
}

TEST(SysLogTask, AvailableOnlyWithTheToolFileInTheSystemFolder)
{
    StandinFixture tools;
    theApp.m_strSysDir = tools.SystemFolder() + L"\\";
    EXPECT_FALSE(IsWevtutilPresent());
    ASSERT_TRUE(::CreateDirectoryW((theApp.m_strSysDir + L"wevtutil.exe").c_str(), nullptr));
    EXPECT_FALSE(IsWevtutilPresent()) << "a directory of that name is no tool";
    ASSERT_TRUE(::RemoveDirectoryW((theApp.m_strSysDir + L"wevtutil.exe").c_str()));
    tools.InstallTool(L"wevtutil.exe");
    EXPECT_TRUE(IsWevtutilPresent());
    CDlgSysLog page(nullptr);
    EXPECT_EQ(page.m_strWevtutilPath, theApp.m_strSysDir + L"wevtutil.exe");
}

} // namespace
