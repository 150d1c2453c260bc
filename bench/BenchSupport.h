// Timing and reporting for the benchmark programs. Each program measures its
// cases in interleaved runs (every run takes one sample of every case, in a
// rotating order), then prints one line per measure: min / median / max of
// the measure, of its baseline from the same runs, the ratio of the medians
// and whether the target is met.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace kivra::bench {

inline double NowNs()
{
    static const double nsPerTick = [] {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        return 1e9 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * nsPerTick;
}

// Nanoseconds per call of body, over count calls.
inline double TimePerCall(int count, const std::function<void()>& body)
{
    const double start = NowNs();
    for (int i = 0; i < count; ++i)
        body();
    return (NowNs() - start) / count;
}

struct Spread {
    double min = 0;
    double median = 0;
    double max = 0;
};

inline Spread SpreadOf(std::vector<double> samples)
{
    if (samples.empty())
        return {};
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    const double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    return {samples.front(), median, samples.back()};
}

// Samples of named cases, taken in interleaved runs.
class Cases {
public:
    void Add(const std::string& name, std::function<double()> sample)
    {
        names_.push_back(name);
        samplers_.push_back(std::move(sample));
        samples_.emplace_back();
    }
    // runs rounds; round r starts at case r modulo the count, so no case
    // always runs first or right after the same neighbour.
    void Run(int runs, const std::function<void()>& beforeEachRun = {})
    {
        for (int run = 0; run < runs; ++run) {
            if (beforeEachRun)
                beforeEachRun();
            for (size_t k = 0; k < samplers_.size(); ++k) {
                const size_t which = (k + static_cast<size_t>(run)) % samplers_.size();
                samples_[which].push_back(samplers_[which]());
                WriteSample(run, names_[which], samples_[which].back());
            }
        }
    }
    Spread Of(const std::string& name) const
    {
        for (size_t k = 0; k < names_.size(); ++k)
            if (names_[k] == name)
                return SpreadOf(samples_[k]);
        return {};
    }

private:
    // Each sample as taken, "<round> <ms since the first> <value> <case>", to
    // the file KIVRA_BENCH_SAMPLES names: how a spread came about (a slow
    // stretch of the machine shows as neighbouring slow samples of all cases).
    void WriteSample(int run, const std::string& name, double value)
    {
        wchar_t file[MAX_PATH + 1];
        const DWORD length = ::GetEnvironmentVariableW(L"KIVRA_BENCH_SAMPLES", file, MAX_PATH + 1);
        if (length == 0 || length > MAX_PATH)  // unset, or too long a name
            return;
        if (first_ == 0)
            first_ = ::GetTickCount64();
        if (FILE* out = _wfopen(file, L"a")) {
            std::fprintf(out, "%d %llu %.2f %s\n", run, ::GetTickCount64() - first_, value, name.c_str());
            std::fclose(out);
        }
    }

    ULONGLONG first_ = 0;
    std::vector<std::string> names_;
    std::vector<std::function<double()>> samplers_;
    std::vector<std::vector<double>> samples_;
};

// How a measure is judged against its baseline.
enum class Target {
    RatioAtMost,       // measure median <= limit x baseline median
    AddsAtMost,        // measure median - baseline median <= limit (in the unit)
    AtMost,            // measure median <= limit (the baseline is for reading)
    SameAsBaseline,    // measure median == baseline median
    None,              // informational
};

inline void Report(const char* measure, const Spread& value, const char* baseline, const Spread& base,
                   const char* unit, Target target, double limit)
{
    const double ratio = base.median > 0 ? value.median / base.median : 0;
    std::string goal;
    bool met = true;
    char text[64] = {};
    switch (target) {
    case Target::RatioAtMost:
        std::snprintf(text, sizeof(text), "ratio <= %.1f", limit);
        met = ratio <= limit;
        break;
    case Target::AddsAtMost:
        std::snprintf(text, sizeof(text), "adds <= %g %s (adds %.0f)", limit, unit, value.median - base.median);
        met = value.median - base.median <= limit;
        break;
    case Target::AtMost:
        std::snprintf(text, sizeof(text), "<= %g %s", limit, unit);
        met = value.median <= limit;
        break;
    case Target::SameAsBaseline:
        std::snprintf(text, sizeof(text), "same as baseline");
        met = value.median == base.median;
        break;
    case Target::None:
        text[0] = 0;
        break;
    }
    goal = text;
    std::printf("%-44s %9.1f /%9.1f /%9.1f %-3s | %-26s %9.1f /%9.1f /%9.1f | x%6.2f | %s%s\n", measure,
                value.min, value.median, value.max, unit, baseline, base.min, base.median, base.max, ratio,
                goal.c_str(), target == Target::None ? "" : (met ? ": met" : ": NOT MET"));
    std::fflush(stdout);
}

// Runs from the environment (KIVRA_BENCH_RUNS), else the default.
inline int RunsFromEnvironment(int fallback)
{
    wchar_t text[16];
    if (::GetEnvironmentVariableW(L"KIVRA_BENCH_RUNS", text, 16) == 0)
        return fallback;
    const int runs = _wtoi(text);
    return runs > 0 ? runs : fallback;
}

}  // namespace kivra::bench
