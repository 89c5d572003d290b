#include "AdminCommands.h"

#include "CsvTransfer.h"
#include "demo/DemoSetup.h"
#include "RelationMap.h"
#include "RstExport.h"
#include "Stats.h"
#include "StatsChart.h"
#include "RstTransfer.h"
#include "engine/Config.h"
#include "corpus/Corpus.h"
#include "engine/DatabaseName.h"
#include "engine/Engine.h"
#include "engine/FailureMessage.h"
#include "engine/MessageText.h"
#include "corpus/RelationTable.h"
#include "engine/WholeFile.h"
#include "engine/Drivers.h"

#include <QGuiApplication>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace vandro::admin {

using namespace engine;

using namespace corpus;

namespace {

std::string engineMessage(Result result) {
  return failureMessage(result, ErrorEntries::all());
}

// Why `name` cannot be an alias, or nothing when it can.
std::string badAliasName(const std::string &name) {
  if (name.empty() || std::isspace(static_cast<unsigned char>(name.front())) ||
      std::isspace(static_cast<unsigned char>(name.back())))
    return "'" + name + "' cannot be an alias: it must start and end with a character other than a blank";
  if (isDirectoryName(name) || name.find_first_of("[]=") != std::string::npos)
    return "'" + name + "' cannot be an alias: it may hold no / : \\ [ ] or =";
  return {};
}

// Whether `text` holds a line break or another control character, which a
// line of the configuration cannot carry.
bool hasControl(const std::string &text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return std::iscntrl(static_cast<unsigned char>(c)); });
}

} // namespace

// The engine session of one command: started on creation, shut down on
// destruction, with the database and table the command works on.
class AdminCommands::Session {
public:
  explicit Session(AdminCommands &commands) : m_commands(commands) {
    m_started = Engine::instance().initialise(kInterfaceVersion, kLanguage) == code::Ok;
  }
  ~Session() {
    m_cursor.reset();
    m_database.reset();
    if (m_started)
      (void)Engine::instance().exit();
  }

  // Opens the database by alias or directory path; false after reporting.
  bool openDatabase(const std::string &name) {
    if (!m_started)
      return report(engineMessage(code::EngineStartFailed));
    const bool path = isDirectoryName(name);
    const Result result = Engine::instance().openDatabase(path ? "" : name, path ? name : "",
                                                          OpenMode::ReadWrite, ShareMode::Shared,
                                                          m_database);
    return result == code::Ok || report(engineMessage(result));
  }

  // Opens the table, asking for its password once when it has one.
  bool openTable(const std::string &table, OpenMode mode = OpenMode::ReadWrite) {
    Result result = m_database->openTable(table, "default", mode, ShareMode::Shared, m_cursor);
    if (result == code::PasswordNeeded) {
      const auto password = readPassword("Password for " + m_database->location() + "/" + table + ": ");
      if (password) {
        (void)Engine::instance().addPassword(*password);
        result = m_database->openTable(table, "default", mode, ShareMode::Shared, m_cursor);
      }
    }
    return result == code::Ok || report(engineMessage(result));
  }

  bool report(const std::string &message) {
    m_commands.failure(message);
    return false;
  }

  Database &database() { return *m_database; }
  Cursor &cursor() { return *m_cursor; }

private:
  AdminCommands &m_commands;
  bool m_started = false;
  std::unique_ptr<Database> m_database;
  std::unique_ptr<Cursor> m_cursor;
};

AdminCommands::AdminCommands(std::ostream &out, std::ostream &err) : m_out(out), m_err(err) {}
AdminCommands::~AdminCommands() = default;

int AdminCommands::failure(const std::string &message) {
  // Lines after the first are indented under the program's name; each is
  // cut and escaped, whatever value it names.
  std::string text;
  for (std::size_t at = 0; at <= message.size();) {
    const std::size_t end = std::min(message.find('\n', at), message.size());
    text += (at ? "\n  " : "") + shownLine(std::string_view(message).substr(at, end - at));
    at = end + 1;
  }
  m_err << "vandro-admin: " << text << "\n";
  return kFailure;
}

