// What one hidden detail run costs the program beyond starting the tool: the checklist's silent
// run and the event-log rows' run, each against a plain CreateProcess-and-wait of the same
// stand-in tool with the same command line, alternated run by run. Printed as ratios of the
// medians with the range of the run-by-run ratios; nothing here is a pass/fail test.
//   detailpass_bench [runs]   (200 unless given)
#include "bench/BenchClock.h"
#include "bench/BenchProcess.h"
#include "dialogs/DlgList.h"
#include "pages/eventlogs/DlgSysLogItem.h"
#include "StandinFixture.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const wchar_t kCommand[] = L"wevtutil gl \"Application\"";

// What "wevtutil gl" prints for a channel: the text both detail runs read.
const char kOutput[] =
    "name: Application\r\nenabled: true\r\ntype: Admin\r\nowningPublisher: \r\nisolation: Application\r\n"
    "channelAccess: O:BAG:SYD:(A;;0x2;;;S-1-15-2-1)(A;;0x2;;;S-1-15-3-1024-3153509613-960666767-3724611135)"
    "(A;;0xf0007;;;SY)(A;;0x7;;;BA)(A;;0x7;;;SO)(A;;0x3;;;IU)(A;;0x3;;;SU)(A;;0x3;;;S-1-5-3)(A;;0x3;;;S-1-5-33)"
    "(A;;0x1;;;S-1-5-32-573)\r\nlogging:\r\n  logFileName: %SystemRoot%\\System32\\Winevt\\Logs\\Application.evtx\r\n"
    "  retention: false\r\n  autoBackup: false\r\n  maxSize: 20971520\r\npublishing:\r\n  fileMax: 1\r\n";

// The tool started the plainest way: no window, output to NUL, waited for to its end.
bool PlainRun(const std::wstring& program)
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE nul = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
    if (nul == INVALID_HANDLE_VALUE)
        return false;
    PROCESS_INFORMATION pi;
    const bool started = StartHidden(program, kCommand, nul, &pi);
    ::CloseHandle(nul);
    if (!started)
        return false;
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    return code == 0;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void PrintRatio(const char* what, const std::vector<double>& own, const std::vector<double>& plain, int failures)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < own.size() && i < plain.size(); ++i)
        if (plain[i] > 0)
            ratios.push_back(own[i] / plain[i]);
    std::sort(ratios.begin(), ratios.end());
    if (ratios.empty())
    {
        std::printf("%s: no samples\n", what);
        return;
    }
    const size_t n = ratios.size();
    std::printf("%s / plain start of the same tool: %.2f (medians %.1f vs %.1f ms); run by run median %.2f, "
                "range %.2f to %.2f, middle 80%% %.2f to %.2f; %zu runs, %d failed\n",
                what, Median(own) / Median(plain), Median(own), Median(plain), ratios[n / 2], ratios.front(),
                ratios.back(), ratios[n / 10], ratios[n - 1 - n / 10], n, failures);
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 200;
    if (argc > 1)
        runs = std::max(1, std::atoi(argv[1]));

    StandinFixture tools;
    const std::wstring program = tools.InstallTool(L"wevtutil.exe");
    tools.WriteScenarioFile(L"gl.txt", kOutput);
    tools.SetScenarioText("match-glob: *\nstdout-file: gl.txt\nexit: 0\n");

    // One start of each first: the first start of a program under Wine costs far more than later ones.
    TLineReader warm(L"");
    std::wstring text;
    CDlgList::RunSilent(&warm, program, kCommand);
    CDlgSysLogItem::RunHidden(program, kCommand, text);
    PlainRun(program);

    std::vector<double> silent, hidden, plain;
    int silentFailed = 0, hiddenFailed = 0, plainFailed = 0;
    for (int i = 0; i < runs; ++i)
    {
        // Turn about, so that neither kind always runs on a machine the other has just warmed.
        for (int k = 0; k < 3; ++k)
        {
            const int which = (i + k) % 3;
            const double t0 = NowSeconds();
            if (which == 0)
            {
                TLineReader reader(L"");
                silentFailed += CDlgList::RunSilent(&reader, program, kCommand) ? 0 : 1;
                silent.push_back(1000 * (NowSeconds() - t0));
            }
            else if (which == 1)
            {
                hiddenFailed += CDlgSysLogItem::RunHidden(program, kCommand, text) ? 0 : 1;
                hidden.push_back(1000 * (NowSeconds() - t0));
            }
            else
            {
                plainFailed += PlainRun(program) ? 0 : 1;
                plain.push_back(1000 * (NowSeconds() - t0));
            }
        }
    }
    PrintRatio("checklist silent run", silent, plain, silentFailed);
    PrintRatio("event-log row's hidden run", hidden, plain, hiddenFailed);
    if (plainFailed)
        std::printf("plain start failed %d times\n", plainFailed);
    return 0;
}
