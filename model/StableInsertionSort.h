#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// A stable insertion sort. Unlike std::sort and std::stable_sort it stays well defined when
// `before` is not a strict weak ordering (comparisons with a tolerance, such as "same row
// when within an inch"): each element moves left past the elements it comes before, and
// stops at the first that it does not. Where `before` is consistent, the order is the one a
// stable sort gives. Quadratic: meant for the few dozen items on a scanner bed.
template <class T, class Before>
void stableInsertionSort(std::vector<T>& items, Before before)
{
    for (std::size_t i = 1; i < items.size(); ++i) {
        std::size_t j = i;
        while (j > 0 && before(items[i], items[j - 1])) --j;
        const auto at = [&](std::size_t n) { return items.begin() + static_cast<std::ptrdiff_t>(n); };
        if (j != i) std::rotate(at(j), at(i), at(i + 1));
    }
}
