#include "Main.h"

#include "shell/TApplication.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace vandro {

TMainForm *MainForm = nullptr;

TMainForm::TMainForm(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_dataSource(std::make_unique<store::TDataSource>()),
      m_table(std::make_unique<store::TTable>()) {
  MainForm = this;
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Vandro with Markers"));
  setFixedSize(656, 571);

  m_table->beginLoading();
  m_table->DatabaseName = QStringLiteral("Vandro");
  m_table->TableName = QStringLiteral("Vandro.DB");
  m_table->setActive(true);
  m_table->AfterScroll = [this](store::TTable &table) { Table1AfterScroll(table); };
  m_dataSource->setDataSet(m_table.get());

  // Loading is complete: the remembered Active opens the table now.
  m_table->Loaded();
}

TMainForm::~TMainForm() {
  if (MainForm == this)
    MainForm = nullptr;
}

void TMainForm::centreOnScreen() {
  const QScreen *screen = QGuiApplication::primaryScreen();
  if (!screen)
    return;
  const QRect area = screen->geometry();
  const QRect frame = frameGeometry();
  move(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
}

bool TMainForm::settleBeforeClose() {
  using store::DataSetState;
  if (m_table->State() != DataSetState::Edit && m_table->State() != DataSetState::Insert)
    return true;
  try {
    // Typed text is written back first; a record in which nothing was
    // written is cancelled, any other is posted.
    m_table->SettleEdit();
    return true;
  } catch (...) {
    Application->ReportError(std::current_exception());
  }
  const auto answer = QMessageBox::question(
      this, Application->Title(),
      QStringLiteral("The changes to the current record could not be saved. Close anyway and discard them?"),
      QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  if (answer != QMessageBox::Yes)
    return false;
  m_table->Cancel();
  return true;
}

void TMainForm::closeEvent(QCloseEvent *event) {
  bool mayClose = true;
  guarded([&] { mayClose = settleBeforeClose(); });
  if (mayClose)
    event->accept();
  else
    event->ignore();
}

void TMainForm::Table1AfterScroll(store::TTable &) {
  // The marker panel refills its boxes here.
}

} // namespace vandro
