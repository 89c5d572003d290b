// The context view as the annotator meets it: the documents of an RST
// corpus imported into a fresh table, the program started on it, and the
// records of the largest document stepped through with the navigator's Next
// (each move shown, the window's events run), with the view closed and
// then open; and the first visit of that document, which reads and lays
// it out once. Prints one table of milliseconds.
//
//   context_bench [CORPUS-FOLDER]   (default: ../shared/data/rs4 beside the
//                                    source folder)
//   bench/with_private_postgres.sh build/bench/context_bench   (on a server)
#include "BenchTables.h"
#include "ContextView.h"
#include "Main.h"
#include "Program.h"
#include "RstTransfer.h"
#include "RelationMap.h"
#include "controls/TDBNavigator.h"
#include "corpus/RelationTable.h"
#include "engine/Engine.h"
#include "engine/Database.h"
#include "shell/TApplication.h"
#include "store/TTable.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace vandro;
namespace fs = std::filesystem;

namespace {

struct Figures {
  double median = 0, p95 = 0, worst = 0;
};

double since(const QElapsedTimer &clock) { return static_cast<double>(clock.nsecsElapsed()) / 1e6; }

// One move (`button`) timed with the window's events run after it, as the
// user sees it.
double timedMove(TMainForm &form, controls::NavigateButton button) {
  QElapsedTimer clock;
  clock.start();
  form.DBNavigator1->BtnClick(button);
  QCoreApplication::processEvents();
  return since(clock);
}

// `moves` Next moves.
Figures stepThrough(TMainForm &form, int moves) {
  std::vector<double> times;
  for (int i = 0; i < moves; ++i)
    times.push_back(timedMove(form, controls::NavigateButton::Next));
  std::sort(times.begin(), times.end());
  auto at = [&](double share) { return times[static_cast<std::size_t>(share * static_cast<double>(times.size() - 1))]; };
  return {at(0.5), at(0.95), times.back()};
}

// Runs the window's events for `ms` milliseconds: the user pauses.
void pause(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const std::string source = argc > 1 ? argv[1] : std::string(VANDRO_SOURCE_DIR) + "/../shared/data/rs4";
  std::vector<std::string> files;
  std::string largest;
  for (const auto &entry : fs::directory_iterator(source))
    if (entry.path().extension() == ".rs3" || entry.path().extension() == ".rs4") {
      files.push_back(entry.path().string());
      if (largest.empty() || fs::file_size(entry.path()) > fs::file_size(largest))
        largest = entry.path().string();
    }
  if (files.empty()) {
    std::fprintf(stderr, "no .rs3/.rs4 files in %s\n", source.c_str());
    return 1;
  }
  std::sort(files.begin(), files.end());

  // A fresh table of the corpus in the benchmark's database (on the server
  // of $VANDRO_BENCH_ALIAS under bench/with_private_postgres.sh), and the
  // alias Vandro to it for the program.
  const std::string folder = bench::benchDirectory() + "/context";
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::string settings = "[Vandro]\ndriver = sqlite\npath = " + bench::benchDirectory() + "\n";
  if (bench::onServer()) {
    // The server alias's own settings, under the name the program opens.
    std::ifstream in(std::getenv("VANDRO_ENGINE_CONFIG"));
    std::string line, section;
    settings = "[Vandro]\n";
    while (std::getline(in, line)) {
      if (!line.empty() && line.front() == '[')
        section = line;
      else if (section == "[" + std::string(std::getenv("VANDRO_BENCH_ALIAS")) + "]")
        settings += line + "\n";
    }
  }
  {
    engine::Database &database = bench::benchDatabase();
    std::unique_ptr<engine::Cursor> cursor;
    if (!bench::onServer())
      for (const char *suffix : {"", "-wal", "-shm", "-lock"})
        fs::remove(database.location() + "/Vandro.DB" + suffix);
    const auto map = rst::readRelationMap(QStringLiteral(VANDRO_SOURCE_DIR "/data/gum-map.csv"));
    if (!map ||
        database.createTable("Vandro.DB", corpus::relationTableFields(), corpus::kRelationTableKey) !=
            engine::code::Ok ||
        database.openTable("Vandro.DB", "default", engine::OpenMode::ReadWrite, engine::ShareMode::Shared,
                           cursor) != engine::code::Ok) {
      std::fprintf(stderr, "no fresh table Vandro.DB (one is left from an earlier run on the server?)\n");
      return 1;
    }
    const auto imported = admin::importRst(*cursor, files, *map);
    if (!imported) {
      std::fprintf(stderr, "%s\n", imported.error().c_str());
      return 1;
    }
  }
  const std::string config = folder + "/engine.conf";
  std::ofstream(config) << settings;
  qputenv("VANDRO_ENGINE_CONFIG", config.c_str());
  qputenv("XDG_CONFIG_HOME", (folder + "/config").c_str()); // the view's open state, not the user's

  TApplication application(argc, argv);
  Program program;
  if (!program.startUp())
    return 1;
  TMainForm &form = *program.mainForm();
  store::TTable &table = *form.Table1();
  const QString name = QString::fromStdString(fs::path(largest).stem().string());
  // The largest document's records: the first one, and how many.
  int first = 0, count = 0;
  for (table.First(); !table.AtEnd(); table.Next())
    if (table.LookupField(QStringLiteral("From")).AsString() == name) {
      if (!first)
        first = table.LookupField(QStringLiteral("Id")).AsString().toInt();
      ++count;
    }
  if (!first || count < 2) {
    std::fprintf(stderr, "no records of %s\n", qPrintable(name));
    return 1;
  }
  const int moves = count - 1;

  // The move out of the document at its end (back from its start when it
  // is the table's last), into the document beside it.
  const bool last = [&] {
    (void)table.FindByKey(first + moves);
    table.Next();
    return table.AtEnd();
  }();
  const auto acrossFrom = [&] { (void)table.FindByKey(last ? first : first + moves); };
  const controls::NavigateButton across = last ? controls::NavigateButton::Prior : controls::NavigateButton::Next;
  const controls::NavigateButton back = last ? controls::NavigateButton::Next : controls::NavigateButton::Prior;

  (void)table.FindByKey(first);
  const Figures closed = stepThrough(form, moves);
  acrossFrom();
  const double closedAcross = timedMove(form, across);

  // The view opened on another document's record, no pause: the first move
  // into the largest document reads it and lays it out.
  ContextView &view = *form.contextView();
  table.First();
  if (table.LookupField(QStringLiteral("From")).AsString() == name)
    table.Last();
  view.open();
  QCoreApplication::processEvents();
  QElapsedTimer clock;
  clock.start();
  (void)table.FindByKey(first);
  QCoreApplication::processEvents();
  const double firstVisit = since(clock);
  const Figures open = stepThrough(form, moves);
  if (!view.heading().startsWith(name)) {
    std::fprintf(stderr, "the view shows no record of %s: %s\n", qPrintable(name), qPrintable(view.heading()));
    return 1;
  }
  // At the document's end, a pause: the move across finds the document
  // beside it read; and back into the largest, read before.
  acrossFrom();
  pause(400);
  const double besideRead = timedMove(form, across);
  const double readBefore = timedMove(form, back);

  std::printf("%s: %lld bytes, %d records\n", qPrintable(name), static_cast<long long>(fs::file_size(largest)), count);
  std::printf("%-58s %8s %8s %8s\n", "", "median", "95%", "worst");
  std::printf("%-58s %8.3f %8.3f %8.3f\n", "move in the document, context view closed (ms)", closed.median, closed.p95,
              closed.worst);
  std::printf("%-58s %8.3f %8.3f %8.3f\n", "move in the document, context view open (ms)", open.median, open.p95,
              open.worst);
  std::printf("%-58s %8.3f\n", "move into the document beside, view closed (ms)", closedAcross);
  std::printf("%-58s %8.3f\n", "the same, view open, the document read during a pause (ms)", besideRead);
  std::printf("%-58s %8.3f\n", "move back into a document read before, view open (ms)", readBefore);
  std::printf("%-58s %8.3f\n", "move into a document not read yet: read, laid out (ms)", firstVisit);
  program.shutDown();
  return 0;
}
