// The program's main window over the relation table of the alias Vandro,
// started in-process, for the tests that drive the window as a user does.
#pragma once

#include "Program.h"
#include "TableFixture.h"
#include "TestText.h"

#include <memory>

class QWidget;

namespace vandro::store {
class TTable;
}

namespace vandro::testing {

// Shows `window` and makes it the active one, so that keys and focus
// changes reach it as they would the user's.
void activate(QWidget &window);

class WindowFixture : public TableFixture {
protected:
  void TearDown() override; // the program ends before the tables go

  // Starts the program on the tables made so far; false after its error box.
  bool startProgram();
  // The main window shown and active.
  static void showActive();
  static store::TTable &table();

  std::unique_ptr<Program> m_program;
};

} // namespace vandro::testing
