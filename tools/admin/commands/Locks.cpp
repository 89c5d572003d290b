// vandro-admin locks: the records held locked now.
#include "Commands.h"

#include "CsvTransfer.h"
#include "RelationMap.h"
#include "RstExport.h"
#include "RstTransfer.h"
#include "Stats.h"
#include "StatsChart.h"
#include "corpus/Corpus.h"
#include "corpus/RelationTable.h"
#include "demo/DemoSetup.h"
#include "engine/Config.h"
#include "engine/DatabaseName.h"
#include "engine/Drivers.h"
#include "engine/Engine.h"
#include "engine/FailureMessage.h"
#include "engine/MessageText.h"
#include "engine/WholeFile.h"

#include <QGuiApplication>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <unistd.h>
#include <vector>

namespace vandro::admin {

using namespace engine;
using namespace corpus;

namespace {

int locks(Context &context, const std::string &database, const std::string &table) {
  Context::Session session(context);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  std::vector<LockHolder> holders;
  if (const Result listed = session.cursor().lockHolders(holders); listed != code::Ok)
    return context.failure(engineMessage(listed));
  if (holders.empty()) {
    context.out << "No record of " << shownLine(session.cursor().location()) << " is locked\n";
    return kSuccess;
  }
  context.out << "Record\tUser\tMachine\tSince\n";
  for (const LockHolder &h : holders)
    context.out << shownLine(h.record) << "\t" << shownLine(h.user)
                << (h.program.empty() ? "" : " (" + shownLine(h.program) + ")") << "\t" << shownLine(h.machine) << "\t"
                << (h.since ? sinceText(*h.since) : std::string()) << "\n";
  return kSuccess;
}

} // namespace

void addLocksCommand(CLI::App &app, Context &context) {
  auto *command =
      app.add_subcommand("locks", "List the records of TABLE that annotators (or other clients) hold locked now, one\n"
                                  "line each: the record, who holds it, on which machine, since when");
  const auto table = addTableArguments(*command);
  command->callback([&context, table] { context.status = locks(context, table->database, table->table); });
}

} // namespace vandro::admin