int AdminCommands::aliasSet(const std::string &name, const std::string &directory) {
  if (const std::string why = badAliasName(name); !why.empty())
    return failure(why);
  if (hasControl(name) || hasControl(directory))
    return failure("an alias and its directory are single lines of text without control characters");
  Config config;
  if (const Result result = config.load(Config::defaultPath()); result != code::Ok)
    return failure(engineMessage(result));
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto absolute = fs::absolute(directory, ec).lexically_normal().string();
  // A folder that is not there yet is made: it is where the tables go.
  const bool made = !fs::exists(absolute, ec) && fs::create_directories(absolute, ec);
  if (ec)
    return failure(absolute + ": the folder cannot be made: " + ec.message());
  config.setAlias(name, absolute);
  if (const Result result = config.save(); result != code::Ok)
    return failure(engineMessage(result));
  m_out << name << " = " << absolute << (made ? " (the folder was made)" : "") << "\n";
  // A folder without the table the program opens is no mistake, but the
  // next step is to make it.
  if (!fs::exists(fs::path(absolute) / "Vandro.DB", ec))
    m_out << absolute << " holds no table Vandro.DB yet"
          << (name == "Vandro" ? ", the table Vandro opens" : "") << ". Make it with one of\n"
          << "  vandro-admin create " << name << " Vandro.DB\n"
          << "      an empty table\n"
          << "  vandro-admin import " << name << " Vandro.DB FILE.csv\n"
          << "      records from CSV\n"
          << "  vandro-admin import-rst " << name << " Vandro.DB --map " << VANDRO_DATA_DIR << "/gum-map.csv CORPUS\n"
          << "      an RST corpus's rs3/rs4 documents (the table is made when missing)\n";
  return kSuccess;
}

int AdminCommands::aliasSetServer(const std::string &name, const std::string &driver,
                                  const std::vector<std::string> &settings) {
  if (const std::string why = badAliasName(name); !why.empty())
    return failure(why);
  if (hasControl(name) || std::any_of(settings.begin(), settings.end(), hasControl))
    return failure("an alias and its settings are single lines of text without control characters");
  const Driver *server = driverNamed(driver);
  if (!server || server->takesDirectory)
    return failure("unknown driver '" + driver + "': the drivers are " + driverList());
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const std::string &setting : settings) {
    const auto equals = setting.find('=');
    if (equals == std::string::npos || equals == 0)
      return failure("'" + setting + "' is no KEY=VALUE connection setting");
    std::string key = setting.substr(0, equals);
    for (char &c : key)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    pairs.emplace_back(key, setting.substr(equals + 1));
    if (const auto problem = aliasSettingProblem(server->settingProblem, pairs, pairs.size() - 1))
      return failure(*problem);
  }
  Config config;
  if (const Result result = config.load(Config::defaultPath()); result != code::Ok)
    return failure(engineMessage(result));
  const std::string written(server->names.front());
  config.setServerAlias(name, written, pairs);
  if (const Result result = config.save(); result != code::Ok)
    return failure(engineMessage(result));
  m_out << name << " = " << written;
  for (const auto &[key, value] : pairs)
    m_out << " " << key << "=" << value;
  m_out << "\n";
  return kSuccess;
}

int AdminCommands::refuseServerPassword(const std::string &database) {
  if (isDirectoryName(database))
    return kSuccess;
  Config config;
  if (config.load(Config::defaultPath()) != code::Ok)
    return kSuccess; // the command itself will say what is wrong
  const auto alias = config.alias(database);
  if (alias && alias->driver != kDirectoryDriver)
    return failure(std::string(messageFor(code::NotForServerTables)) + " (" + database + ")");
  return kSuccess;
}

