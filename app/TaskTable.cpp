// The task table: group names, row names, descriptions and each row's functions.
#include "app/TaskTable.h"
#include "app/Tasks.h"
#include "pages/capabilities/DlgSysCapsOnDemand.h"
#include "pages/driverstore/DlgDriverStore.h"
#include "pages/eventlogs/DlgSysLog.h"
#include "pages/storeapps/DlgWsApps.h"
#include "pages/storeapps/DlgWsPrvApps.h"

const wchar_t* const TaskGroupNames[TASK_GROUP_COUNT] = {
    L"Info", L"Common OS tasks", L"MS Store", L"Component Store", L"Device Drivers",
    L"Boot Menu", L"User Accounts", L"Prompts", L"Legacy",
};

// Descriptions: lines of at most 66 characters ending in CR LF; a paragraph opens with one
// blank and paragraphs are separated by an empty line.
static const wchar_t szDescAbout[] =
    L" Sys_Vantrel32 gathers system maintenance commands that Windows\r\n"
    L"hides in many places behind one grouped task list: store app and\r\n"
    L"provisioned package removal, capabilities on demand, event log\r\n"
    L"cleaning, OEM driver store clean-up, component store and boot\r\n"
    L"configuration commands, and quick starts of system tools.\r\n"
    L"\r\n"
    L" Every task runs the system's own tools (dism, wevtutil, pnputil,\r\n"
    L"bcdedit, PowerShell) and shows their output as it arrives.\r\n"
    L"\r\n"
    L" Warning: these tools change the system. Used carelessly they can\r\n"
    L"remove parts of Windows that are hard to bring back, or keep it\r\n"
    L"from starting. Know what a task does before you start it, and keep\r\n"
    L"a backup or a restore point at hand.\r\n";

static const wchar_t szDescUserLicense[] =
    L" Sys_Vantrel32 is released under the MIT License.\r\n"
    L"\r\n"
    L" Permission is hereby granted, free of charge, to any person\r\n"
    L"obtaining a copy of this software and associated documentation\r\n"
    L"files (the \"Software\"), to deal in the Software without\r\n"
    L"restriction, including without limitation the rights to use, copy,\r\n"
    L"modify, merge, publish, distribute, sublicense, and/or sell copies\r\n"
    L"of the Software, and to permit persons to whom the Software is\r\n"
    L"furnished to do so, subject to the following conditions:\r\n"
    L"\r\n"
    L" The above copyright notice and this permission notice shall be\r\n"
    L"included in all copies or substantial portions of the Software.\r\n"
    L"\r\n"
    L" THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND,\r\n"
    L"EXPRESS OR IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF\r\n"
    L"MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND\r\n"
    L"NONINFRINGEMENT. IN NO EVENT SHALL THE AUTHORS OR COPYRIGHT\r\n"
    L"HOLDERS FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN AN\r\n"
    L"ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN\r\n"
    L"CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN THE\r\n"
    L"SOFTWARE.\r\n";

static const wchar_t szDescDiskCleanup[] =
    L" Starts the system's Disk Cleanup utility (\"cleanmgr.exe\").\r\n"
    L"\r\n"
    L" As this program runs with administrator rights, the utility can\r\n"
    L"also clean system files, among them superseded Windows Update\r\n"
    L"files (\"Windows Update Cleanup\"). Removing those may need a reboot\r\n"
    L"to finish.\r\n"
    L"\r\n"
    L" Server editions of Windows may lack the utility; the task is then\r\n"
    L"not available.\r\n";

static const wchar_t szDescSystemLogs[] =
    L" Lists every system log (event log channel) with \"wevtutil\".\r\n"
    L"\r\n"
    L" A system often has more than 1000 logs, so collecting their\r\n"
    L"details takes a while.\r\n"
    L"\r\n"
    L" On the page you can:\r\n"
    L"- clean the checked logs\r\n"
    L"- set the maximum size of the checked logs\r\n";

static const wchar_t szDescCapabilities[] =
    L" Capabilities on demand are optional Windows features installed\r\n"
    L"only when asked for, for example:\r\n"
    L"- the remote server administration tools\r\n"
    L"- the OpenSSH client and server\r\n"
    L"- Braille support\r\n"
    L"\r\n"
    L" The page lists the capabilities with their state and sizes, and\r\n"
    L"adds, removes or shows the details of the checked ones.\r\n";

static const wchar_t szDescStoreApps[] =
    L" Removing a store app from the Start menu only hides it for one\r\n"
    L"account. This page removes store packages completely, for all\r\n"
    L"users, in three classes:\r\n"
    L"- installed apps (system and store items are filtered out)\r\n"
    L"- framework packages that no installed app uses\r\n"
    L"- apps installed in development mode\r\n"
    L"\r\n"
    L" It needs a recent version of Windows 10.\r\n";

