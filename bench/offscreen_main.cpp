// SPDX-License-Identifier: GPL-2.0-or-later
// The main of the benchmarks that draw: the toolkit on the offscreen platform (unless another
// is asked for), then the benchmarks.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
