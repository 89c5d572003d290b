#include "Main.h"

#include <QGuiApplication>
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

void TMainForm::Table1AfterScroll(store::TTable &) {
  // The marker panel refills its boxes here.
}

} // namespace vandro
