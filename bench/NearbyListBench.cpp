// People Nearby with many people at once: what it costs the main thread when a crowd of copies
// is reported (each found, then its address), with the window open and painting, and when they
// all leave again. The reports come straight from the test's fake service, so this is the rows
// and the window alone, without the daemon.
#include "nearby/TNearbyPeople.h"
#include "nearby/qt/TPeopleNearbyForm.h"
#include "support/FakeNearbyService.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace quillet;

void Report(testing::TFakeNearbyService& service, int people, bool arrive)
{
    for (int i = 0; i < people; ++i) {
        const std::string name = "Person " + std::to_string(i * 7919 % people);
        if (arrive)
            service.Appear(name, "169.254.23." + std::to_string(i % 250 + 1));
        else
            service.Leave(name);
    }
    QApplication::processEvents();
}

// A crowd arrives and leaves while the window is open; the time of both, per person.
void CrowdArrivesAndLeaves(benchmark::State& state)
{
    const int people = static_cast<int>(state.range(0));
    TNearbyPeople rows;
    testing::TFakeNearbyService service;
    service.SetListener(&rows);
    rows.ServiceStateChanged(TNearbyServiceState::Running);
    TPeopleNearbyForm form(rows);
    form.ShowForm();
    QApplication::processEvents();
    for (auto _ : state) {
        Report(service, people, true);
        Report(service, people, false);
    }
    state.SetItemsProcessed(state.iterations() * people);
}
BENCHMARK(CrowdArrivesAndLeaves)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
