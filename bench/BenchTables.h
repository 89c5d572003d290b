// Relation tables of a given size for the benchmarks, made once and kept.
#pragma once

#include "engine/Engine.h"

#include <memory>
#include <string>

namespace vandro::bench {

// The directory that holds the benchmark tables ($VANDRO_BENCH_DIR, else
// /tmp/vandro-bench); tables survive between runs because making the
// million-record one takes a while.
std::string benchDirectory();
// The file name of the table with `records` records, made when missing:
// `name`, or "Bench<records>.DB" when none is given.
std::string ensureRelationTable(engine::Database &database, long records, std::string name = {});
// Starts the engine and opens the benchmark database (once per process):
// the alias $VANDRO_BENCH_ALIAS when set (a server's), else the directory.
engine::Database &benchDatabase();
// Opens the benchmark database anew, as the program opens its database at
// start (the engine must be running: benchDatabase() starts it).
std::unique_ptr<engine::Database> openBenchDatabase();
// Whether the benchmark database is a server's.
bool onServer();
// Fills the empty relation table behind `cursor` with `records` records,
// in one bulk transaction.
void fillRelationTable(engine::Cursor &cursor, long records);
// Peak resident memory of the process so far, in KiB.
long peakResidentKiB();

} // namespace vandro::bench
