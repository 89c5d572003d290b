// Cursor operations of the engine at 1,000, 100,000 and 1,000,000 records.
// Every operation should cost the same at every size. On a server's tables
// with bench/with_private_postgres.sh build/bench/engine_bench.
#include "corpus/History.h"
#include "BenchTables.h"
#include "corpus/RecordFind.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>
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
// A post of one changed marker; with the second argument 1, as the window
// posts, its history row written in the same transaction.
void BM_Modify(benchmark::State &state) {
  auto cursor = openBench(state.range(0));
  if (state.range(1))
    cursor->setChangeLog(
        std::make_shared<vandro::corpus::History>("engine_bench", vandro::corpus::History::Rows::PerColumn));
  std::mt19937 random(11);
  std::uniform_int_distribution<long> id(1, state.range(0));
  Record record;
  for (auto _ : state) {
    check(cursor->findKey({Value::integer(id(random))}, record));
    check(cursor->readCurrent(record, LockMode::WriteLock));
    const bool because = record.values[14].isText() && record.values[14].asText() == "because";
    record.values[14] = Value::text(because ? "so" : "because");
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

// The find's conditions (corpus::recordFilter) that the find and count
// benchmarks run: a span text no record holds, letter case aside; and no
// marker on either span in a document no record has.
vandro::corpus::FindConditions findConditions(long which) {
  vandro::corpus::FindConditions conditions;
  if (which == 0) {
    conditions.text = "Nothing-Matches";
  } else {
    conditions.document = "GUM_bench_none";
    conditions.withoutMarker = vandro::corpus::Spans::Both;
  }
  return conditions;
}

// A find that misses, from the first record: args (records, conditions).
void BM_FindMiss(benchmark::State &state) {
  auto cursor = openBench(state.range(0));
  const auto filter = vandro::corpus::recordFilter(*cursor, findConditions(state.range(1)));
  Record record;
  for (auto _ : state) {
    check(cursor->setToBegin());
    check(cursor->readNext(record));
    if (cursor->findWhere(SearchDirection::Forward, *filter, record) != code::Eof)
      throw std::runtime_error("the find found something");
  }
}

// The Find dialog's count of the records without a marker on either span.
void BM_FindCount(benchmark::State &state) {
  auto cursor = openBench(state.range(0));
  vandro::corpus::FindConditions conditions;
  conditions.withoutMarker = vandro::corpus::Spans::Both;
  const auto filter = vandro::corpus::recordFilter(*cursor, conditions);
  std::int64_t count = 0;
  for (auto _ : state)
    check(cursor->countWhere(*filter, count));
  if (count != state.range(0))
    throw std::runtime_error("an unexpected count");
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
// A program killed while it holds a record's lock: how soon another can
// lock the record (the kernel drops a file lock with its holder; a server
// drops its advisory lock once it notices the connection gone).
void BM_KilledHolderLockFree(benchmark::State &state) {
  const std::string name = ensureRelationTable(benchDatabase(), state.range(0));
  auto cursor = openBench(state.range(0));
  for (auto _ : state) {
    int ready[2];
    if (::pipe(ready) != 0)
      throw std::runtime_error("no pipe");
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(ready[0]);
      auto database = vandro::bench::openBenchDatabase();
      std::unique_ptr<Cursor> holder;
      Record record;
      if (database->openTable(name, "default", OpenMode::ReadWrite, ShareMode::Shared, holder) != code::Ok ||
          holder->findKey({Value::integer(1)}, record) != code::Ok ||
          holder->readCurrent(record, LockMode::WriteLock) != code::Ok)
        ::_exit(1);
      (void)!::write(ready[1], "x", 1);
      ::pause();
      ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    const bool locked = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    if (!locked)
      throw std::runtime_error("the holder could not lock");
    Record record;
    check(cursor->findKey({Value::integer(1)}, record));
    const auto start = std::chrono::steady_clock::now();
    ::kill(child, SIGKILL);
    Result relocked;
    while ((relocked = cursor->readCurrent(record, LockMode::WriteLock)) == code::RecordLocked)
      ::usleep(200);
    check(relocked);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    ::waitpid(child, nullptr, 0);
    check(cursor->releaseLock());
  }
}

BENCHMARK(BM_OpenToFirstRecord) SIZES;
BENCHMARK(BM_OpenDatabaseToFirstRecord) SIZES;
BENCHMARK(BM_Next) SIZES;
BENCHMARK(BM_Prior) SIZES;
BENCHMARK(BM_First) SIZES;
BENCHMARK(BM_Last) SIZES;
BENCHMARK(BM_FindKey) SIZES;
BENCHMARK(BM_Modify)->ArgsProduct({{1000, 100000, 1000000}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SearchMiss) SIZES;
BENCHMARK(BM_FindMiss)->ArgsProduct({{1000, 100000, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindCount)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KilledHolderLockFree)->Arg(1000)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepThroughAll)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
