// vandro-admin check: the table's integrity and its stored values.
#include "Commands.h"

#include "RstExport.h"
#include "corpus/Corpus.h"
#include "corpus/History.h"
#include "corpus/RelationTable.h"
#include "engine/MessageText.h"

#include <vector>

namespace vandro::admin {

using namespace engine;
using namespace corpus;

namespace {

int check(Context &context, const std::string &database, const std::string &table) {
  Context::Session session(context);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  std::vector<std::string> problems;
  if (const Result result = session.cursor().integrityCheck(problems); result != code::Ok)
    return context.failure(engineMessage(result));
  if (const Result result = relationTableProblems(session.cursor(), problems); result != code::Ok)
    return context.failure(engineMessage(result));
  if (const Result result = History::problems(session.cursor(), problems); result != code::Ok)
    return context.failure(engineMessage(result));
  // The corpus kept beside the table, if any.
  Corpus corpus(session.cursor());
  bool kept = false;
  if (const Result result = corpus.exists(kept); result != code::Ok)
    return context.failure(engineMessage(result));
  if (kept) {
    if (const Result result = corpus.problems(problems); result != code::Ok)
      return context.failure(engineMessage(result));
    const Outcome<std::vector<std::string>> sources = corpusSourceProblems(session.cursor());
    if (!sources)
      return context.failure(sources.error());
    problems.insert(problems.end(), sources->begin(), sources->end());
  }
  for (const auto &problem : problems)
    context.out << shownLine(session.cursor().location()) << ": " << shownLine(problem) << "\n";
  if (!problems.empty())
    return context.failure(std::to_string(problems.size()) + " problem(s) in " + session.cursor().location());
  context.out << session.cursor().location() << ": ok\n";
  return kSuccess;
}

} // namespace

void addCheckCommand(CLI::App &app, Context &context) {
  auto *command =
      addCommand(app, "check", "Check the table and every stored value; exit status 1 when anything is wrong",
                 "Check the table file's integrity and every stored value against its column's\n"
                                  "kind and size; exit status 1 when anything is wrong");
  const auto table = addTableArguments(*command);
  command->callback([&context, table] { context.status = check(context, table->database, table->table); });
}

} // namespace vandro::admin
