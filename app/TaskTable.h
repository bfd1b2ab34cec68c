// The static task table: groups, rows and what each row describes, tests and runs.
#pragma once

#include <windows.h>

struct TTaskRecord
{
    const wchar_t* pszDescription;
    bool (*pfnIsAvailable)();
    bool (*pfnRun)();
};

struct TTaskRow
{
    UINT nGroup;
    const wchar_t* pszName;
    const TTaskRecord* pTask;
};

constexpr int TASK_GROUP_COUNT = 9;
constexpr int TASK_ROW_COUNT = 21;

extern const wchar_t* const TaskGroupNames[TASK_GROUP_COUNT];
extern const TTaskRow TaskTable[TASK_ROW_COUNT];
