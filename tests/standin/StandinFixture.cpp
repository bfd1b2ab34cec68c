// Test support for the stand-in system tools: folders, copies, scenario writing, log reading.
#include "StandinFixture.h"
#include "Scenario.h"

#include <stdexcept>

namespace {

using standin::FromUtf8;
using standin::ToUtf8;

[[noreturn]] void Throw(const std::string& what, const std::wstring& path, DWORD error = ::GetLastError())
{
    throw std::runtime_error("standin fixture: " + what + " " + ToUtf8(path) + " (error " + std::to_string(error) + ")");
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFolders(const std::wstring& path)
{
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\') {
            std::wstring part = path.substr(0, i);
            if (!::CreateDirectoryW(part.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
                Throw("cannot create folder", part);
        }
    }
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        Throw("cannot write", path);
    DWORD written = 0;
    BOOL ok = bytes.empty() || ::WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    DWORD error = ::GetLastError();
    ::CloseHandle(h);
    if (!ok || written != bytes.size())
        Throw("cannot write", path, error);
}

// A stand-in stopped a moment ago may still hold its .exe open, so deleting gets a few tries.
void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                for (int attempt = 0; attempt < 50 && !::DeleteFileW(child.c_str()); ++attempt)
                    ::Sleep(20);
            }
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    for (int attempt = 0; attempt < 50 && !::RemoveDirectoryW(path.c_str()); ++attempt)
        ::Sleep(20);
}

std::string CheckOneLine(const std::string& text, const char* what)
{
    if (text.find_first_of("\r\n") != std::string::npos)
        throw std::invalid_argument(std::string("standin entry: a ") + what + " cannot hold CR or LF");
    return text;
}

} // namespace

StandinEntry StandinEntry::Exact(const std::wstring& command)
{
    StandinEntry e;
    e.m_match = "match: " + CheckOneLine(ToUtf8(command), "command line");
    return e;
}

StandinEntry StandinEntry::Glob(const std::wstring& pattern)
{
    StandinEntry e;
    e.m_match = "match-glob: " + CheckOneLine(ToUtf8(pattern), "pattern");
    return e;
}

StandinEntry& StandinEntry::Stdout(const std::string& bytes)
{
    m_ops.push_back({"stdout-file", bytes, true});
    return *this;
}

StandinEntry& StandinEntry::Stderr(const std::string& bytes)
{
    m_ops.push_back({"stderr-file", bytes, true});
    return *this;
}

StandinEntry& StandinEntry::StdoutFile(const std::wstring& name)
{
    m_ops.push_back({"stdout-file", CheckOneLine(ToUtf8(name), "file name"), false});
    return *this;
}

StandinEntry& StandinEntry::StderrFile(const std::wstring& name)
{
    m_ops.push_back({"stderr-file", CheckOneLine(ToUtf8(name), "file name"), false});
    return *this;
}

StandinEntry& StandinEntry::Chunk(size_t bytes, unsigned delayMs)
{
    if (bytes == 0)
        throw std::invalid_argument("standin entry: chunks of 0 bytes");
    m_ops.push_back({"chunk", std::to_string(bytes) + " " + std::to_string(delayMs), false});
    return *this;
}

StandinEntry& StandinEntry::ChunkLines(unsigned delayMs)
{
    m_ops.push_back({"chunk", "lines " + std::to_string(delayMs), false});
    return *this;
}

StandinEntry& StandinEntry::ChunkOff()
{
    m_ops.push_back({"chunk", "off", false});
    return *this;
}

StandinEntry& StandinEntry::Sleep(unsigned ms)
{
    m_ops.push_back({"sleep", std::to_string(ms), false});
    return *this;
}

StandinEntry& StandinEntry::Exit(unsigned long code)
{
    m_ops.push_back({"exit", std::to_string(code & 0xFFFFFFFFul), false});
    return *this;
}

const wchar_t* const StandinFixture::kScenarioVariable = L"VANTREL_SCENARIO";

const std::vector<std::wstring>& StandinFixture::AllToolNames()
{
    static const std::vector<std::wstring> names = {
        L"dism.exe",    L"wevtutil.exe", L"pnputil.exe", L"bcdedit.exe", L"WindowsPowerShell\\v1.0\\powershell.exe",
        L"cleanmgr.exe", L"mdsched.exe", L"cmd.exe",     L"netplwiz.exe",
    };
    return names;
}

