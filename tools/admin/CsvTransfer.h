// Moving the records of a table to and from CSV files.
#pragma once

#include "engine/Cursor.h"
#include "engine/Outcome.h"

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace vandro::admin {

// The engine's message of its last failure, on one line.
std::string engineFailure(engine::Result result);

// Reads CSV from `in` (named `fileName` in messages) into the table behind
// `cursor`, all or nothing: the first bad record stops the import and no
// record of the file is stored. The header row names the columns in any
// order, matched without regard to case; columns the file lacks become null.
// An unquoted empty field is null, a quoted one ("") the empty text.
// `progress`, when set, is called every few thousand records. Gives the
// records imported; fails naming the file, the line, the column and the
// reason.
Outcome<long> importCsv(engine::Cursor &cursor, std::istream &in, const std::string &fileName,
                        const std::function<void(long)> &progress = {});

// Writes every record of the table (with `filter`, those that pass it), in
// key order, with a header row: RFC
// 4180 quoting, CRLF line ends, nulls as unquoted empty fields. Gives the
// records written, or why it stopped. What it says of the values it writes
// goes into `warnings`, one line each, also when it fails after them (each
// value written as stored although it is no UTF-8 text).
Outcome<long> exportCsv(engine::Cursor &cursor, std::ostream &out, const std::string &fileName,
                        std::vector<std::string> &warnings, const engine::RecordFilter *filter = nullptr);

} // namespace vandro::admin
