#pragma once

// The flood fill both detection floods use, on a W·H row-major plane.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace AutoDetect::detail {

struct RunSeed {
    int x;
    int y;
};

// Sets every cell `isOpen` accepts that is connected to (sx, sy) to `value`, a row run at a
// time: a run is taken whole, then the rows above and below are searched for open runs over
// the run's own columns (4-connectivity) or one column more on each side (8-connectivity,
// `diagonal`). Which cells are reached does not depend on the order runs are taken.
// `onRun(left, right, y)` sees each run as it is filled; `stack` is scratch space.
template <class Cell, class IsOpen, class OnRun>
void fillRuns(Cell* cells, int width, int height, int sx, int sy, bool diagonal, IsOpen isOpen, Cell value,
              std::vector<RunSeed>& stack, OnRun onRun)
{
    if (!isOpen(cells[std::size_t(sy) * width + sx])) return;
    stack.push_back({sx, sy});
    while (!stack.empty()) {
        const RunSeed s = stack.back();
        stack.pop_back();
        Cell* row = cells + std::size_t(s.y) * width;
        if (!isOpen(row[s.x])) continue;
        int left = s.x;
        while (left > 0 && isOpen(row[left - 1])) --left;
        int right = s.x;
        while (right + 1 < width && isOpen(row[right + 1])) ++right;
        std::fill(row + left, row + right + 1, value);
        onRun(left, right, s.y);
        const int from = diagonal ? std::max(left - 1, 0) : left;
        const int to = diagonal ? std::min(right + 1, width - 1) : right;
        for (const int ny : {s.y - 1, s.y + 1}) {
            if (ny < 0 || ny >= height) continue;
            const Cell* other = cells + std::size_t(ny) * width;
            for (int x = from; x <= to; ++x) {
                if (!isOpen(other[x])) continue;
                stack.push_back({x, ny});
                while (x + 1 <= to && isOpen(other[x + 1])) ++x;
            }
        }
    }
}

}  // namespace AutoDetect::detail