std::wstring StandinFixture::StandinExePath()
{
    wchar_t self[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        std::wstring path(self, n);
        path = path.substr(0, path.find_last_of(L'\\') + 1) + L"vantrel_standin.exe";
        if (Exists(path))
            return path;
    }
#ifdef VANTREL_STANDIN_EXE
    // The build gives a drive-letter path with forward slashes; Wine maps the Unix root to Z:.
    std::wstring built = FromUtf8(VANTREL_STANDIN_EXE);
    for (wchar_t& c : built) {
        if (c == L'/')
            c = L'\\';
    }
    if (Exists(built))
        return built;
#endif
    throw std::runtime_error("standin fixture: vantrel_standin.exe is neither next to the test program nor where the build put it");
}

StandinFixture::StandinFixture()
{
    wchar_t temp[MAX_PATH + 1];
    DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH)
        Throw("no temporary folder", L"");
    std::wstring base(temp, n);
    if (base.back() != L'\\')
        base += L'\\';
    static LONG counter = 0;
    for (int attempt = 0;; ++attempt) {
        m_root = base + L"vantrel-standin-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                 std::to_wstring(::InterlockedIncrement(&counter));
        if (::CreateDirectoryW(m_root.c_str(), nullptr))
            break;
        // A folder left by an earlier process that had the same id: take the next number.
        if (::GetLastError() != ERROR_ALREADY_EXISTS || attempt > 1000)
            Throw("cannot create folder", m_root);
    }
    try {
        m_system = m_root + L"\\system";
        m_scenario = m_root + L"\\scenario";
        MakeFolders(m_system);
        MakeFolders(m_scenario);
        WriteText();
    } catch (...) {
        RemoveTree(m_root);
        throw;
    }

    DWORD size = ::GetEnvironmentVariableW(kScenarioVariable, nullptr, 0);
    if (size > 0) {
        m_oldVariable.resize(size);
        size = ::GetEnvironmentVariableW(kScenarioVariable, &m_oldVariable[0], size);
        m_oldVariable.resize(size);
        m_hadVariable = true;
    }
    ::SetEnvironmentVariableW(kScenarioVariable, m_scenario.c_str());
}

StandinFixture::~StandinFixture()
{
    ::SetEnvironmentVariableW(kScenarioVariable, m_hadVariable ? m_oldVariable.c_str() : nullptr);
    RemoveTree(m_root);
}

std::wstring StandinFixture::InstallTool(const std::wstring& name)
{
    std::wstring target = m_system + L"\\" + name;
    size_t slash = target.find_last_of(L'\\');
    MakeFolders(target.substr(0, slash));
    std::wstring source = StandinExePath();
    if (!::CopyFileW(source.c_str(), target.c_str(), FALSE))
        Throw("cannot copy the stand-in to", target);
    return target;
}

void StandinFixture::InstallAllTools()
{
    for (const std::wstring& name : AllToolNames())
        InstallTool(name);
}

void StandinFixture::WriteScenarioFile(const std::wstring& name, const std::string& bytes)
{
    std::wstring path = m_scenario + L"\\" + name;
    MakeFolders(path.substr(0, path.find_last_of(L'\\')));
    WriteBytes(path, bytes);
}

void StandinFixture::SetScenarioText(const std::string& text)
{
    m_text = text;
    WriteText();
}

void StandinFixture::AddEntry(const StandinEntry& entry)
{
    std::string text = entry.m_match + "\r\n";
    for (const StandinEntry::Op& op : entry.m_ops) {
        std::string value = op.value;
        if (op.ownBytes) {
            value = "bytes-" + std::to_string(++m_fileCount) + ".bin";
            WriteScenarioFile(FromUtf8(value), op.value);
        }
        text += op.directive + ": " + value + "\r\n";
    }
    m_text += text + "\r\n";
    WriteText();
}

void StandinFixture::WriteText()
{
    WriteBytes(m_scenario + L"\\scenario.txt", m_text);
}

std::vector<std::wstring> StandinFixture::Commands() const
{
    std::vector<std::wstring> lines;
    std::wstring path = m_scenario + L"\\commands.log";
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND)
            return lines;
        Throw("cannot read", path);
    }
    std::string bytes;
    char buffer[16384];
    DWORD got = 0;
    while (::ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    ::CloseHandle(h);

    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos)
            end = bytes.size();
        lines.push_back(FromUtf8(bytes.substr(pos, end - pos)));
        pos = end + 2;
    }
    return lines;
}

void StandinFixture::ClearCommands()
{
    std::wstring path = m_scenario + L"\\commands.log";
    if (!::DeleteFileW(path.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        Throw("cannot delete", path);
}
