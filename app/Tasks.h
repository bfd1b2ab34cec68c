// Availability tests, detached tool launches and the single-command tasks of the task list.
#pragma once

#include <string>

// True only when the path names an existing file (a directory of that name does not count).
bool IsFilePresent(const std::wstring& path);
bool IsWindowsVersionOrGreater(unsigned short major, unsigned short minor);

bool IsBcdeditPresent();
bool IsCleanmgrPresent();
bool IsMdschedPresent();
bool IsCmdPresent();
bool IsNetplwizPresent();
bool IsDismPresent();
bool IsDismPresentWin81();
bool IsPowerShellPresent();

bool TaskDiskCleanup();
bool TaskMemoryTest();
bool TaskCommandPrompt();
bool TaskUserAccounts();
bool TaskPowerShellPrompt();

// YES/NO prompt of the boot tasks: 1000000 (YES link), 1000001 (NO link) or IDCANCEL.
int AskTaskChoice(const wchar_t* mainInstruction, const wchar_t* content, const wchar_t* const links[2]);

bool RunBootMenuPolicy(bool legacy);
bool RunSafeBoot(bool enable);
bool RunNoIntegrityChecks(bool on);

bool TaskDismCheckHealth();
bool TaskDismScanHealth();
bool TaskDismRemoveSpData();
bool TaskDismComponentCleanup();
bool TaskDismComponentCleanupResetBase();
bool TaskDismAnalyzeComponentStore();
bool TaskLegacyBootMenu();
bool TaskSafeMode();
bool TaskDriverSignature();
