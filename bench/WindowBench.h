// What the benchmarks of the main window share: a table of a given size
// that the program opens as its own, the notices answered at once, and the
// sqlite3 shell's timing of the same work.
#pragma once

#include <QObject>
#include <string>

namespace vandro::bench {

// Answers every notice the moment it is shown, counting them.
class NoticeAnswerer : public QObject {
public:
  bool eventFilter(QObject *watched, QEvent *event) override;
  int notices = 0;
};

// The folder `name` under benchDirectory() holding Vandro.DB with `records`
// records (made when missing), and an engine configuration whose alias
// Vandro leads there, set for the program to start with. The table's file,
// or nothing when the folder cannot be opened.
std::string windowTable(const std::string &name, long records);

// The sqlite3 shell's own timing of `sql` on `file`, in milliseconds (the
// best of three runs, each in a fresh shell).
double sqliteShellMilliseconds(const std::string &file, const std::string &sql);

// Runs `sql` on `file` past the program, as another client would.
void executeSql(const std::string &file, const std::string &sql);

} // namespace vandro::bench
