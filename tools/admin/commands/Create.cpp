// vandro-admin create: an empty standard relation table.
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

int create(Context &context, const std::string &database, const std::string &table) {
  Context::Session session(context);
  if (!session.openDatabase(database))
    return kFailure;
  if (const Result result = session.database().createTable(table, relationTableFields(), kRelationTableKey);
      result != code::Ok)
    return context.failure(engineMessage(result));
  return kSuccess;
}

} // namespace

void addCreateCommand(CLI::App &app, Context &context) {
  auto *command = app.add_subcommand("create", "Create an empty standard relation table; refuses when it exists");
  const auto table = addTableArguments(*command);
  command->callback([&context, table] { context.status = create(context, table->database, table->table); });
}

} // namespace vandro::admin