static const wchar_t szDescProvisionedApps[] =
    L" Provisioned apps are installed for each user at the first\r\n"
    L"sign-in, also after an upgrade of Windows.\r\n"
    L"\r\n"
    L" This page lists the provisioned packages and removes the checked\r\n"
    L"ones, so new accounts no longer receive them.\r\n";

static const wchar_t szDescAnalyze[] =
    L" Analyzes the component store (WinSxS) and reports its size and\r\n"
    L"whether a clean-up is worthwhile.\r\n"
    L"\r\n"
    L" Needs Windows 8.1 or later.\r\n";

static const wchar_t szDescCleanup[] =
    L" Cleans the component store of superseded components.\r\n"
    L"\r\n"
    L" It may take from minutes to hours and seem stuck at 100%: let it\r\n"
    L"finish. After an error, reboot and run it again.\r\n"
    L"\r\n"
    L" Needs Windows 8.1 or later. Windows runs the same clean-up as a\r\n"
    L"scheduled task.\r\n";

static const wchar_t szDescCleanupResetBase[] =
    L" As \"Cleanup\", and also removes every superseded version of every\r\n"
    L"component in the store.\r\n"
    L"\r\n"
    L" Afterwards installed service packs and updates can no longer be\r\n"
    L"uninstalled.\r\n"
    L"\r\n"
    L" It may take from minutes to hours and seem stuck at 100%.\r\n"
    L"Needs Windows 8.1 or later.\r\n";

static const wchar_t szDescHealthCheck[] =
    L" Reports whether the image is marked as corrupted and whether the\r\n"
    L"corruption can be repaired.\r\n"
    L"\r\n"
    L" Nothing is scanned: the check only reads the recorded state.\r\n"
    L"Needs Windows 8.1 or later.\r\n";

static const wchar_t szDescHealthScan[] =
    L" Scans the component store for corruption. The scan takes from 5\r\n"
    L"to 10 minutes.\r\n"
    L"\r\n"
    L" Problems found are recorded in the servicing log (CBS.log) and in\r\n"
    L"the dism log file. To repair them, run by hand:\r\n"
    L"- dism /Online /Cleanup-Image /RestoreHealth\r\n";

static const wchar_t szDescOemDrivers[] =
    L" Lists the OEM driver packages kept in the driver store, with\r\n"
    L"their sizes and dates, and marks the old copies that newer\r\n"
    L"versions of the same driver have superseded.\r\n"
    L"\r\n"
    L" Removing old copies can free several gigabytes. A reboot may be\r\n"
    L"needed afterwards.\r\n";

static const wchar_t szDescSignVerification[] =
    L" Driver signature verification keeps Windows from loading drivers\r\n"
    L"that are not signed.\r\n"
    L"\r\n"
    L" To install an unsigned driver:\r\n"
    L"- run this task and turn the verification off\r\n"
    L"- reboot\r\n"
    L"- install the driver\r\n"
    L"- run this task again to turn the verification back on\r\n"
    L"- reboot\r\n";

static const wchar_t szDescLegacyBootMenu[] =
    L" Turns the legacy boot menu (the F8 menu of older Windows\r\n"
    L"versions, off by default since Windows 8) on or off.\r\n"
    L"\r\n"
    L" The change takes effect after a reboot.\r\n";

static const wchar_t szDescSafeMode[] =
    L" Turns safe mode on or off for the next restart of Windows.\r\n"
    L"\r\n"
    L" The change takes effect after a reboot.\r\n";

static const wchar_t szDescMemoryTest[] =
    L" Starts the Windows Memory Diagnostic (\"mdsched.exe\"), which\r\n"
    L"schedules a memory test for the next restart.\r\n"
    L"\r\n"
    L" The test runs before Windows starts; its result is shown after\r\n"
    L"the next sign-in.\r\n";

static const wchar_t szDescUserAccounts[] =
    L" Starts \"netplwiz.exe\", which adds, deletes and renames user\r\n"
    L"accounts, also on editions of Windows that hide it.\r\n"
    L"\r\n"
    L" It can also set which account signs in automatically.\r\n";

static const wchar_t szDescCommandPrompt[] =
    L" Starts a command prompt with administrator rights.\r\n"
    L"\r\n"
    L" Every command typed there runs with the same rights as this\r\n"
    L"program: take care.\r\n";

