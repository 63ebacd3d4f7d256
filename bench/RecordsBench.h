#pragma once
// Pieces the records benchmarks share: a throw-away PostgreSQL cluster when
// one can be started, and a median.

#include <algorithm>
#include <vector>

template <typename T>
T Median(std::vector<T> values) {
    if (values.empty())
        return T{};
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}