int AdminCommands::aliasList() {
  Config config;
  if (const Result result = config.load(Config::defaultPath()); result != code::Ok)
    return failure(engineMessage(result));
  for (const auto &alias : config.aliases()) {
    std::string where = alias.path;
    if (alias.driver != kDirectoryDriver)
      for (const auto &[key, value] : alias.settings)
        // A secret written into the file by hand is not shown (opening
        // the alias refuses it).
        where += (where.empty() ? "" : " ") + key + "=" + (settingIsSecret(key) ? "(a secret, refused)" : value);
    m_out << shownLine(alias.name) << "\t" << shownLine(alias.driver) << "\t" << shownLine(where) << "\n";
  }
  return kSuccess;
}

int AdminCommands::aliasRemove(const std::string &name) {
  Config config;
  if (const Result result = config.load(Config::defaultPath()); result != code::Ok)
    return failure(engineMessage(result));
  if (!config.removeAlias(name))
    return failure("no alias '" + name + "' in " + config.path() +
                   (config.fileExists() ? "" : ", which does not exist"));
  if (const Result result = config.save(); result != code::Ok)
    return failure(engineMessage(result));
  return kSuccess;
}

int AdminCommands::create(const std::string &database, const std::string &table) {
  Session session(*this);
  if (!session.openDatabase(database))
    return kFailure;
  if (const Result result = session.database().createTable(table, relationTableFields(), kRelationTableKey);
      result != code::Ok)
    return failure(engineMessage(result));
  return kSuccess;
}

int AdminCommands::importFile(const std::string &database, const std::string &table,
                              const std::string &file) {
  // Checked first: reading a folder through a stream throws.
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec))
    return failure(file + ": it is a folder, not a CSV file");
  std::ifstream in(file, std::ios::binary);
  if (!in)
    return failure(file + ": the file cannot be read: " + std::strerror(errno));
  Session session(*this);
  if (!session.openDatabase(database) || !session.openTable(table))
    return kFailure;
  std::function<void(long)> progress;
  const bool terminal = ::isatty(STDERR_FILENO) == 1 && &m_err == &std::cerr;
  if (terminal)
    progress = [&](long records) { m_err << "\rImporting " << file << ": " << records << " records" << std::flush; };
  const TransferResult result = importCsv(session.cursor(), in, file, progress);
  if (terminal)
    m_err << "\n";
  if (!result.ok)
    return failure(result.error + " (nothing was imported)");
  m_out << result.records << " records imported from " << file << "\n";
  return kSuccess;
}

int AdminCommands::exportFile(const std::string &database, const std::string &table,
                              const std::string &file) {
  Session session(*this);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  if (file.empty() || file == "-") {
    const TransferResult result = exportCsv(session.cursor(), std::cout, "standard output");
    for (const std::string &warning : result.warnings)
      m_err << "vandro-admin: warning: " << shownLine(warning) << "\n";
    return result.ok ? kSuccess : failure(result.error);
  }
  // A failed export never leaves half a file under the name asked for.
  WholeFile target(file);
  if (const std::string reason = target.begin(WholeFile::Devices::WrittenInPlace); !reason.empty())
    return failure(file + ": the file cannot be written: " + reason);
  // The table's own files, there now or made while it is used, are never
  // the place for its text: by name, and by the file for other links.
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path written = fs::weakly_canonical(target.finalPath(), ec);
  std::vector<std::string> owns{session.cursor().location()};
  for (const char *suffix : kFilesBesideTable)
    owns.push_back(session.cursor().location() + suffix);
  for (const std::string &own : owns) {
    if (written == fs::weakly_canonical(own, ec) || fs::equivalent(file, own, ec))
      return failure(file + ": it is the table's own file; name another file for the export");
  }
  TransferResult result;
  {
    std::ofstream out(target.writePath(),
                      std::ios::binary | (target.direct() ? std::ios::app : std::ios::trunc));
    if (!out) {
      // The text goes to a new file beside the target first: where that
      // cannot be made, the folder is the cause.
      const std::string cause = std::strerror(errno);
      return failure(file + ": the file cannot be written: " +
                     (target.direct() ? cause
                                      : "no new file can be made in " +
                                            fs::path(target.finalPath()).parent_path().string() + ": " + cause));
    }
    result = exportCsv(session.cursor(), out, file);
    out.close();
    if (result.ok && !out)
      result = {false, 0, file + ": the file could not be written: " + std::strerror(errno), {}};
  }
  if (!result.ok)
    return failure(result.error);
  if (const std::string reason = target.finish(); !reason.empty())
    return failure(file + ": the file could not be written: " + reason);
  for (const std::string &warning : result.warnings)
    m_err << "vandro-admin: warning: " << shownLine(warning) << "\n";
  return kSuccess;
}

