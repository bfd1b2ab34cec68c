// Byte-size text, day/month/year ordering and 64-bit number text.
#include "textutil/ByteSize.h"
#include "textutil/DateText.h"
#include "textutil/Int64Text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

std::wstring Size(uint64_t n)
{
    std::wstring out = L"stale";
    FormatByteSize(out, n);
    return out;
}

} // namespace

TEST(FormatByteSize, UnitTableStepsAt95PercentOfEachPowerOf1024)
{
    const wchar_t* units[] = {L"Eb", L"Tb", L"Gb", L"Mb", L"Kb", L"bytes"};
    for (int i = 0; i < 6; ++i) {
        const uint64_t divisor = i < 5 ? (1ULL << (10 * (5 - i))) : 0;
        EXPECT_EQ(divisor, ByteUnitTable[i].divisor) << i;
        EXPECT_EQ(divisor / 100 * 95 + divisor % 100 * 95 / 100, ByteUnitTable[i].threshold) << i;
        EXPECT_STREQ(units[i], ByteUnitTable[i].unit) << i;
    }
}

TEST(FormatByteSize, WorkedValuesAndUnitBoundaries)
{
    EXPECT_EQ(L"0 bytes", Size(0));
    EXPECT_EQ(L"971 bytes", Size(971));
    EXPECT_EQ(L"0.94 Kb", Size(972));
    EXPECT_EQ(L"0.97 Kb", Size(1000));
    EXPECT_EQ(L"0.99 Kb", Size(1023));
    EXPECT_EQ(L"1 Kb", Size(1024));
    EXPECT_EQ(L"1.50 Kb", Size(1536));
    EXPECT_EQ(L"972.79 Kb", Size(996146));
    EXPECT_EQ(L"0.94 Mb", Size(996147));
    EXPECT_EQ(L"1 Mb", Size(1ULL << 20));
    EXPECT_EQ(L"972.79 Mb", Size(1020054731));
    EXPECT_EQ(L"0.94 Gb", Size(1020054732));
    EXPECT_EQ(L"1 Gb", Size(1ULL << 30));
    EXPECT_EQ(L"0.94 Tb", Size(1044536046387ULL));
    EXPECT_EQ(L"1 Tb", Size(1ULL << 40));
    EXPECT_EQ(L"972.79 Tb", Size(1069604911500491ULL));
    EXPECT_EQ(L"0.94 Eb", Size(1069604911500492ULL));
    EXPECT_EQ(L"1 Eb", Size(1ULL << 50));
    EXPECT_EQ(L"16383.99 Eb", Size(std::numeric_limits<uint64_t>::max()));
}

TEST(FormatByteSize, FractionIsCutAndZeroPadded)
{
    EXPECT_EQ(L"1.99 Kb", Size(2047));          // 1.999 is cut, not rounded to 2
    EXPECT_EQ(L"1 Kb", Size(1024 + 10));        // under a hundredth: no fraction at all
    EXPECT_EQ(L"1.02 Kb", Size(1024 + 21));     // two digits, zero first
    EXPECT_EQ(L"4096 Eb", Size(1ULL << 62));    // whole parts above 999 stay in Eb
    EXPECT_EQ(L"5.25 Gb", Size(5637144576ULL)); // beyond 32 bits
}

TEST(CompareDateDMY, OrdersByYearThenMonthThenDay)
{
    EXPECT_EQ(1, CompareDateDMY(L"01/02/2021", L"31/01/2021"));
    EXPECT_EQ(-1, CompareDateDMY(L"31/01/2021", L"01/02/2021"));
    EXPECT_EQ(-1, CompareDateDMY(L"31/12/2020", L"01/01/2021"));
    EXPECT_EQ(1, CompareDateDMY(L"01/01/2021", L"31/12/2020"));
    EXPECT_EQ(-1, CompareDateDMY(L"09/05/2022", L"10/05/2022"));
    EXPECT_EQ(1, CompareDateDMY(L"10/05/2022", L"09/05/2022"));
    EXPECT_EQ(0, CompareDateDMY(L"10/05/2022", L"10/05/2022"));
}

TEST(CompareDateDMY, TextOfAnotherFormIsEqualToAnything)
{
    EXPECT_EQ(0, CompareDateDMY(L"2021/02/01", L"01/01/2020"));
    EXPECT_EQ(0, CompareDateDMY(L"01/01/2020", L"2021/02/01"));
    EXPECT_EQ(0, CompareDateDMY(L"01/02/1999", L"01/02/2021"));
    EXPECT_EQ(0, CompareDateDMY(L"01/02/2021", L"01/02/1999"));
    EXPECT_EQ(0, CompareDateDMY(L"1/2/2021", L"01/02/2022"));
    EXPECT_EQ(0, CompareDateDMY(L"01/02/2021 ", L"01/02/2022"));
    EXPECT_EQ(0, CompareDateDMY(L"01-02-2021", L"01/02/2022"));
    EXPECT_EQ(0, CompareDateDMY(L"", L"01/02/2022"));
    // Only separators and century are checked: other characters order as units.
    EXPECT_EQ(1, CompareDateDMY(L"aa/01/2021", L"99/01/2021"));
}

TEST(Int64Text, ValueAsUnsignedDecimal)
{
    EXPECT_EQ(L"0", Int64ToString(0));
    EXPECT_EQ(L"18446744073709551615", Int64ToString(-1));
    EXPECT_EQ(L"9223372036854775807", Int64ToString(std::numeric_limits<int64_t>::max()));
    EXPECT_EQ(L"9223372036854775808", Int64ToString(std::numeric_limits<int64_t>::min()));
    EXPECT_EQ(L"1048576", Int64ToString(1048576));
}

TEST(Int64Text, TextAsSignedValue)
{
    EXPECT_EQ(-42, StringToInt64(L"  -42x"));
    EXPECT_EQ(0, StringToInt64(L"abc"));
    EXPECT_EQ(0, StringToInt64(L""));
    EXPECT_EQ(-1, StringToInt64(L"-1"));
    EXPECT_EQ(0, StringToInt64(L"0"));
    EXPECT_EQ(17, StringToInt64(L"+17"));
    EXPECT_EQ(5, StringToInt64(L"\t\r\n 5"));
    EXPECT_EQ(0, StringToInt64(L"- 5"));
    EXPECT_EQ(20971520, StringToInt64(L"20971520\r\n"));
    EXPECT_EQ(std::numeric_limits<int64_t>::max(), StringToInt64(L"99999999999999999999"));
    EXPECT_EQ(std::numeric_limits<int64_t>::min(), StringToInt64(L"-99999999999999999999"));
    EXPECT_EQ(std::numeric_limits<int64_t>::min(), StringToInt64(L"-9223372036854775808"));
    // The text ends at its first zero character.
    EXPECT_EQ(12, StringToInt64(std::wstring(L"12\0" L"34", 5)));
    // Values that fit come back from their own text.
    for (int64_t v : {int64_t(1), int64_t(4294967296LL), std::numeric_limits<int64_t>::max()})
        EXPECT_EQ(v, StringToInt64(Int64ToString(v)));
}
