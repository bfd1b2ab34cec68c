// Application state derived at start-up, the version text and the task table's texts.
#include "app/App.h"
#include "app/DlgMain.h"
#include "app/TaskTable.h"

#include <gtest/gtest.h>
#include <shlobj.h>

TEST(AppState, PathsDeriveFromTheSystemFolderWithOneTrailingBackslash)
{
    theApp.InitSystemState();
    wchar_t sys[MAX_PATH] = {};
    ASSERT_GE(::SHGetFolderPathW(nullptr, CSIDL_SYSTEM, nullptr, SHGFP_TYPE_CURRENT, sys), 0);
    std::wstring expected = std::wstring(sys) + L"\\";
    EXPECT_EQ(theApp.m_strSysDir, expected);
    EXPECT_NE(theApp.m_strSysDir.substr(theApp.m_strSysDir.size() - 2), L"\\\\");
    EXPECT_EQ(theApp.m_strDismPath, expected + L"dism.exe");
    EXPECT_EQ(theApp.m_strPowerShellPath, expected + L"WindowsPowerShell\\v1.0\\powershell.exe");
    EXPECT_STREQ(theApp.m_pszTitle, L"Sys_Vantrel32");
    EXPECT_EQ(theApp.m_dwRestartManagerSupportFlags, 1u);
}

TEST(AppState, ClusterSizeComesFromTheSystemDriveOnlyForDriveLetterPaths)
{
    theApp.InitSystemState();
    DWORD spc = 0, bps = 0, fc = 0, tc = 0;
    ASSERT_TRUE(::GetDiskFreeSpaceW(theApp.m_strSysDir.substr(0, 3).c_str(), &spc, &bps, &fc, &tc));
    EXPECT_EQ(theApp.m_nClusterSize, spc * bps);
    EXPECT_GT(theApp.m_nClusterSize, 0u);
    EXPECT_EQ(Csys_vantrelApp::ClusterSizeOf(L"\\\\server\\share\\windows\\system32\\"), 0u);
    EXPECT_EQ(Csys_vantrelApp::ClusterSizeOf(L"\\"), 0u);
    EXPECT_EQ(Csys_vantrelApp::ClusterSizeOf(L""), 0u);
}

TEST(AppState, ApplicationNameIsTheProgramFileName)
{
    // Message boxes through the library carry the program file's name as caption.
    EXPECT_EQ(theApp.GetAppName(), L"app_state_tests");
}

TEST(VersionText, ComesFromTheVersionBlock)
{
    EXPECT_EQ(CDlgMain::GetVersionText(), L"1.8.39.0");
}

TEST(VersionText, BuildFlagsAppendInFixedOrderWithoutTheMask)
{
    VS_FIXEDFILEINFO info = {};
    info.dwFileVersionMS = MAKELONG(8, 1);
    info.dwFileVersionLS = MAKELONG(0, 39);
    info.dwFileFlagsMask = 0;   // ignored: the flags count as they stand
    info.dwFileFlags = VS_FF_SPECIALBUILD | VS_FF_DEBUG;
    EXPECT_EQ(CDlgMain::FormatVersion(info), L"1.8.39.0.debug.specialBld");
    info.dwFileFlags = 0x3F;
    EXPECT_EQ(CDlgMain::FormatVersion(info), L"1.8.39.0.debug.prerelease.privateBld.specialBld");
    info.dwFileFlags = 0x04 | 0x10;
    EXPECT_EQ(CDlgMain::FormatVersion(info), L"1.8.39.0");
}

TEST(TaskTableText, DescriptionsAreCrLfLinesOfAtMost66Characters)
{
    for (const TTaskRow& row : TaskTable)
    {
        std::wstring text = row.pTask->pszDescription;
        std::string name(row.pszName, row.pszName + wcslen(row.pszName));
        ASSERT_FALSE(text.empty()) << name;
        ASSERT_GE(text.size(), 2u);
        EXPECT_EQ(text.substr(text.size() - 2), L"\r\n") << name;
        size_t lines = 0, start = 0;
        while (start < text.size())
        {
            size_t end = text.find(L"\r\n", start);
            ASSERT_NE(end, std::wstring::npos) << name << ": line without CR LF";
            EXPECT_LE(end - start, 66u) << name << ": " << lines;
            EXPECT_EQ(text.substr(start, end - start).find(L'\n'), std::wstring::npos) << name;
            ++lines;
            start = end + 2;
        }
        EXPECT_GE(lines, 3u) << name;
        EXPECT_LE(lines, 24u) << name;
        EXPECT_EQ(text[0], L' ') << name << ": a paragraph opens with one blank";
        EXPECT_NE(text[1], L' ') << name;
    }
}

TEST(TaskTableText, TextOnlyRowsAreExactlyTheInfoRows)
{
    for (const TTaskRow& row : TaskTable)
    {
        bool info = row.nGroup == 0;
        EXPECT_EQ(row.pTask->pfnIsAvailable == nullptr, info || row.pTask->pfnRun == nullptr) << row.nGroup;
        EXPECT_LT(row.nGroup, 9u);
    }
}
