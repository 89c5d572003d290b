#include "WindowBench.h"

#include "BenchTables.h"
#include "shell/TMessageForm.h"

#include <QEvent>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>

namespace vandro::bench {

bool NoticeAnswerer::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::Show)
    if (auto *notice = qobject_cast<TMessageForm *>(watched)) {
      ++notices;
      notice->done(TDialogForm::Ok);
    }
  return false;
}

std::string windowTable(const std::string &name, long records) {
  const std::string folder = benchDirectory() + "/" + name;
  std::filesystem::create_directories(folder);
  {
    std::unique_ptr<engine::Database> database;
    if (!engine::Engine::instance().isInitialised())
      (void)engine::Engine::instance().initialise(engine::kInterfaceVersion, engine::kLanguage);
    if (engine::Engine::instance().openDatabase("", folder, engine::OpenMode::ReadWrite, engine::ShareMode::Shared,
                                                database) != engine::code::Ok) {
      std::fprintf(stderr, "cannot open %s\n", folder.c_str());
      return {};
    }
    ensureRelationTable(*database, records, "Vandro.DB");
  }
  (void)engine::Engine::instance().exit();
  const std::string config = folder + "/engine.conf";
  std::ofstream(config) << "[Vandro]\ndriver = sqlite\npath = " << folder << "\n";
  qputenv("VANDRO_ENGINE_CONFIG", config.c_str());
  return folder + "/Vandro.DB";
}

double sqliteShellMilliseconds(const std::string &file, const std::string &sql) {
  double best = 1e18;
  for (int run = 0; run < 3; ++run) {
    const std::string command = "sqlite3 '" + file + "' 2>&1 <<'SQL'\n.timer on\n" + sql + "\nSQL\n";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
      return -1;
    char line[512];
    while (std::fgets(line, sizeof line, pipe))
      if (const char *real = std::strstr(line, "Run Time: real "))
        best = std::min(best, std::atof(real + 15) * 1000.0);
    pclose(pipe);
  }
  return best;
}

void executeSql(const std::string &file, const std::string &sql) {
  sqlite3 *db = nullptr;
  sqlite3_open(file.c_str(), &db);
  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

} // namespace vandro::bench