static const wchar_t szDescPowerShellPrompt[] =
    L" Starts a PowerShell prompt with administrator rights.\r\n"
    L"\r\n"
    L" Every command typed there runs with the same rights as this\r\n"
    L"program: take care.\r\n";

static const wchar_t szDescRemoveSpData[] =
    L" Removes the uninstall data of installed service packs and hides\r\n"
    L"them, which frees about 1 to 1.5 gigabytes.\r\n"
    L"\r\n"
    L" Afterwards the service packs can no longer be uninstalled. The\r\n"
    L"task is useless from Windows 8 on.\r\n";

static const TTaskRecord RecAbout = {szDescAbout, nullptr, nullptr};
static const TTaskRecord RecUserLicense = {szDescUserLicense, nullptr, nullptr};
static const TTaskRecord RecDiskCleanup = {szDescDiskCleanup, IsCleanmgrPresent, TaskDiskCleanup};
static const TTaskRecord RecSystemLogs = {szDescSystemLogs, IsWevtutilPresent, TaskSystemLogs};
static const TTaskRecord RecCapabilities = {szDescCapabilities, IsDismPresent, TaskCapabilitiesOnDemand};
static const TTaskRecord RecStoreApps = {szDescStoreApps, IsPowerShellPresentWin10, TaskStoreApps};
static const TTaskRecord RecProvisionedApps = {szDescProvisionedApps, IsPowerShellPresentWin10, TaskProvisionedApps};
static const TTaskRecord RecAnalyze = {szDescAnalyze, IsDismPresentWin81, TaskDismAnalyzeComponentStore};
static const TTaskRecord RecCleanup = {szDescCleanup, IsDismPresentWin81, TaskDismComponentCleanup};
static const TTaskRecord RecCleanupResetBase = {szDescCleanupResetBase, IsDismPresentWin81, TaskDismComponentCleanupResetBase};
static const TTaskRecord RecHealthCheck = {szDescHealthCheck, IsDismPresentWin81, TaskDismCheckHealth};
static const TTaskRecord RecHealthScan = {szDescHealthScan, IsDismPresent, TaskDismScanHealth};
static const TTaskRecord RecOemDrivers = {szDescOemDrivers, IsDismPresent, TaskOemDriversRepository};
static const TTaskRecord RecSignVerification = {szDescSignVerification, IsBcdeditPresent, TaskDriverSignature};
static const TTaskRecord RecLegacyBootMenu = {szDescLegacyBootMenu, IsBcdeditPresent, TaskLegacyBootMenu};
static const TTaskRecord RecSafeMode = {szDescSafeMode, IsBcdeditPresent, TaskSafeMode};
static const TTaskRecord RecMemoryTest = {szDescMemoryTest, IsMdschedPresent, TaskMemoryTest};
static const TTaskRecord RecUserAccounts = {szDescUserAccounts, IsNetplwizPresent, TaskUserAccounts};
static const TTaskRecord RecCommandPrompt = {szDescCommandPrompt, IsCmdPresent, TaskCommandPrompt};
static const TTaskRecord RecPowerShellPrompt = {szDescPowerShellPrompt, IsPowerShellPresent, TaskPowerShellPrompt};
static const TTaskRecord RecRemoveSpData = {szDescRemoveSpData, IsDismPresent, TaskDismRemoveSpData};

const TTaskRow TaskTable[TASK_ROW_COUNT] = {
    {0, L"About", &RecAbout},
    {0, L"User License", &RecUserLicense},
    {1, L"Disk Cleanup utility", &RecDiskCleanup},
    {1, L"System Logs", &RecSystemLogs},
    {1, L"Capabilities on Demand", &RecCapabilities},
    {2, L"Installed Apps", &RecStoreApps},
    {2, L"Provisioned Apps", &RecProvisionedApps},
    {3, L"Analyze", &RecAnalyze},
    {3, L"Cleanup", &RecCleanup},
    {3, L"Cleanup + Reset Base", &RecCleanupResetBase},
    {3, L"Health Check", &RecHealthCheck},
    {3, L"Health Scan", &RecHealthScan},
    {4, L"OEM drivers repository", &RecOemDrivers},
    {4, L"Sign. Verification", &RecSignVerification},
    {5, L"Legacy Boot Menu", &RecLegacyBootMenu},
    {5, L"Safe Mode", &RecSafeMode},
    {5, L"Schedule Memory Test", &RecMemoryTest},
    {6, L"User Accounts", &RecUserAccounts},
    {7, L"Command Prompt", &RecCommandPrompt},
    {7, L"PowerShell Prompt", &RecPowerShellPrompt},
    {8, L"Remove SP uninstall data", &RecRemoveSpData},
};
