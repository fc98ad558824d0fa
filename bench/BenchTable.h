// SPDX-License-Identifier: MIT
#pragma once

// One row of the benchmark table: a figure's min, median and max over repeated runs, and its goal.
// bench/run.sh collects the rows of every benchmark program into one table.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// `goal` reads like "<= 1.25"; `met` says whether the median meets it.
inline void row(const std::string& figure, const std::string& unit, const std::vector<double>& values,
                const std::string& goal = "", int met = -1)
{
    if (values.empty()) {
        std::printf("ROW|%s|%s|-|-|-|%s|no data\n", figure.c_str(), unit.c_str(), goal.c_str());
        return;
    }
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    const char* verdict = met < 0 ? "" : (met ? "met" : "MISSED");
    std::printf("ROW|%s|%s|%.3f|%.3f|%.3f|%s|%s|n=%zu\n", figure.c_str(), unit.c_str(), *low, median(values),
                *high, goal.c_str(), verdict, values.size());
    std::fflush(stdout);
}

} // namespace bench
