// Cost of the open command's text road (ExtractPath, ValidatePath, PathNamesFile,
// PathNeedsQuoting) beside one std::char_traits<char16_t>::length pass over the same text.
// Prints the ratio of the two for every text after the usual benchmark output: the median of
// the repetitions (5 unless --benchmark_repetitions says otherwise), with the smallest and the
// largest beside it.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "open/path_logic.h"

namespace {

using cvt::ExtractPath;

// Repeats unit up to size characters, then puts tail at the very end.
std::u16string Fill(const std::u16string& head, const std::u16string& unit, std::size_t size,
                    const std::u16string& tail = u"") {
    std::u16string text = head;
    while (text.size() + unit.size() + tail.size() <= size) text += unit;
    text.resize(size - tail.size(), u'x');
    return text + tail;
}

std::u16string MakeText(const std::string& kind, std::size_t size) {
    // Mail prose: Japanese, ASCII words, colons and line breaks, but no path marker.
    const std::u16string prose =
        u"お世話になっております。資料は共有フォルダにあります: 詳細は添付を参照。\r\n"
        u"Re: meeting at 10:30, room B > see notes.\r\n";
    if (kind == "NoPath") return Fill(u"", prose, size);
    if (kind == "PathAtEnd") return Fill(u"", prose, size, u"\\\\fs01\\share\\reports>\r\n");
    // Single backslashes everywhere, never two in a row nor after a colon.
    if (kind == "DenseBackslashes") return Fill(u"", u"ab\\c\\d.e\\", size);
    // One valid drive path through the whole text: every step runs to the end.
    if (kind == "DenseBackslashPath") return Fill(u"C:\\", u"ab\\c\\d.e\\", size);
    // Colons and brackets; the first drive marker starts a path that '>' makes invalid.
    return Fill(u"", u"a:b>c:\\d>e::>", size);
}

struct Text {
    std::u16string pristine;
    std::u16string work;
    std::vector<std::size_t> touched;  // positions the road writes NUL into
};

Text Prepare(const std::string& kind, std::size_t size) {
    Text text;
    text.pristine = MakeText(kind, size);
    text.work = text.pristine;
    ExtractPath(text.work.data());
    for (std::size_t i = 0; i < text.work.size(); ++i) {
        if (text.work[i] != text.pristine[i]) text.touched.push_back(i);
    }
    text.work = text.pristine;
    return text;
}

void Road(benchmark::State& state, Text* text) {
    for (auto _ : state) {
        char16_t* path = ExtractPath(text->work.data());
        bool valid = false, namesFile = false, needsQuoting = false;
        if (path != nullptr && *path != u'\0') {
            valid = cvt::ValidatePath(path);
            if (valid) {
                namesFile = cvt::PathNamesFile(path);
                needsQuoting = cvt::PathNeedsQuoting(path);
            }
        }
        benchmark::DoNotOptimize(path);
        benchmark::DoNotOptimize(valid);
        benchmark::DoNotOptimize(namesFile);
        benchmark::DoNotOptimize(needsQuoting);
        for (std::size_t i : text->touched) text->work[i] = text->pristine[i];
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text->pristine.size() * 2));
}

void Length(benchmark::State& state, Text* text) {
    const char16_t* p = text->pristine.c_str();
    for (auto _ : state) {
        benchmark::DoNotOptimize(p);
        std::size_t n = std::char_traits<char16_t>::length(p);
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text->pristine.size() * 2));
}

// The median of a run's repetitions with the smallest and the largest.
struct Spread {
    double median = 0, least = 0, most = 0;
};

Spread SpreadOf(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    const double median = n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    return {median, times.front(), times.back()};
}

// Keeps the time per iteration of every repetition so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                // Kept in nanoseconds whatever unit the benchmark reports in.
                times_[run.run_name.str()].push_back(
                    run.GetAdjustedRealTime() * 1e9 /
                    benchmark::GetTimeUnitMultiplier(run.time_unit));
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios(const std::vector<std::string>& cases) const {
        std::printf("\nmedian of the repetitions [smallest, largest]\n");
        std::printf("%-26s %34s %34s %22s %12s\n", "text", "road ns", "length ns", "ratio",
                    "road ns/char");
        for (const std::string& name : cases) {
            auto road = times_.find("Road/" + name);
            auto length = times_.find("Length/" + name);
            if (road == times_.end() || length == times_.end()) continue;
            const Spread r = SpreadOf(road->second);
            const Spread l = SpreadOf(length->second);
            // The ratio's range pairs the extremes: the fastest road with the slowest length
            // pass and the other way round.
            std::printf(
                "%-26s %10.0f [%10.0f, %10.0f] %10.0f [%10.0f, %10.0f] %6.2f [%6.2f, %6.2f] "
                "%12.3f\n",
                name.c_str(), r.median, r.least, r.most, l.median, l.least, l.most,
                r.median / l.median, r.least / l.most, r.most / l.least,
                r.median / static_cast<double>(CharsOf(name)));
        }
    }

    std::map<std::string, std::size_t> sizes;

private:
    std::size_t CharsOf(const std::string& name) const {
        auto found = sizes.find(name);
        return found == sizes.end() ? 1 : found->second;
    }
    std::map<std::string, std::vector<double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::pair<const char*, std::size_t> sizes[] = {
        {"4KiB", 4u << 10}, {"1MiB", 1u << 20}, {"16MiB", 16u << 20}};
    const char* kinds[] = {"NoPath", "PathAtEnd", "DenseBackslashes", "DenseBackslashPath",
                           "DenseColonsBrackets"};
    RatioReporter reporter;
    std::vector<std::string> cases;
    std::vector<std::unique_ptr<Text>> texts;
    for (const char* kind : kinds) {
        for (const auto& [sizeName, bytes] : sizes) {
            const std::string name = std::string(kind) + "/" + sizeName;
            texts.push_back(std::make_unique<Text>(Prepare(kind, bytes / 2)));
            Text* text = texts.back().get();
            cases.push_back(name);
            reporter.sizes[name] = text->pristine.size();
            benchmark::RegisterBenchmark(("Length/" + name).c_str(), Length, text)
                ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark(("Road/" + name).c_str(), Road, text)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    std::vector<char*> arguments(argv, argv + argc);
    bool repetitionsGiven = false;
    for (char* argument : arguments) {
        repetitionsGiven |= std::strncmp(argument, "--benchmark_repetitions", 23) == 0;
    }
    char defaultRepetitions[] = "--benchmark_repetitions=5";
    if (!repetitionsGiven) arguments.push_back(defaultRepetitions);
    argc = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    argv = arguments.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios(cases);
    benchmark::Shutdown();
    return 0;
}
