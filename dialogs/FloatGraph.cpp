#include "dialogs/FloatGraph.h"

#include "framework/Text.h"

#include <algorithm>
#include <cwchar>

namespace kivra {

void SampleHistory::Push(BYTE sample)
{
    if (samples_.empty())
        return;
    std::rotate(samples_.begin(), samples_.begin() + 1, samples_.end());
    samples_.back() = sample;
}

std::wstring SampleNumberText(long number)
{
    wchar_t text[16];  // "-2147483648" and the terminator
    FormatText(text, L"%ld", number);
    return text;
}

}  // namespace kivra
