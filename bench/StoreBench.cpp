// Table1's own cost on the million-record relation table: Next with two
// linked controls' worth of data links and the scroll handler attached, a
// walk through every record, and FindByKey with random keys.
#include "BenchTables.h"
#include "store/TDataLink.h"
#include "store/TDataSource.h"
#include "store/TSession.h"
#include "store/TTable.h"

#include <QCoreApplication>
#include <array>
#include <benchmark/benchmark.h>
#include <memory>
#include <random>
#include <stdexcept>

using namespace vandro;

namespace {

constexpr long kRecords = 1000000;

// Records each event by counting it per kind, as cheaply as a control that
// only looks at the event would.
class RecordingLink : public store::TDataLink {
public:
  void dataEvent(store::DataEvent event, store::TField *) override { ++counts[static_cast<std::size_t>(event)]; }
  std::array<long, 9> counts{};
};

// Table1 on the benchmark table, with one data source, two links on it
// and both scroll handlers, as the main window has them.
struct BenchTable {
  BenchTable() {
    const std::string name = bench::ensureRelationTable(bench::benchDatabase(), kRecords);
    table.DatabaseName = QString::fromStdString(bench::benchDirectory());
    table.TableName = QString::fromStdString(name);
    source.addLink(&first);
    source.addLink(&second);
    source.setDataSet(&table);
    table.BeforeScroll = [this](store::TTable &) { ++beforeScrolls; };
    table.AfterScroll = [this](store::TTable &) { ++afterScrolls; };
    table.Open();
  }
  ~BenchTable() { table.Close(); }

  store::TTable table{QStringLiteral("Table1"), store::Session};
  store::TDataSource source{QStringLiteral("DataSource1")};
  RecordingLink first, second;
  long beforeScrolls = 0, afterScrolls = 0;
};

void BM_TableNext(benchmark::State &state) {
  BenchTable bench;
  for (auto _ : state) {
    bench.table.Next();
    if (bench.table.AtEnd())
      bench.table.First();
  }
  state.counters["AfterScroll"] = static_cast<double>(bench.afterScrolls);
  long events = 0;
  for (long count : bench.first.counts)
    events += count;
  state.counters["events_per_Next"] = static_cast<double>(events) / static_cast<double>(state.iterations());
}

void BM_TableNextThroughAll(benchmark::State &state) {
  BenchTable bench;
  long records = 0;
  for (auto _ : state) {
    bench.table.First();
    records = 1;
    for (bench.table.Next(); !bench.table.AtEnd(); bench.table.Next())
      ++records;
  }
  if (records != kRecords)
    state.SkipWithError("the walk did not see every record");
  state.counters["records"] = static_cast<double>(records);
  state.counters["records_per_s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}

void BM_TableFindByKey(benchmark::State &state) {
  BenchTable bench;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> id(1, static_cast<int>(kRecords));
  long found = 0;
  for (auto _ : state)
    found += bench.table.FindByKey(id(random)) ? 1 : 0;
  if (found != static_cast<long>(state.iterations()))
    state.SkipWithError("a key in the table was not found");
}

} // namespace

BENCHMARK(BM_TableNext)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TableNextThroughAll)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableFindByKey)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv) {
  // The fields convert through the application's locale.
  QCoreApplication application(argc, argv);
  store::TSession session;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
