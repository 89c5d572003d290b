// The relation search as the user starts it: "Search" clicked in the main
// window (TMainForm's handler, the notice answered as soon as it shows) on
// the standard relation table of 1,000, 100,000 and 1,000,000 records,
// against the sqlite3 shell scanning the same column of the same file in the
// same run. Prints one table:
//   - a miss from the first record: a text no record holds;
//   - hits at the middle and at the last record, against sqlite3 scanning
//     the records up to the hit;
//   - the record-by-record walk (the fallback) for the miss, for scale.
// Usage: search_bench [--no-walk-at-million]
#include "BenchTables.h"
#include "WindowBench.h"
#include "Main.h"
#include "Program.h"
#include "shell/TApplication.h"
#include "shell/TMessageForm.h"
#include "store/TTable.h"

#include "controls/TComboBox.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace vandro;

namespace {

// One click on "Search" from the record `startId`, for `text` forward; the
// best of three, in milliseconds, and the Id it ends on.
std::pair<double, int> searchMilliseconds(TMainForm &form, int startId, const QString &text) {
  double best = 1e18;
  int endId = 0;
  for (int run = 0; run < 3; ++run) {
    if (startId == 1)
      form.Table1()->First();
    else
      form.Table1()->FindByKey(startId);
    form.RadioButton1->setChecked(true);
    form.ComboBox1->setText(text);
    QElapsedTimer clock;
    clock.start();
    form.Button1->click();
    best = std::min(best, static_cast<double>(clock.nsecsElapsed()) / 1e6);
    endId = form.Table1()->LookupField(QStringLiteral("Id")).AsString().toInt();
  }
  return {best, endId};
}

} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const bool walkAtMillion = !(argc > 1 && std::string(argv[1]) == "--no-walk-at-million");
  TApplication application(argc, argv);
  bench::NoticeAnswerer answerer;
  application.installEventFilter(&answerer);

  std::printf("%-10s %-22s %12s %12s %8s\n", "records", "search", "Vandro ms", "sqlite3 ms", "ratio");
  for (const long records : {1000L, 100000L, 1000000L}) {
    // A database folder per size holding Vandro.DB, and the alias to it.
    const std::string file = bench::windowTable("search-" + std::to_string(records), records);
    if (file.empty())
      return 1;
    const long middle = records / 2;
    bench::executeSql(file, "UPDATE Vandro SET Relation = 'needle-middle' WHERE Id = " + std::to_string(middle) +
                      "; UPDATE Vandro SET Relation = 'needle-last' WHERE Id = " + std::to_string(records) + ";");

    Program program;
    if (!program.startUp())
      return 1;
    TMainForm &form = *program.mainForm();
    struct Row {
      const char *name;
      QString text;
      std::string sql;
      store::SearchMeans means;
    };
    std::vector<Row> rows = {
        {"miss", "nothing-matches", "SELECT count(*) FROM Vandro WHERE Relation = 'nothing-matches';",
         store::SearchMeans::EngineWhereExact},
        {"hit in the middle", "needle-middle",
         "SELECT count(*) FROM Vandro WHERE Id <= " + std::to_string(middle) + " AND Relation = 'needle-middle';",
         store::SearchMeans::EngineWhereExact},
        {"hit at the last record", "needle-last",
         "SELECT count(*) FROM Vandro WHERE Relation = 'needle-last';", store::SearchMeans::EngineWhereExact},
    };
    if (records < 1000000 || walkAtMillion)
      rows.push_back({"miss, record by record", "nothing-matches",
                      "SELECT count(*) FROM Vandro WHERE Relation = 'nothing-matches';",
                      store::SearchMeans::RecordByRecord});
    for (const Row &row : rows) {
      form.searchMeans = row.means;
      const int noticesBefore = answerer.notices;
      const auto [ms, endId] = searchMilliseconds(form, 1, row.text);
      const double shell = bench::sqliteShellMilliseconds(file, row.sql);
      const bool miss = row.text == QLatin1String("nothing-matches");
      const long expectedEnd = miss ? records : row.text.endsWith(QLatin1String("middle")) ? middle : records;
      if (endId != expectedEnd || (miss && answerer.notices - noticesBefore != 3))
        std::fprintf(stderr, "unexpected end: Id %d\n", endId);
      // The shell's timer counts whole milliseconds.
      if (shell > 0)
        std::printf("%-10ld %-22s %12.2f %12.0f %8.2f\n", records, row.name, ms, shell, ms / shell);
      else
        std::printf("%-10ld %-22s %12.2f %12s %8s\n", records, row.name, ms, "<1", "-");
      std::fflush(stdout);
    }
    program.shutDown();
  }
  std::printf("peak resident memory: %ld KiB\n", bench::peakResidentKiB());
  return 0;
}
