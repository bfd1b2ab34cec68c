// The benchmarks' plain start of a console program: hidden, both output streams into one handle.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What the runner's figures are measured against, so it does only what any caller must: no lock,
// no pages, no worker thread. `output` must be inheritable.
inline bool StartHidden(const std::wstring& program, const std::wstring& commandLine, HANDLE output,
                        PROCESS_INFORMATION* pi)
{
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdOutput = output;
    si.hStdError = output;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    *pi = {};
    return ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                            nullptr, &si, pi) != FALSE;
}
