// The Find as the user runs it: conditions typed into the Find dialog and
// Find next from the first record, until the "End of database!" notice
// (answered as soon as it shows), on the standard relation table of 1,000,
// 100,000 and 1,000,000 records, a quarter of them with a marker and a
// fifth with letters beyond ASCII in a span; and the
// dialog's count. Each against the sqlite3 shell running the same scan on
// the same file in the same run (letter case set aside by its own lower(),
// as the shell knows no other). Prints one table.
#include "BenchTables.h"
#include "WindowBench.h"
#include "FindDialog.h"
#include "Main.h"
#include "Program.h"
#include "corpus/RecordFind.h"
#include "shell/TApplication.h"
#include "shell/TMessageForm.h"
#include "store/TTable.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace vandro;

namespace {

// The best of three runs of `action`, in milliseconds.
double bestOfThree(const std::function<void()> &action) {
  double best = 1e18;
  for (int run = 0; run < 3; ++run) {
    QElapsedTimer clock;
    clock.start();
    action();
    best = std::min(best, static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  return best;
}

const char *kNoMarker1 = "nullif(trim(Marker1, ' '||char(9,10,13)), '') IS NULL";
const char *kNoMarker2 = "nullif(trim(Marker2, ' '||char(9,10,13)), '') IS NULL";

} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication application(argc, argv);
  bench::NoticeAnswerer answerer;
  application.installEventFilter(&answerer);

  std::printf("%-10s %-34s %12s %12s %8s\n", "records", "find", "Vandro ms", "sqlite3 ms", "ratio");
  for (const long records : {1000L, 100000L, 1000000L}) {
    // A database folder per size holding Vandro.DB, and the alias to it.
    const std::string file = bench::windowTable("find-" + std::to_string(records), records);
    if (file.empty())
      return 1;
    bench::executeSql(file, "UPDATE Vandro SET Marker1 = 'However', Position1 = 'Beginning' WHERE Id % 4 = 0 AND Marker1 IS NULL;");
    // A fifth of the spans with letters beyond ASCII, as in a real corpus
    // (GUM: 18%), which the letter case folding reads with its tables.
    bench::executeSql(file, "UPDATE Vandro SET Span2 = Span2 || ' \u2013 \u201Ccaf\u00E9\u201D at the Z\u00FCrich mus\u00E9e' "
                  "WHERE Id % 5 = 0 AND instr(Span2, 'caf\u00E9') = 0;");

    Program program;
    if (!program.startUp())
      return 1;
    TMainForm &form = *program.mainForm();
    FindDialog &dialog = *form.findDialog();
    dialog.open(&form);
    auto box = [&](const char *name) { return dialog.findChild<QWidget *>(QString::fromLatin1(name)); };
    auto set = [&](const char *name, const char *text) {
      if (auto *edit = qobject_cast<QLineEdit *>(box(name)))
        edit->setText(QString::fromUtf8(text));
      else if (auto *combo = qobject_cast<QComboBox *>(box(name)))
        combo->setEditText(QString::fromUtf8(text));
    };
    auto clear = [&] {
      for (const char *name : {"Relation", "Document", "Marker", "Text"})
        set(name, "");
      qobject_cast<QComboBox *>(box("WithoutMarker"))->setCurrentIndex(0);
    };
    struct Row {
      const char *name;
      std::function<void()> conditions;
      std::string sql;
      bool count;
    };
    const std::vector<Row> rows = {
        {"marker miss", [&] { set("Marker", "nothing-matches"); },
         "SELECT Id FROM Vandro WHERE Id > 1 AND (instr(lower(Marker1), 'nothing-matches') > 0 OR "
         "instr(lower(Marker2), 'nothing-matches') > 0) ORDER BY Id LIMIT 1;",
         false},
        {"span text miss", [&] { set("Text", "nothing-matches"); },
         "SELECT Id FROM Vandro WHERE Id > 1 AND (instr(lower(Span1), 'nothing-matches') > 0 OR "
         "instr(lower(Span2), 'nothing-matches') > 0) ORDER BY Id LIMIT 1;",
         false},
        {"document without a marker, miss",
         [&] {
           set("Document", "GUM_bench_none");
           qobject_cast<QComboBox *>(box("WithoutMarker"))->setCurrentIndex(4);
         },
         std::string("SELECT Id FROM Vandro WHERE Id > 1 AND \"From\" = 'GUM_bench_none' AND ") + kNoMarker1 +
             " AND " + kNoMarker2 + " ORDER BY Id LIMIT 1;",
         false},
        {"count without a marker", [&] { qobject_cast<QComboBox *>(box("WithoutMarker"))->setCurrentIndex(4); },
         std::string("SELECT count(*) FROM Vandro WHERE ") + kNoMarker1 + " AND " + kNoMarker2 + ";", true},
        {"count of a span text", [&] { set("Text", "DECISION"); },
         "SELECT count(*) FROM Vandro WHERE instr(lower(Span1), 'decision') > 0 OR "
         "instr(lower(Span2), 'decision') > 0;",
         true},
    };
    for (const Row &row : rows) {
      clear();
      row.conditions();
      const int noticesBefore = answerer.notices;
      double ms = 0;
      if (row.count) {
        const auto filter = corpus::recordFilter(form.Table1()->QueryCursor(), dialog.conditions());
        std::int64_t counted = -1;
        ms = bestOfThree([&] { counted = form.Table1()->CountWhere(*filter); });
        if (counted <= 0)
          std::fprintf(stderr, "unexpected count %lld\n", static_cast<long long>(counted));
      } else {
        ms = bestOfThree([&] {
          form.Table1()->First();
          dialog.find(engine::SearchDirection::Forward);
        });
        if (answerer.notices - noticesBefore != 3)
          std::fprintf(stderr, "a miss that found something\n");
      }
      const double shell = bench::sqliteShellMilliseconds(file, row.sql);
      if (shell > 0)
        std::printf("%-10ld %-34s %12.2f %12.0f %8.2f\n", records, row.name, ms, shell, ms / shell);
      else
        std::printf("%-10ld %-34s %12.2f %12s %8s\n", records, row.name, ms, "<1", "-");
      std::fflush(stdout);
    }
    program.shutDown();
  }
  std::printf("peak resident memory: %ld KiB\n", bench::peakResidentKiB());
  return 0;
}
