// vandro-admin alias set|list|remove: the database aliases of the engine configuration.
#include "Commands.h"

#include "engine/Config.h"
#include "engine/DatabaseName.h"
#include "engine/Drivers.h"
#include "engine/MessageText.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

namespace vandro::admin {

using namespace engine;

namespace {

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

int aliasSet(Context &context, const std::string &name, const std::string &directory) {
  if (const std::string why = badAliasName(name); !why.empty())
    return context.failure(why);
  if (hasControl(name) || hasControl(directory))
    return context.failure("an alias and its directory are single lines of text without control characters");
  Config config;
  if (const Result result = config.load(Config::defaultPath()); result != code::Ok)
    return context.failure(engineMessage(result));
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto absolute = fs::absolute(directory, ec).lexically_normal().string();
  // A folder that is not there yet is made: it is where the tables go.
  const bool made = !fs::exists(absolute, ec) && fs::create_directories(absolute, ec);
  if (ec)
    return context.failure(absolute + ": the folder cannot be made: " + ec.message());
  config.setAlias(name, absolute);
  if (const Result result = config.save(); result != code::Ok)
    return context.failure(engineMessage(result));
  context.out << name << " = " << absolute << (made ? " (the folder was made)" : "") << "\n";
  // A folder without the table the program opens is no mistake, but the
  // next step is to make it.
  if (!fs::exists(fs::path(absolute) / "Vandro.DB", ec))
    context.out << absolute << " holds no table Vandro.DB yet" << (name == "Vandro" ? ", the table Vandro opens" : "")
                << ". Make it with one of\n"
                << "  vandro-admin create " << name << " Vandro.DB\n"
                << "      an empty table\n"
                << "  vandro-admin import " << name << " Vandro.DB FILE.csv\n"
                << "      records from CSV\n"
                << "  vandro-admin import-rst " << name << " Vandro.DB --map " << VANDRO_DATA_DIR
                << "/gum-map.csv CORPUS\n"
                << "      an RST corpus's rs3/rs4 documents (the table is made when missing)\n";
  return kSuccess;
}

int aliasSetServer(Context &context, const std::string &name, const std::string &driver,
                   const std::vector<std::string> &settings) {
  if (const std::string why = badAliasName(name); !why.empty())
    return context.failure(why);
  if (hasControl(name) || std::any_of(settings.begin(), settings.end(), hasControl))
    return context.failure("an alias and its settings are single lines of text without control characters");
  const Driver *server = driverNamed(driver);
  if (!server || server->takesDirectory)
    return context.failure("unknown driver '" + driver + "': the drivers are " + driverList());
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const std::string &setting : settings) {
    const auto equals = setting.find('=');
    if (equals == std::string::npos || equals == 0)
      return context.failure("'" + setting + "' is no KEY=VALUE connection setting");
    std::string key = setting.substr(0, equals);
    for (char &c : key)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    pairs.emplace_back(key, setting.substr(equals + 1));
    if (const auto problem = aliasSettingProblem(server->settingProblem, pairs, pairs.size() - 1))
      return context.failure(*problem);
  }
  Config config;
  if (const Result result = config.load(Config::defaultPath()); result != code::Ok)
    return context.failure(engineMessage(result));
  const std::string written(server->names.front());
  config.setServerAlias(name, written, pairs);
  if (const Result result = config.save(); result != code::Ok)
    return context.failure(engineMessage(result));
  context.out << name << " = " << written;
  for (const auto &[key, value] : pairs)
    context.out << " " << key << "=" << value;
  context.out << "\n";
  return kSuccess;
}

int aliasList(Context &context) {
  Config config;
  if (const Result result = config.load(Config::defaultPath()); result != code::Ok)
    return context.failure(engineMessage(result));
  for (const auto &alias : config.aliases()) {
    std::string where = alias.path;
    if (alias.driver != kDirectoryDriver)
      for (const auto &[key, value] : alias.settings)
        // A secret written into the file by hand is not shown (opening
        // the alias refuses it).
        where += (where.empty() ? "" : " ") + key + "=" + (settingIsSecret(key) ? "(a secret, refused)" : value);
    context.out << shownLine(alias.name) << "\t" << shownLine(alias.driver) << "\t" << shownLine(where) << "\n";
  }
  return kSuccess;
}

int aliasRemove(Context &context, const std::string &name) {
  Config config;
  if (const Result result = config.load(Config::defaultPath()); result != code::Ok)
    return context.failure(engineMessage(result));
  if (!config.removeAlias(name))
    return context.failure("no alias '" + name + "' in " + config.path() +
                           (config.fileExists() ? "" : ", which does not exist"));
  if (const Result result = config.save(); result != code::Ok)
    return context.failure(engineMessage(result));
  return kSuccess;
}

} // namespace

void addAliasCommand(CLI::App &app, Context &context) {
  auto *alias = addCommand(app, "alias", "Edit the database aliases of the engine configuration",
                 "Edit the database aliases of the engine configuration\n"
                                            "($VANDRO_ENGINE_CONFIG, else ~/.config/vandro/engine.conf)");
  alias->require_subcommand(1);
  struct Options {
    std::string name, driver{kDirectoryDriver};
    std::vector<std::string> where;
  };
  const auto options = std::make_shared<Options>();
  auto *set = alias->add_subcommand(
      "set", "Make NAME an alias of DIRECTORY (added or replaced), or with --driver postgresql\n"
             "of a database server, given by libpq connection settings such as host=db.example.org\n"
             "dbname=rst user=ann (and schema=NAME for the tables' schema); never a password");
  set->add_option("NAME", options->name, "Alias name")->required();
  set->add_option("--driver", options->driver,
                  "One of the drivers " + driverList() + "; " + std::string(kDirectoryDriver) + " when not given");
  set->add_option("DIRECTORY_OR_SETTINGS", options->where, "Database directory, or KEY=VALUE connection settings")
      ->required();
  set->callback([&context, options] {
    for (char &c : options->driver)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (const auto *chosen = driverNamed(options->driver); chosen && chosen->takesDirectory) {
      if (options->where.size() != 1) {
        context.err << "vandro-admin: alias set NAME DIRECTORY takes one directory\n";
        context.status = kUsage;
        return;
      }
      context.status = aliasSet(context, options->name, options->where.front());
    } else {
      context.status = aliasSetServer(context, options->name, options->driver, options->where);
    }
  });
  auto *list = alias->add_subcommand("list", "List the aliases: name, driver, directory");
  list->callback([&context] { context.status = aliasList(context); });
  auto *remove = alias->add_subcommand("remove", "Remove the alias NAME");
  remove->add_option("NAME", options->name, "Alias name")->required();
  remove->callback([&context, options] { context.status = aliasRemove(context, options->name); });
}

} // namespace vandro::admin
