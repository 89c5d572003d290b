#include "WindowFixture.h"

#include "Main.h"
#include "store/TTable.h"

#include <QApplication>
#include <QTest>

namespace vandro::testing {

void activate(QWidget &window) {
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

void WindowFixture::TearDown() {
  m_program.reset();
  TableFixture::TearDown();
}

bool WindowFixture::startProgram() {
  m_program = std::make_unique<Program>();
  return m_program->startUp() && MainForm;
}

void WindowFixture::showActive() { activate(*MainForm); }

store::TTable &WindowFixture::table() { return *MainForm->Table1(); }

} // namespace vandro::testing
