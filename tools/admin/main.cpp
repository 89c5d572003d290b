// vandro-admin: the administration tool for Vandro's relation tables.
#include "Commands.h"
#include "engine/WholeFile.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Ctrl+C, a closed terminal or a termination request: the half-written
// export or configuration goes, then the program ends as the signal says.
void endOnSignal(int signal) {
  vandro::engine::WholeFile::removeUnfinished();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

} // namespace

int main(int argc, char **argv) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP})
    std::signal(signal, endOnSignal);
  CLI::App app{"Administration of Vandro's relation tables: where they live (aliases), creating,\n"
               "importing and exporting CSV, passwords, checks, and the demo table; RST corpora\n"
               "imported and exported with their markers, their documents listed and removed,\n"
               "counts of what the annotation says, the agreement of two annotators' tables,\n"
               "the records still to do (find), and the records held locked now.\n\n"
               "DATABASE is an alias of the engine configuration, or a directory path when it\n"
               "holds \"/\", \":\" or \"\\\" (for the current directory write ./). TABLE is a file\n"
               "name in that directory, such as Vandro.DB.",
               "vandro-admin"};
  app.require_subcommand(1);
  namespace admin = vandro::admin;
  admin::Context context(std::cout, std::cerr);
  // The commands, in the order --help lists them.
  for (const auto add :
       {admin::addAliasCommand, admin::addCreateCommand, admin::addImportCommand, admin::addImportRstCommand,
        admin::addExportRstCommand, admin::addDocumentsCommand, admin::addFindCommand, admin::addLocksCommand,
        admin::addRemoveDocumentCommand, admin::addHistoryCommand, admin::addRevertCommand, admin::addStatsCommand,
        admin::addAgreementCommand, admin::addExportCommand, admin::addPasswordCommand,
        admin::addCheckCommand, admin::addInitCommand})
    add(app, context);

  // A word where a command belongs that names none: said plainly, with the
  // commands there are.
  if (argc > 1 && argv[1][0] != '-') {
    const auto commands = app.get_subcommands([](const CLI::App *) { return true; });
    if (std::none_of(commands.begin(), commands.end(), [&](const CLI::App *c) { return c->get_name() == argv[1]; })) {
      std::cerr << "vandro-admin: unknown command \"" << argv[1] << "\"; the commands are";
      for (const CLI::App *c : commands)
        std::cerr << " " << c->get_name();
      std::cerr << " (vandro-admin --help tells more)\n";
      return vandro::admin::kUsage;
    }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp &e) {
    return app.exit(e);
  } catch (const CLI::ParseError &e) {
    app.exit(e);
    return vandro::admin::kUsage;
  } catch (const std::exception &e) {
    // The last line of defence: a failure nobody answered is reported, and
    // the tool ends with status 1 instead of aborting.
    std::cerr << "vandro-admin: " << e.what() << "\n";
    return vandro::admin::kFailure;
  } catch (...) {
    std::cerr << "vandro-admin: an unexpected failure\n";
    return vandro::admin::kFailure;
  }
  return context.status;
}
