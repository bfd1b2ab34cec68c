// TExecPiped: runs one console command on its worker thread and captures its output.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "runner/PageBuffer.h"
#include "runner/ThreadSynched.h"

// Standard output and standard error go into one anonymous pipe; every byte read lands, in order, in
// m_pOutput. Owners read m_pOutput only under m_cs, and the three results only after the worker ended.
class TExecPiped final : public TThreadSynched
{
public:
    // An application path that begins with a drive letter and a colon is used as given; any other is
    // taken from the system folder. An empty path raises the string class's out_of_range error.
    TExecPiped(const std::wstring& application, const std::wstring& commandLine, bool hideWindow);
    ~TExecPiped();

    DWORD Execute() override;

    // Everything captured so far, copied into `out`: the count read under the lock, then the
    // bytes copied under the lock taken anew. False when nothing was captured or the copy failed.
    bool CopyCaptured(TVoid* out);

    DWORD m_dwLastError = 0;   // error of a failed pipe, process or worker-thread creation
    DWORD m_dwExitCode = 0;    // the child's exit code; STILL_ACTIVE after a cancel while it runs
    DWORD m_dwElapsedMs = 0;   // from just before the child's creation until its handles are closed
    // Some read could not be stored: the capture has a hole, so the run must not count as a success.
    // Written by the worker under m_cs; owners read it under m_cs, or without it once the worker ended.
    bool m_bOutputLost = false;
    bool m_bHideWindow = false;
    std::wstring m_strApplication;
    std::wstring m_strCommandLine;
    std::unique_ptr<TPageBuffer> m_pOutput;

    enum : int { READ_SIZE = 512 };

private:
    // Reads whatever the pipe holds; false when a cancel was seen during the pass.
    bool ReadPass(HANDLE pipe, bool* readSomething);

    // Lets a test act after a read pass and before the check for the child's end: a child that writes
    // and ends just then is the case the last read pass is there for. Only TExecPipedTestAccess, which
    // the tests define, can set it; the program never does.
    friend struct TExecPipedTestAccess;
    static void (*s_pfnBeforeExitCheck)(HANDLE process);

    // The writable copy of the command line that process creation needs. Made by the constructor,
    // on the owner's thread: the worker allocates nothing that could throw, since an exception
    // leaving a thread's body ends the whole program.
    std::vector<wchar_t> m_commandLineBuffer;
};
