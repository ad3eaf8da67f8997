// Conversion speed of ZymCharset::Conv next to calling iconv directly, the
// tool a program would otherwise use, on 64 KiB texts.
#include <ZymCharset/Conv.h>

#include <benchmark/benchmark.h>
#include <iconv.h>

#include <string>

namespace {

constexpr std::size_t TEXT_SIZE = 64 * 1024;

std::u16string SampleWide(char16_t first, char16_t count) {
    std::u16string text;
    while (text.size() < TEXT_SIZE / 2)
        for (char16_t c = first; c < first + count && text.size() < TEXT_SIZE / 2; ++c)
            text += c;
    return text;
}

const std::u16string& Latin() {
    static const std::u16string text = SampleWide(u' ', 95) + u"\u00E9\u20AC\u00FC";
    return text;
}

const std::u16string& Japanese() {
    static const std::u16string text = SampleWide(u'\u3041', 80);
    return text;
}

// The whole text through one iconv descriptor, output sized generously.
std::string Iconv(const char* to, const char* from, const std::string& input) {
    static thread_local std::string output;
    output.resize(input.size() * 4 + 16);
    iconv_t cd = iconv_open(to, from);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    return output.substr(0, output.size() - outLeft);
}

std::string Bytes(const std::u16string& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

void Run(benchmark::State& state, std::size_t bytes, auto convert) {
    for (auto _ : state)
        benchmark::DoNotOptimize(convert());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void Conv1252ToWide(benchmark::State& state) {
    const std::string text = ZymCharset::Conv::FromWide(1252, Latin());
    Run(state, text.size(), [&] { return ZymCharset::Conv::ToWide(1252, text); });
}
void Iconv1252ToWide(benchmark::State& state) {
    const std::string text = ZymCharset::Conv::FromWide(1252, Latin());
    Run(state, text.size(), [&] { return Iconv("UTF-16LE", "WINDOWS-1252", text); });
}
void ConvWideTo1252(benchmark::State& state) {
    Run(state, Latin().size() * 2, [&] { return ZymCharset::Conv::FromWide(1252, Latin()); });
}
void IconvWideTo1252(benchmark::State& state) {
    const std::string wide = Bytes(Latin());
    Run(state, wide.size(), [&] { return Iconv("WINDOWS-1252", "UTF-16LE", wide); });
}
void ConvUtf8ToWide(benchmark::State& state) {
    const std::string text = ZymCharset::Conv::FromWide(65001, Japanese());
    Run(state, text.size(), [&] { return ZymCharset::Conv::ToWide(65001, text); });
}
void IconvUtf8ToWide(benchmark::State& state) {
    const std::string text = ZymCharset::Conv::FromWide(65001, Japanese());
    Run(state, text.size(), [&] { return Iconv("UTF-16LE", "UTF-8", text); });
}
void Conv932ToWide(benchmark::State& state) {
    const std::string text = ZymCharset::Conv::FromWide(932, Japanese());
    Run(state, text.size(), [&] { return ZymCharset::Conv::ToWide(932, text); });
}
void Iconv932ToWide(benchmark::State& state) {
    const std::string text = ZymCharset::Conv::FromWide(932, Japanese());
    Run(state, text.size(), [&] { return Iconv("UTF-16LE", "CP932", text); });
}
// A short registry-sized name, where setting up a conversion dominates.
void ConvShortName1252(benchmark::State& state) {
    const std::string name = "Software\\Classes\\CLSID";
    Run(state, name.size(), [&] { return ZymCharset::Conv::ToWide(1252, name); });
}
void IconvShortName1252(benchmark::State& state) {
    const std::string name = "Software\\Classes\\CLSID";
    Run(state, name.size(), [&] { return Iconv("UTF-16LE", "WINDOWS-1252", name); });
}

} // namespace

BENCHMARK(Conv1252ToWide);
BENCHMARK(Iconv1252ToWide);
BENCHMARK(ConvWideTo1252);
BENCHMARK(IconvWideTo1252);
BENCHMARK(ConvUtf8ToWide);
BENCHMARK(IconvUtf8ToWide);
BENCHMARK(Conv932ToWide);
BENCHMARK(Iconv932ToWide);
BENCHMARK(ConvShortName1252);
BENCHMARK(IconvShortName1252);

BENCHMARK_MAIN();