int AdminCommands::setPassword(const std::string &database, const std::string &table,
                               const std::optional<std::string> &password) {
  Session session(*this);
  if (!session.openDatabase(database) || !session.openTable(table))
    return kFailure;
  if (const Result result = session.cursor().setPassword(password); result != code::Ok)
    return failure(engineMessage(result));
  return kSuccess;
}

int AdminCommands::check(const std::string &database, const std::string &table) {
  Session session(*this);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  std::vector<std::string> problems;
  if (const Result result = session.cursor().integrityCheck(problems); result != code::Ok)
    return failure(engineMessage(result));
  if (const Result result = relationTableProblems(session.cursor(), problems); result != code::Ok)
    return failure(engineMessage(result));
  // The corpus kept beside the table, if any.
  Corpus corpus(session.cursor());
  bool kept = false;
  if (const Result result = corpus.exists(kept); result != code::Ok)
    return failure(engineMessage(result));
  if (kept) {
    if (const Result result = corpus.problems(problems); result != code::Ok)
      return failure(engineMessage(result));
    if (std::string error; !corpusSourceProblems(session.cursor(), problems, error))
      return failure(error);
  }
  for (const auto &problem : problems)
    m_out << shownLine(session.cursor().location()) << ": " << shownLine(problem) << "\n";
  if (!problems.empty())
    return failure(std::to_string(problems.size()) + " problem(s) in " + session.cursor().location());
  m_out << session.cursor().location() << ": ok\n";
  return kSuccess;
}

int AdminCommands::importRst(const std::string &database, const std::string &table, const std::string &mapFile,
                             const std::vector<std::string> &paths) {
  namespace fs = std::filesystem;
  // The documents: files as given, folders as their .rs3 and .rs4 files.
  std::vector<std::string> files;
  for (const std::string &path : paths) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec == std::errc::permission_denied)
      return failure(path + ": permission denied");
    if (fs::is_regular_file(status)) {
      files.push_back(path);
      continue;
    }
    if (!fs::is_directory(status))
      return failure(path + ": no such file or folder");
    std::vector<std::string> found;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
      std::string extension = it->path().extension().string();
      for (char &c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if ((extension == ".rs3" || extension == ".rs4") && it->is_regular_file(ec))
        found.push_back(it->path().string());
    }
    if (ec)
      return failure(path + ": the folder cannot be read: " + ec.message());
    std::sort(found.begin(), found.end(), [](const std::string &a, const std::string &b) {
      return fs::path(a).filename().string() < fs::path(b).filename().string();
    });
    if (found.empty())
      return failure(path + ": the folder holds no .rs3 or .rs4 file");
    files.insert(files.end(), found.begin(), found.end());
  }
  rst::RelationMap map;
  if (!mapFile.empty()) {
    QString error;
    if (!rst::readRelationMap(QString::fromStdString(mapFile), map, error))
      return failure(error.toStdString());
  }
  Session session(*this);
  if (!session.openDatabase(database))
    return kFailure;
  // The documents' records go into the standard relation table, made here
  // when there is none yet.
  if (!session.database().tableExists(table)) {
    if (const Result made = session.database().createTable(table, relationTableFields(), kRelationTableKey);
        made != code::Ok)
      return failure(engineMessage(made));
    m_out << "Made the relation table " << table << " in " << session.database().location() << "\n";
  }
  if (!session.openTable(table))
    return kFailure;
  const bool terminal = ::isatty(STDERR_FILENO) == 1 && &m_err == &std::cerr;
  std::function<void(const RstImportResult &)> progress;
  if (terminal)
    progress = [&](const RstImportResult &sofar) {
      m_err << "\rImporting: " << sofar.documents << " of " << files.size() << " documents, " << sofar.records
            << " records" << std::flush;
    };
  const RstImportResult result = admin::importRst(session.cursor(), files, map, progress);
  if (terminal)
    m_err << "\n";
  if (!result.ok)
    return failure(result.error);
  m_out << result.documents << " documents, " << result.records << " records, " << result.withMarker
        << " records with a marker\n";
  for (const std::string &warning : result.warnings)
    m_err << "vandro-admin: warning: " << warning << "\n";
  return kSuccess;
}

