// The commands of vandro-admin, one per file in commands/: each declares
// its options on the tool's command line and, when chosen, runs with the
// shared context, leaving its exit status there.
#pragma once

#include "Context.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

namespace vandro::admin {

// The DATABASE and TABLE every table command takes.
struct TableArguments {
  std::string database, table;
};
std::shared_ptr<TableArguments> addTableArguments(CLI::App &command);

// A command of the tool: `summary`, one line, is what --help lists;
// `details` follow in the command's own --help.
CLI::App *addCommand(CLI::App &app, const std::string &name, const std::string &summary,
                     const std::string &details);

void addAliasCommand(CLI::App &app, Context &context);
void addCreateCommand(CLI::App &app, Context &context);
void addImportCommand(CLI::App &app, Context &context);
void addImportRstCommand(CLI::App &app, Context &context);
void addExportRstCommand(CLI::App &app, Context &context);
void addDocumentsCommand(CLI::App &app, Context &context);
void addFindCommand(CLI::App &app, Context &context);
void addLocksCommand(CLI::App &app, Context &context);
void addRemoveDocumentCommand(CLI::App &app, Context &context);
void addHistoryCommand(CLI::App &app, Context &context);
void addRevertCommand(CLI::App &app, Context &context);
void addStatsCommand(CLI::App &app, Context &context);
void addAgreementCommand(CLI::App &app, Context &context);
void addExportCommand(CLI::App &app, Context &context);
void addPasswordCommand(CLI::App &app, Context &context);
void addCheckCommand(CLI::App &app, Context &context);
void addInitCommand(CLI::App &app, Context &context);

} // namespace vandro::admin
