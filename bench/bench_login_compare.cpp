// The stored-password comparison of the login: a wrong guess that differs at the first
// character must take as long as one that differs at the last, or the time would tell a
// guesser how much of it was right. Measured beside QString's own ==, which stops at the first
// difference, in the same run; the figures are ratios last-difference / first-difference.

#include "desk/login.h"
#include "store/passwd.h"

#include <QCoreApplication>
#include "medianreporter.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>

namespace {

// A long password, so that where the difference lies is worth hundreds of characters.
QString g_stored;
QString g_firstWrong;
QString g_lastWrong;

void prepare()
{
    QString password;
    for (int i = 0; i < 256; ++i)
        password += QChar(u'a' + i % 26);
    ScrambleHex(password, g_stored);
    g_firstWrong = g_stored;
    g_firstWrong[0] = g_firstWrong.at(0) == u'3' ? u'B' : u'3';
    g_lastWrong = g_stored;
    const qsizetype last = g_lastWrong.size() - 1;
    g_lastWrong[last] = g_lastWrong.at(last) == u'3' ? u'B' : u'3';
}

void BM_SameSecretFirstDiffers(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(SameSecret(g_stored, g_firstWrong));
}
void BM_SameSecretLastDiffers(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(SameSecret(g_stored, g_lastWrong));
}
void BM_QStringEqualFirstDiffers(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(g_stored == g_firstWrong);
}
void BM_QStringEqualLastDiffers(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(g_stored == g_lastWrong);
}

BENCHMARK(BM_SameSecretFirstDiffers)->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(BM_SameSecretLastDiffers)->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(BM_QStringEqualFirstDiffers)->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(BM_QStringEqualLastDiffers)->Repetitions(15)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    prepare();
    if (!SameSecret(g_stored, g_stored) || SameSecret(g_stored, g_firstWrong) ||
        SameSecret(g_stored, g_lastWrong)) {
        std::fprintf(stderr, "the comparison gives wrong answers\n");
        return 2;
    }

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto &m = reporter.medianNs;
    const double sameFirst = m["BM_SameSecretFirstDiffers"];
    const double sameLast = m["BM_SameSecretLastDiffers"];
    const double eqFirst = m["BM_QStringEqualFirstDiffers"];
    const double eqLast = m["BM_QStringEqualLastDiffers"];
    if (sameFirst <= 0 || sameLast <= 0 || eqFirst <= 0 || eqLast <= 0)
        return 0; // filtered out
    std::printf("\nstored text of %lld characters\n", static_cast<long long>(g_stored.size()));
    std::printf("SameSecret, last / first character differing: %.2f (%.0f ns / %.0f ns)\n",
                sameLast / sameFirst, sameLast, sameFirst);
    std::printf("QString ==, last / first character differing: %.2f (%.0f ns / %.0f ns)\n",
                eqLast / eqFirst, eqLast, eqFirst);
    return 0;
}