int AdminCommands::exportRst(const std::string &database, const std::string &table, const std::string &folder,
                             const std::vector<std::string> &documents, Force force) {
  Session session(*this);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  const RstExportResult result = admin::exportRst(session.cursor(), folder, documents,
                                                  force == Force::Yes ? ExistingFiles::Replace
                                                                      : ExistingFiles::KeepChanged);
  if (!result.ok)
    return failure(result.error);
  for (const std::string &line : result.listed)
    m_out << shownLine(line) << "\n";
  m_out << result.documents << " documents written to " << folder << " (" << result.identical
        << " byte for byte as imported), " << result.signalsAdded << " signals added, " << result.signalsRemoved
        << " removed, " << result.signalsNotWritten << " not written\n";
  return kSuccess;
}

int AdminCommands::locks(const std::string &database, const std::string &table) {
  Session session(*this);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  std::vector<LockHolder> holders;
  if (const Result listed = session.cursor().lockHolders(holders); listed != code::Ok)
    return failure(engineMessage(listed));
  if (holders.empty()) {
    m_out << "No record of " << shownLine(session.cursor().location()) << " is locked\n";
    return kSuccess;
  }
  m_out << "Record\tUser\tMachine\tSince\n";
  for (const LockHolder &h : holders)
    m_out << shownLine(h.record) << "\t" << shownLine(h.user) << (h.program.empty() ? "" : " (" + shownLine(h.program) + ")")
          << "\t" << shownLine(h.machine) << "\t" << (h.since ? sinceText(*h.since) : std::string()) << "\n";
  return kSuccess;
}

int AdminCommands::documents(const std::string &database, const std::string &table) {
  Session session(*this);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  Corpus corpus(session.cursor());
  bool kept = false;
  if (const Result checked = corpus.exists(kept); checked != code::Ok)
    return failure(engineMessage(checked));
  std::vector<DocumentSummary> summaries;
  if (kept)
    if (const Result listed = corpus.summaries(summaries); listed != code::Ok)
      return failure(engineMessage(listed));
  if (summaries.empty()) {
    m_out << "No documents: import-rst keeps the documents it imports\n";
    return kSuccess;
  }
  m_out << "Document\tRecords\tWith a marker\tMarkers changed\tImported\n";
  for (const DocumentSummary &d : summaries)
    m_out << shownLine(d.name) << "\t" << d.records << "\t" << d.marked << "\t" << d.changed << "\t"
          << shownLine(d.imported) << "\n";
  return kSuccess;
}

int AdminCommands::removeDocuments(const std::string &database, const std::string &table,
                                   const std::vector<std::string> &names, Force force) {
  Session session(*this);
  if (!session.openDatabase(database) || !session.openTable(table))
    return kFailure;
  Corpus corpus(session.cursor());
  // Every name first: nothing is removed when one of them is unknown.
  for (const std::string &name : names) {
    long records = 0, marked = 0;
    bool stored = false;
    const Result found = corpus.documentRecords(name, records, marked, stored);
    if (found == code::RecordNotFound)
      return failure("the table has no document " + shownText(name) + " (no record's From is " + shownText(name) +
                     "; vandro-admin documents lists the documents kept). Nothing was removed");
    if (found != code::Ok)
      return failure(engineMessage(found));
    long changed = 0;
    if (const Result counted = corpus.changedMarkers(name, changed); counted != code::Ok)
      return failure(engineMessage(counted));
    if (changed > 0 && force == Force::No)
      return failure("the document " + shownText(name) + " has " + std::to_string(changed) +
                     (changed == 1 ? " marker" : " markers") +
                     " changed since its import, which removing it would drop (export-rst writes them into the "
                     "document's file, and --force then removes the document). Nothing was removed");
  }
  for (const std::string &name : names) {
    long records = 0, marked = 0;
    if (const Result removed = corpus.removeDocument(name, records, marked); removed != code::Ok)
      return failure(engineMessage(removed));
    m_out << "Removed " << name << ": " << records << " records, " << marked << " with a marker\n";
  }
  return kSuccess;
}

