// The floating window's bar graph without a window: one sample per pixel
// column, oldest at the left, and the line each column draws.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kivra {

class SampleHistory {
public:
    // As many zero samples as columns; any earlier samples are dropped.
    void Resize(size_t columns) { samples_.assign(columns, 0); }
    // Every sample moves one column to the left (the oldest falls out) and
    // sample becomes the rightmost one. Nothing with no columns.
    void Push(BYTE sample);
    const std::vector<BYTE>& Samples() const { return samples_; }

private:
    std::vector<BYTE> samples_;
};

// Column i of the graph is the vertical line from (i, bottom) up to, not
// including, (i, BarTop(bottom, sample)); a sample taller than the window
// leaves through its top, where drawing clips it.
constexpr int BarTop(int bottom, BYTE sample) { return bottom - sample; }

// The number in the window's corner: the decimal text of number.
std::wstring SampleNumberText(long number);

}  // namespace kivra
