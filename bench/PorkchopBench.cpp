// Porkchop cells per second on 1 and 2 jobs (the cells are the parallelism; one flight at a time inside each
// aim). Target: 2 jobs at least 1.8 times the cells per second of 1 on a 2-core machine. The grid is small and
// quick (Earth to Luna from the built-in start, 36 cells of flights of 500 to 2500 steps); quote the medians of
// the repetitions and the machine's load, as the cells share the cores with whatever else runs.
#include "Plan/Ephemeris.h"
#include "Plan/Porkchop.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

void BM_PorkchopCells(benchmark::State& state) {
    const Plan::Ephemeris eph = Plan::Ephemeris::solarSystem();
    Plan::PorkchopSpec spec;
    spec.from = eph.find("Earth");
    spec.to = eph.find("Luna");
    spec.depart = {1000, 2000, 200};
    spec.arrive = {2500, 3500, 200};
    spec.distance = Plan::defaultArrivalDistance(eph, spec.to);
    const unsigned jobs = unsigned(state.range(0));
    size_t converged = 0;
    for (auto _ : state) {
        std::vector<Plan::PorkchopCell> cells = Plan::computeCells(spec, 0, spec.cells(), jobs);
        converged = size_t(std::count_if(cells.begin(), cells.end(), [](const auto& c) { return c.converged; }));
        benchmark::DoNotOptimize(cells.data());
    }
    state.counters["cells_per_s"] =
        benchmark::Counter(double(spec.cells()) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["converged"] = double(converged);
}
BENCHMARK(BM_PorkchopCells)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace
