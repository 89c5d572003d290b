// vandro-admin: the administration tool for Vandro's relation tables.
#include "AdminCommands.h"
#include "Stats.h"
#include "engine/Config.h"
#include "engine/Drivers.h"
#include "engine/WholeFile.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

using vandro::admin::AdminCommands;
using vandro::admin::Force;

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
               "importing and exporting CSV, passwords, checks, and the demo table.\n\n"
               "DATABASE is an alias of the engine configuration, or a directory path when it\n"
               "holds \"/\", \":\" or \"\\\" (for the current directory write ./). TABLE is a file\n"
               "name in that directory, such as Vandro.DB.",
               "vandro-admin"};
  app.require_subcommand(1);
  AdminCommands commands(std::cout, std::cerr);
  int status = 0;

  std::string name, database, table, file;

  auto *alias = app.add_subcommand("alias", "Edit the database aliases of the engine configuration\n"
                                            "($VANDRO_ENGINE_CONFIG, else ~/.config/vandro/engine.conf)");
  alias->require_subcommand(1);
  std::string driver(vandro::engine::kDirectoryDriver);
  std::vector<std::string> where;
  auto *aliasSet = alias->add_subcommand(
      "set", "Make NAME an alias of DIRECTORY (added or replaced), or with --driver postgresql\n"
             "of a database server, given by libpq connection settings such as host=db.example.org\n"
             "dbname=rst user=ann (and schema=NAME for the tables' schema); never a password");
  aliasSet->add_option("NAME", name, "Alias name")->required();
  aliasSet->add_option("--driver", driver,
                       "One of the drivers " + vandro::engine::driverList() + "; " +
                           std::string(vandro::engine::kDirectoryDriver) + " when not given");
  aliasSet->add_option("DIRECTORY_OR_SETTINGS", where, "Database directory, or KEY=VALUE connection settings")
      ->required();
  aliasSet->callback([&] {
    for (char &c : driver)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (const auto *chosen = vandro::engine::driverNamed(driver); chosen && chosen->takesDirectory) {
      if (where.size() != 1) {
        std::cerr << "vandro-admin: alias set NAME DIRECTORY takes one directory\n";
        status = vandro::admin::kUsage;
        return;
      }
      status = commands.aliasSet(name, where.front());
    } else {
      status = commands.aliasSetServer(name, driver, where);
    }
  });
  auto *aliasList = alias->add_subcommand("list", "List the aliases: name, driver, directory");
  aliasList->callback([&] { status = commands.aliasList(); });
  auto *aliasRemove = alias->add_subcommand("remove", "Remove the alias NAME");
  aliasRemove->add_option("NAME", name, "Alias name")->required();
  aliasRemove->callback([&] { status = commands.aliasRemove(name); });

  auto addTableArguments = [&](CLI::App *command) {
    command->add_option("DATABASE", database, "Alias or directory path")->required();
    command->add_option("TABLE", table, "Table file name, such as Vandro.DB")->required();
  };

  auto *create = app.add_subcommand("create", "Create an empty standard relation table; refuses when it exists");
  addTableArguments(create);
  create->callback([&] { status = commands.create(database, table); });

  auto *import = app.add_subcommand(
      "import", "Import an RFC 4180 CSV file (UTF-8, header row naming the columns in any order)\n"
                "into TABLE, all or nothing: an unquoted empty field is null, \"\" the empty text.\n"
                "The first bad record stops the import, naming its line, column and reason.");
  addTableArguments(import);
  import->add_option("FILE", file, "CSV file")->required();
  import->callback([&] { status = commands.importFile(database, table, file); });

  std::string mapFile;
  std::vector<std::string> paths;
  auto *importRst = app.add_subcommand(
      "import-rst",
      "Import RST documents (rs3/rs4 XML of RST annotation tools) as relation records: one\n"
      "record per satellite and per pair of adjacent co-nuclei, markers from rs4 discourse\n"
      "signals. Records go after the table's largest Id, document after document, all or\n"
      "nothing. The map of the GUM corpus's relation names is " VANDRO_DATA_DIR "/gum-map.csv.");
  addTableArguments(importRst);
  importRst->add_option("--map", mapFile, "CSV file with the header from,to: relation names to store in place of the documents' own");
  importRst->add_option("PATH", paths, "An .rs3/.rs4 file, or a folder whose .rs3 and .rs4 files are taken by name")
      ->required();
  importRst->callback([&] { status = commands.importRst(database, table, mapFile, paths); });

  std::vector<std::string> documentNames;
  auto *exportRst = app.add_subcommand(
      "export-rst",
      "Write the RST documents that import-rst stored with TABLE into FOLDER under their\n"
      "file names, with the table's markers as dm signals, all or nothing. A document\n"
      "whose markers did not change is written byte for byte as imported; in the others\n"
      "each part of a changed marker (\"and + instead\") is one dm signal: signals the user\n"
      "kept stay as they were, new parts become signals, parts taken away remove theirs.\n"
      "Every signal added and removed, parts that cannot be written, markers that would\n"
      "read back otherwise and records whose other columns changed are listed by Id. A file\n"
      "in FOLDER that changed since the import is not replaced without --force.");
  addTableArguments(exportRst);
  bool force = false;
  exportRst->add_option("FOLDER", file, "Folder for the documents (made when missing)")->required();
  exportRst->add_option("--document", documentNames, "Only this document (its From); may be given again");
  exportRst->add_flag("--force", force, "Replace files of FOLDER that changed since the import");
  exportRst->callback([&] {
    status = commands.exportRst(database, table, file, documentNames, force ? Force::Yes : Force::No);
  });

  auto *documents = app.add_subcommand(
      "documents", "List the RST documents stored with TABLE: name, records, records with a marker,\n"
                   "records whose markers changed since the import, time of import");
  addTableArguments(documents);
  documents->callback([&] { status = commands.documents(database, table); });

  auto *locks = app.add_subcommand(
      "locks", "List the records of TABLE that annotators (or other clients) hold locked now, one\n"
               "line each: the record, who holds it, on which machine, since when");
  addTableArguments(locks);
  locks->callback([&] { status = commands.locks(database, table); });

  auto *removeDocument = app.add_subcommand(
      "remove-document", "Delete the named documents' records, their sources and the stored documents,\n"
                         "each in one transaction, saying how many records (and with markers) went. Refused\n"
                         "while another program edits one of the records, and for a document whose markers\n"
                         "changed since its import unless --force");
  addTableArguments(removeDocument);
  removeDocument->add_option("NAME", documentNames, "Document name (the From of its records)")->required();
  removeDocument->add_flag("--force", force, "Remove documents whose markers changed since their import");
  removeDocument->callback([&] {
    status = commands.removeDocuments(database, table, documentNames, force ? Force::Yes : Force::No);
  });

  std::string statsBy = "relation", chart;
  bool statsCsv = false;
  std::vector<std::string> statsDocuments;
  auto *stats = app.add_subcommand(
      "stats", "Count what the annotation says, in grouping queries of the database:\n"
               "--by relation (the default): records, records with a marker, their share and the\n"
               "three most frequent markers per relation; --by marker: markers (letter case aside)\n"
               "by relation; --by position: the markers' positions in span 1 and span 2 by relation;\n"
               "--by document: records and records with a marker per From.");
  addTableArguments(stats);
  stats->add_option("--by", statsBy, "relation, marker, position or document")
      ->check(CLI::IsMember(vandro::admin::kStatsBy));
  stats->add_option("--document", statsDocuments, "Count only this document (its From); may be given again");
  stats->add_flag("--csv", statsCsv, "RFC 4180 CSV instead of the aligned table (every marker)");
  stats->add_option("--chart", chart, "Also draw the table into FILE, an .svg or .png");
  stats->callback([&] { status = commands.stats(database, table, statsBy, statsDocuments, statsCsv, chart); });

  auto *exportCommand = app.add_subcommand(
      "export", "Export every record in key order as CSV with a header row and CRLF line ends;\n"
                "nulls are unquoted empty fields, empty texts \"\".");
  addTableArguments(exportCommand);
  exportCommand->add_option("FILE", file, "CSV file; standard output when left out or -");
  exportCommand->callback([&] { status = commands.exportFile(database, table, file); });

  auto *password = app.add_subcommand(
      "password", "Set or clear a table's password (read from the terminal without echo,\n"
                  "or one line of standard input). It guards opening; it does not encrypt the file.");
  password->require_subcommand(1);
  auto *passwordSet = password->add_subcommand("set", "Set the table's password");
  addTableArguments(passwordSet);
  passwordSet->callback([&] {
    if ((status = commands.refuseServerPassword(database)) != 0)
      return;
    const auto first = AdminCommands::readPassword("New password: ");
    if (!first || first->empty()) {
      std::cerr << "vandro-admin: no password given; nothing changed\n";
      status = 1;
      return;
    }
    if (isatty(0) == 1) {
      const auto again = AdminCommands::readPassword("Repeat the password: ");
      if (!again || *again != *first) {
        std::cerr << "vandro-admin: the two passwords differ; nothing changed\n";
        status = 1;
        return;
      }
    }
    status = commands.setPassword(database, table, first);
  });
  auto *passwordClear = password->add_subcommand("clear", "Remove the table's password");
  addTableArguments(passwordClear);
  passwordClear->callback([&] {
    if ((status = commands.refuseServerPassword(database)) == 0)
      status = commands.setPassword(database, table, std::nullopt);
  });

  auto *check = app.add_subcommand(
      "check", "Check the table file's integrity and every stored value against its column's\n"
               "kind and size; exit status 1 when anything is wrong");
  addTableArguments(check);
  check->callback([&] { status = commands.check(database, table); });

  bool demo = false;
  auto *init = app.add_subcommand(
      "init", "With --demo: add the alias Vandro for ~/.local/share/vandro when there is none,\n"
              "and make the demo table Vandro.DB there when it is missing. Changes nothing\n"
              "when both exist.");
  init->add_flag("--demo", demo, "Make the demo table")->required();
  init->callback([&] { status = commands.initDemo(); });

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
  return status;
}
