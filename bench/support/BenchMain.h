#pragma once

// The main() of a benchmark program: its benchmarks under a Qt application of type App.
// Widget benchmarks take QApplication, drawn offscreen unless a platform is chosen.

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <type_traits>

template <class App>
int runBenchmarks(int argc, char** argv)
{
    if constexpr (std::is_base_of_v<QGuiApplication, App>)
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