int AdminCommands::stats(const std::string &database, const std::string &table, const std::string &by,
                         const std::vector<std::string> &documents, bool csv, const std::string &chart) {
  const auto found = kStatsBy.find(by);
  if (found == kStatsBy.end())
    return failure("--by " + by + ": count by relation, marker, position or document");
  std::optional<ChartFormat> format;
  if (!chart.empty()) {
    std::string ending = std::filesystem::path(chart).extension().string();
    for (char &c : ending)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ending == ".svg")
      format = ChartFormat::Svg;
    else if (ending == ".png")
      format = ChartFormat::Png;
    else
      return failure(chart + ": a chart is an .svg or a .png file");
  }
  Session session(*this);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  StatsReport report;
  std::string error;
  if (!buildStats(session.cursor(), found->second, documents, report, error))
    return failure(error);
  m_out << (csv ? statsCsv(report) : statsText(report));
  if (!format)
    return kSuccess;
  // Text needs fonts, and fonts a GUI application: one without a screen,
  // for this drawing only.
  QByteArray bytes;
  {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's remarks about the desktop session are no concern of a chart.
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
      if (type != QtDebugMsg && type != QtInfoMsg && !message.startsWith(QLatin1String("QStandardPaths:")))
        std::cerr << "vandro-admin: " << message.toStdString() << "\n";
    });
    int argc = 1;
    char name[] = "vandro-admin";
    char *argv[] = {name, nullptr};
    std::unique_ptr<QGuiApplication> application;
    if (!QGuiApplication::instance())
      application = std::make_unique<QGuiApplication>(argc, argv);
    bytes = drawStatsChart(report, *format);
    application.reset();
    qInstallMessageHandler(previous);
  }
  WholeFile target(chart);
  if (const std::string reason = target.begin(WholeFile::Devices::WrittenInPlace); !reason.empty())
    return failure(chart + ": the file cannot be written: " + reason);
  std::ofstream out(target.writePath(), std::ios::binary | (target.direct() ? std::ios::app : std::ios::trunc));
  out.write(bytes.constData(), bytes.size());
  out.close();
  if (!out)
    return failure(chart + ": the file could not be written: " + std::strerror(errno));
  if (const std::string reason = target.finish(); !reason.empty())
    return failure(chart + ": the file could not be written: " + reason);
  return kSuccess;
}

int AdminCommands::initDemo() {
  const demo::DemoSetup setup = demo::setUpDemo();
  if (!setup.aliasAddedIn.empty())
    m_out << "Alias Vandro added for " << setup.directory << " in " << setup.aliasAddedIn << "\n";
  if (!setup.ok)
    return failure(setup.error);
  if (!setup.tableMade.empty())
    m_out << "Demo table made: " << setup.tableMade << "\n";
  return kSuccess;
}

std::optional<std::string> AdminCommands::readPassword(const std::string &prompt) {
  std::string line;
  if (::isatty(STDIN_FILENO) == 1) {
    std::cerr << prompt << std::flush;
    termios saved {};
    const bool restore = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (restore) {
      termios quiet = saved;
      quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
      ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool got = static_cast<bool>(std::getline(std::cin, line));
    if (restore)
      ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << "\n";
    if (!got)
      return std::nullopt;
  } else if (!std::getline(std::cin, line)) {
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
  return line;
}

} // namespace vandro::admin
