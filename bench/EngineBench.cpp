// Cursor operations of the engine at 1,000, 100,000 and 1,000,000 records.
// Every operation should cost the same at every size. On a server's tables
// with bench/with_private_postgres.sh build/bench/engine_bench.
#include "BenchTables.h"

#include <benchmark/benchmark.h>
#include <random>
#include <stdexcept>

using namespace vandro::engine;
using vandro::bench::benchDatabase;
using vandro::bench::ensureRelationTable;

namespace {

std::unique_ptr<Cursor> openBench(long records) {
  Database &database = benchDatabase();
  const std::string name = ensureRelationTable(database, records);
  std::unique_ptr<Cursor> cursor;
  if (database.openTable(name, "default", OpenMode::ReadWrite, ShareMode::Shared, cursor) != code::Ok)
    throw std::runtime_error("cannot open " + name);
  return cursor;
}

void check(Result result) {
  if (result != code::Ok)
    throw std::runtime_error("engine failure " + std::to_string(result));
}

void BM_OpenToFirstRecord(benchmark::State &state) {
  const std::string name = ensureRelationTable(benchDatabase(), state.range(0));
  for (auto _ : state) {
    std::unique_ptr<Cursor> cursor;
    check(benchDatabase().openTable(name, "default", OpenMode::ReadWrite, ShareMode::Shared, cursor));
    Record record;
    check(cursor->setToBegin());
    check(cursor->readNext(record));
    benchmark::DoNotOptimize(record);
  }
}

// What the program does at start: the database opened by its alias, the
// table opened, the first record read.
void BM_OpenDatabaseToFirstRecord(benchmark::State &state) {
  const std::string name = ensureRelationTable(benchDatabase(), state.range(0));
  for (auto _ : state) {
    auto database = vandro::bench::openBenchDatabase();
    std::unique_ptr<Cursor> cursor;
    check(database->openTable(name, "default", OpenMode::ReadWrite, ShareMode::Shared, cursor));
    Record record;
    check(cursor->setToBegin());
    check(cursor->readNext(record));
    benchmark::DoNotOptimize(record);
  }
}

void BM_Next(benchmark::State &state) {
  auto cursor = openBench(state.range(0));
  Record record;
  check(cursor->setToBegin());
  for (auto _ : state) {
    if (cursor->readNext(record) != code::Ok) {
      check(cursor->setToBegin());
      check(cursor->readNext(record));
    }
    benchmark::DoNotOptimize(record);
  }
}

void BM_Prior(benchmark::State &state) {
  auto cursor = openBench(state.range(0));
  Record record;
  check(cursor->setToEnd());
  for (auto _ : state) {
    if (cursor->readPrior(record) != code::Ok) {
      check(cursor->setToEnd());
      check(cursor->readPrior(record));
    }
    benchmark::DoNotOptimize(record);
  }
}

void BM_First(benchmark::State &state) {
  auto cursor = openBench(state.range(0));
  Record record;
  for (auto _ : state) {
    check(cursor->setToBegin());
    check(cursor->readNext(record));
  }
}

void BM_Last(benchmark::State &state) {
  auto cursor = openBench(state.range(0));
  Record record;
  for (auto _ : state) {
    check(cursor->setToEnd());
    check(cursor->readPrior(record));
  }
}

void BM_FindKey(benchmark::State &state) {
  auto cursor = openBench(state.range(0));
  std::mt19937 random(7);
  std::uniform_int_distribution<long> id(1, state.range(0));
  Record record;
  for (auto _ : state)
    check(cursor->findKey({Value::integer(id(random))}, record));
}

// Lock, change one field, store: what a post of an edited record costs,
// with a durable (fully synchronous) commit.
void BM_Modify(benchmark::State &state) {
  auto cursor = openBench(state.range(0));
  std::mt19937 random(11);
  std::uniform_int_distribution<long> id(1, state.range(0));
  Record record;
  for (auto _ : state) {
    check(cursor->findKey({Value::integer(id(random))}, record));
    check(cursor->readCurrent(record, LockMode::WriteLock));
    record.values[14] = Value::text("because");
    check(cursor->modifyRecord(record));
  }
}

// The relation search that finds nothing: one request from the first record
// through the whole table.
void BM_SearchMiss(benchmark::State &state) {
  auto cursor = openBench(state.range(0));
  Record record;
  for (auto _ : state) {
    check(cursor->setToBegin());
    check(cursor->readNext(record));
    if (cursor->findText(SearchDirection::Forward, 2, "nothing-matches", record) != code::Eof)
      throw std::runtime_error("the search found something");
  }
}

// Steps through every record of the table and reports how much the peak
// resident memory grew meanwhile.
void BM_StepThroughAll(benchmark::State &state) {
  auto cursor = openBench(state.range(0));
  Record record;
  const long before = vandro::bench::peakResidentKiB();
  long records = 0;
  for (auto _ : state) {
    check(cursor->setToBegin());
    while (cursor->readNext(record) == code::Ok)
      ++records;
  }
  state.counters["records"] = static_cast<double>(records);
  state.counters["peak_growth_KiB"] = static_cast<double>(vandro::bench::peakResidentKiB() - before);
  state.counters["peak_KiB"] = static_cast<double>(vandro::bench::peakResidentKiB());
}

} // namespace

#define SIZES ->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_OpenToFirstRecord) SIZES;
BENCHMARK(BM_OpenDatabaseToFirstRecord) SIZES;
BENCHMARK(BM_Next) SIZES;
BENCHMARK(BM_Prior) SIZES;
BENCHMARK(BM_First) SIZES;
BENCHMARK(BM_Last) SIZES;
BENCHMARK(BM_FindKey) SIZES;
BENCHMARK(BM_Modify) SIZES;
BENCHMARK(BM_SearchMiss) SIZES;
BENCHMARK(BM_StepThroughAll)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
