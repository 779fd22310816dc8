#pragma once
// The main of a benchmark program that needs a QApplication (painting,
// fonts, widgets): the offscreen platform unless the environment names one.
// Include it in a benchmark's .cpp and write BC_BENCHMARK_MAIN() at its end.

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

#define BC_BENCHMARK_MAIN()                                                                        \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        if (!std::getenv("QT_QPA_PLATFORM"))                                                       \
            setenv("QT_QPA_PLATFORM", "offscreen", 1);                                             \
        QApplication app(argc, argv);                                                              \
        benchmark::Initialize(&argc, argv);                                                        \
        benchmark::RunSpecifiedBenchmarks();                                                       \
        benchmark::Shutdown();                                                                     \
        return 0;                                                                                  \
    }
