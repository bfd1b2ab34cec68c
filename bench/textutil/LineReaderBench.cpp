// Line-reader throughput: a parser's walk (NextLine + StartsWith + GetValue) over a
// 50 MiB record listing, as a ratio to a plain scan of the same text for CRs.
#include "textutil/LineReader.h"
#include "bench/BenchClock.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr size_t kTextUnits = 50u << 20;   // 50 MiB of captured bytes, one unit each
constexpr int kRounds = 3;

// Key-and-value records as the package listings print them, blank line between records.
std::wstring MakeListing()
{
    std::wstring text;
    text.reserve(kTextUnits + 1024);
    for (unsigned n = 0; text.size() < kTextUnits; ++n) {
        const std::wstring id = std::to_wstring(n);
        text += L"Name              : Vendor.Package" + id + L"\r\n";
        text += L"Publisher         : CN=Vendor Test Signing, O=Vendor, C=XX\r\n";
        text += L"Architecture      : X64\r\n";
        text += L"ResourceId        : \r\n";
        text += L"Version           : 1." + id + L".0.0\r\n";
        text += L"PackageFullName   : Vendor.Package" + id + L"_1." + id + L".0.0_x64__abcdefgh\r\n";
        text += L"InstallLocation   : C:\\Program Files\\Packages\\Vendor.Package" + id + L"\r\n";
        text += L"IsFramework       : False\r\n";
        text += L"Status            : Ok\r\n\r\n";
    }
    text.resize(kTextUnits);
    return text;
}

// The walk a record parser makes: every line tested against its keys, values taken.
uint64_t WalkReader(TLineReader& r)
{
    std::wstring value;
    uint64_t sum = 0;
    while (r.NextLine()) {
        if (r.StartsWith(L"Name              : ", 20)) {
            r.GetValue(value, 20, 0);
            sum += value.size();
        } else if (r.StartsWith(L"PackageFullName   : ", 20)) {
            r.GetValue(value, 20, 0);
            sum += value.size();
        } else if (r.StartsWith(L"IsFramework       : ", 20)) {
            r.GetValue(value, 20, 0);
            sum += value[0];
        } else if (r.StartsWith(L"Status            : ", 20)) {
            r.GetValue(value, 20, 0);
            sum += value.size();
        }
    }
    return sum + static_cast<uint64_t>(r.Line());
}

uint64_t ScanForCr(const std::wstring& text)
{
    uint64_t count = 0;
    const wchar_t* p = text.data();
    for (size_t i = 0, n = text.size(); i < n; ++i)
        count += p[i] == L'\r';
    return count;
}

template <typename F>
double Best(F f, uint64_t& result)
{
    double best = 1e30;
    for (int i = 0; i < kRounds; ++i) {
        const double t0 = NowSeconds();
        result = f();
        const double t = NowSeconds() - t0;
        if (t < best)
            best = t;
    }
    return best;
}

} // namespace

int main()
{
    const std::wstring text = MakeListing();
    uint64_t walked = 0;
    uint64_t crs = 0;
    // Each round walks a fresh reader; copying the text into it is not timed.
    double reader = 1e30;
    for (int i = 0; i < kRounds; ++i) {
        TLineReader r(text);
        const double t0 = NowSeconds();
        walked = WalkReader(r);
        const double t = NowSeconds() - t0;
        if (t < reader)
            reader = t;
    }
    const double scan = Best([&] { return ScanForCr(text); }, crs);
    const double mib = static_cast<double>(text.size()) / (1u << 20);
    std::printf("text: %.0f MiB, %llu lines (checksum %llu)\n", mib,
                static_cast<unsigned long long>(crs), static_cast<unsigned long long>(walked));
    std::printf("CR scan:     %8.3f s  %8.1f MiB/s\n", scan, mib / scan);
    std::printf("line reader: %8.3f s  %8.1f MiB/s\n", reader, mib / reader);
    std::printf("ratio reader/scan: %.2f (time of the reader walk per time of the plain scan)\n", reader / scan);
    return 0;
}
