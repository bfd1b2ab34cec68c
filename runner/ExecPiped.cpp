// Piped command runner: the worker's start of the child and its read loop.
#include "runner/ExecPiped.h"

#include <vector>

namespace
{
std::wstring SystemFolder()
{
    wchar_t dir[MAX_PATH + 1] = {};
    const UINT n = ::GetSystemDirectoryW(dir, MAX_PATH);
    std::wstring folder(dir, n <= MAX_PATH ? n : 0);
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

std::wstring ResolveApplication(const std::wstring& application)
{
    // at(), not [], on purpose: an empty path is a caller's fault and must fail loudly here, in the
    // constructor, before any child could be started for it.
    (void)application.at(0);
    const bool hasDrive = application.size() > 1 && application[1] == L':';
    return hasDrive ? application : SystemFolder() + application;
}

// Closes the handle it holds when it goes out of scope.
class THandle
{
public:
    explicit THandle(HANDLE h = nullptr) : m_h(h) {}
    ~THandle() { Close(); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HANDLE* Out() { return &m_h; }
    operator HANDLE() const { return m_h; }
    void Close()
    {
        if (m_h != nullptr && m_h != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_h);
        m_h = nullptr;
    }

private:
    HANDLE m_h = nullptr;
};
}

void (*TExecPiped::s_pfnBeforeExitCheck)(HANDLE) = nullptr;

TExecPiped::TExecPiped(const std::wstring& application, const std::wstring& commandLine, bool hideWindow)
    : m_bHideWindow(hideWindow),
      m_strApplication(ResolveApplication(application)),
      m_strCommandLine(commandLine),
      m_pOutput(new TPageBuffer),
      m_commandLineBuffer(commandLine.begin(), commandLine.end())
{
    m_commandLineBuffer.push_back(L'\0');
    // A runner whose worker could not be created never runs; it must not read as a command that
    // ran and succeeded.
    if (m_hThread == nullptr)
        m_dwLastError = m_dwCreateError;
}

TExecPiped::~TExecPiped()
{
    // The worker uses the buffer and the texts: it must be gone before they are.
    Stop(500);
}

bool TExecPiped::CopyCaptured(TVoid* out)
{
    if (!m_pOutput || out == nullptr)
        return false;
    int bytes = 0;
    {
        TSysLockGuard lock(m_cs);
        bytes = m_pOutput->m_nBytes;
    }
    if (bytes < 1)
        return false;
    TSysLockGuard lock(m_cs);
    return m_pOutput->CopyOut(out, 0, bytes);
}

bool TExecPiped::ReadPass(HANDLE pipe, bool* readSomething)
{
    char buffer[READ_SIZE];
    for (;;)
    {
        DWORD available = 0;
        if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0)
            return true;
        DWORD got = 0;
        if (!::ReadFile(pipe, buffer, sizeof(buffer), &got, nullptr) || got == 0)
            return true;
        *readSomething = true;
        m_cs.Lock();
        // A failed append loses this read; the next one tries again with a fresh page, but the
        // capture now has a hole, and owners must know it.
        if (!m_pOutput->Append(buffer, static_cast<int>(got)))
            m_bOutputLost = true;
        // The flag is read while the lock is held anyway: a child that writes faster than we read
        // would otherwise keep this pass going, and the cancel unseen, for as long as it writes.
        const bool cancelled = m_bCancel != CANCEL_NONE;
        m_cs.Unlock();
        if (cancelled)
            return false;
    }
}

DWORD TExecPiped::Execute()
{
    SECURITY_ATTRIBUTES sa = {};
    sa.nLength = sizeof(sa);
    sa.lpSecurityDescriptor = nullptr;
    sa.bInheritHandle = TRUE;

    THandle readEnd, writeEnd;
    if (!::CreatePipe(readEnd.Out(), writeEnd.Out(), &sa, 0))
    {
        m_dwLastError = ::GetLastError();
        return 0;
    }
    // Only the write end is for the child. A child holding the read end as well keeps the pipe alive
    // after we have closed ours, so once we stop reading (a cancel) its writes block for good when the
    // pipe fills, and a child we promised to leave to finish could never finish.
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    const DWORD startTick = ::GetTickCount();

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES | (m_bHideWindow ? STARTF_USESHOWWINDOW : 0);
    si.wShowWindow = SW_HIDE;
    si.hStdInput = nullptr;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;

    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(m_strApplication.c_str(), m_commandLineBuffer.data(), &sa, nullptr, TRUE,
                          NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi))
    {
        m_dwLastError = ::GetLastError();
    }
    else
    {
        THandle process(pi.hProcess);
        THandle thread(pi.hThread);
        // We keep our write end open until the end: the pipe never reports a broken pipe while the
        // child runs, and the end of the output is decided by the child's process handle alone.
        for (;;)
        {
            bool readSomething = false;
            if (!ReadPass(readEnd, &readSomething))
                break;
            if (s_pfnBeforeExitCheck != nullptr)
                s_pfnBeforeExitCheck(process);
            if (::WaitForSingleObject(process, 0) != WAIT_TIMEOUT)
            {
                // What the child wrote just before it ended is still in the pipe.
                ReadPass(readEnd, &readSomething);
                break;
            }
            if (!readSomething)
                ::Sleep(10);
            if (IsCancelled())
                break;
        }
        DWORD code = 0;
        if (::GetExitCodeProcess(process, &code))
            m_dwExitCode = code;
    }
    readEnd.Close();
    writeEnd.Close();
    m_dwElapsedMs = ::GetTickCount() - startTick;
    return 0;
}
