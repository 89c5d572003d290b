// TMainForm: the main window, its components and the program's handlers.
#pragma once

#include "store/TDataSource.h"
#include "store/TTable.h"

#include <QWidget>
#include <memory>

namespace vandro {

class TMainForm : public QWidget {
  Q_OBJECT
public:
  // Creates the window's components, then opens Table1 as loading ends.
  // Raises the failure when the table cannot be opened.
  explicit TMainForm(QWidget *parent = nullptr);
  ~TMainForm() override;

  store::TTable *Table1() const { return m_table.get(); }
  store::TDataSource *DataSource1() const { return m_dataSource.get(); }

  // Places the window in the middle of the screen.
  void centreOnScreen();

  // The handlers.
  void Table1AfterScroll(store::TTable &dataSet);

  // Whether the window may close now: an edit in progress is stored as a
  // move would store it; when that fails, the user decides whether to
  // discard it. False keeps the window open in the edit state.
  bool settleBeforeClose();

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  // Declared first so that they are destroyed after every control: the
  // table closes once no control is left, before its data source goes.
  std::unique_ptr<store::TDataSource> m_dataSource;
  std::unique_ptr<store::TTable> m_table;
};

// The main window, from the moment it is created.
extern TMainForm *MainForm;

} // namespace vandro
