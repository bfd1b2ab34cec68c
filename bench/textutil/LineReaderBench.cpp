// Line-reader throughput: a parser's walk (NextLine + StartsWith + GetValue) over a
// 50 MiB record listing, as a ratio to a plain scan of the same text for CRs; the two take
// turns over the rounds, and the medians come with their ranges.
#include "textutil/LineReader.h"
#include "bench/BenchClock.h"
#include "bench/BenchSpread.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr size_t kTextUnits = 50u << 20;   // 50 MiB of captured bytes, one unit each
constexpr int kRounds = 5;

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

} // namespace

int main()
{
    const std::wstring text = MakeListing();
    uint64_t walked = 0;
    uint64_t crs = 0;
    // Reader and scan take turns, each round starting with the other one, so that neither always
    // runs first on a machine that drifts. Each reader walk gets a fresh reader; copying the text
    // into it is not timed.
    std::vector<double> reader, scan, ratios;
    for (int round = 0; round < kRounds; ++round) {
        double walk = 0, plain = 0;
        for (int k = 0; k < 2; ++k) {
            if ((round + k) % 2 == 0) {
                TLineReader r(text);
                const double t0 = NowSeconds();
                walked = WalkReader(r);
                walk = NowSeconds() - t0;
            } else {
                const double t0 = NowSeconds();
                crs = ScanForCr(text);
                plain = NowSeconds() - t0;
            }
        }
        reader.push_back(walk);
        scan.push_back(plain);
        ratios.push_back(walk / plain);
    }
    const Spread r = SpreadOf(reader), c = SpreadOf(scan), q = SpreadOf(ratios);
    const double mib = static_cast<double>(text.size()) / (1u << 20);
    std::printf("text: %.0f MiB, %llu lines (checksum %llu); %d rounds, reader and scan in turn\n", mib,
                static_cast<unsigned long long>(crs), static_cast<unsigned long long>(walked), kRounds);
    std::printf("CR scan:     median %8.3f s (range %.3f to %.3f s)  %8.1f MiB/s\n", c.median, c.low, c.high,
                mib / c.median);
    std::printf("line reader: median %8.3f s (range %.3f to %.3f s)  %8.1f MiB/s\n", r.median, r.low, r.high,
                mib / r.median);
    std::printf("ratio reader/scan: %.2f (median reader walk per median plain scan; round-by-round ratios %.2f to %.2f)\n",
                r.median / c.median, q.low, q.high);
    return 0;
}
