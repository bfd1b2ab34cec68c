// The benchmarks' summary of repeated samples: median with the lowest and highest sample.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

struct Spread
{
    double median = 0, low = 0, high = 0;
    size_t count = 0;   // samples summed up; 0 leaves every figure at 0
};

inline Spread SpreadOf(std::vector<double> v)
{
    Spread s;
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    s.median = v[v.size() / 2];
    s.low = v.front();
    s.high = v.back();
    s.count = v.size();
    return s;
}
