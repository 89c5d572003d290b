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
// Starts the engine and opens the benchmark database (once per process).
engine::Database &benchDatabase();
// Peak resident memory of the process so far, in KiB.
long peakResidentKiB();

} // namespace vandro::bench
