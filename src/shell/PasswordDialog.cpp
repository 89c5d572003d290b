#include "PasswordDialog.h"

#include "TApplication.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace vandro {

PasswordDialog::PasswordDialog(Passwords passwords, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_passwords(std::move(passwords)) {
  setObjectName(QStringLiteral("PasswordDialog"));
  setWindowTitle(QStringLiteral("Enter password"));
  setFixedSize(273, 132);
  setModal(true);

  auto *frame = new QGroupBox(QStringLiteral("Password"), this);
  frame->setObjectName(QStringLiteral("GroupBox1"));
  frame->setGeometry(8, 8, 257, 81);

  m_edit = new QLineEdit(frame);
  m_edit->setObjectName(QStringLiteral("Password"));
  m_edit->setGeometry(16, 18, 225, 20);
  m_edit->setEchoMode(QLineEdit::Password);

  m_add = new QPushButton(QStringLiteral("&Add"), frame);
  m_add->setObjectName(QStringLiteral("AddButton"));
  m_add->setGeometry(16, 46, 65, 25);
  m_add->setEnabled(false);
  m_add->setAutoDefault(false);

  m_remove = new QPushButton(QStringLiteral("&Remove"), frame);
  m_remove->setObjectName(QStringLiteral("RemoveButton"));
  m_remove->setGeometry(88, 46, 65, 25);
  m_remove->setEnabled(false);
  m_remove->setAutoDefault(false);

  auto *removeAll = new QPushButton(QStringLiteral("Re&move all"), frame);
  removeAll->setObjectName(QStringLiteral("RemoveAllButton"));
  removeAll->setGeometry(160, 46, 81, 25);
  removeAll->setAutoDefault(false);

  m_ok = new QPushButton(QStringLiteral("&OK"), this);
  m_ok->setObjectName(QStringLiteral("OKButton"));
  m_ok->setGeometry(109, 98, 75, 25);
  m_ok->setDefault(true);
  m_ok->setEnabled(false);

  auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("CancelButton"));
  cancel->setGeometry(190, 98, 75, 25);
  cancel->setAutoDefault(false);

  connect(m_edit, &QLineEdit::textChanged, this, [this] { guarded([this] { textChanged(); }); });
  connect(m_add, &QPushButton::clicked, this, [this] { guarded([this] { addClicked(); }); });
  connect(m_remove, &QPushButton::clicked, this, [this] { guarded([this] { removeClicked(); }); });
  connect(removeAll, &QPushButton::clicked, this, [this] { guarded([this] { removeAllClicked(); }); });
  connect(m_ok, &QPushButton::clicked, this, [this] { guarded([this] { okClicked(); }); });
  // Escape answers Cancel through QDialog::reject.
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  if (const QScreen *screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - frameGeometry().width()) / 2,
         area.y() + (area.height() - frameGeometry().height()) / 2);
  }
  m_edit->setFocus(Qt::OtherFocusReason);
}

void PasswordDialog::textChanged() {
  const bool hasText = !m_edit->text().isEmpty();
  m_add->setEnabled(hasText);
  m_remove->setEnabled(hasText);
  m_ok->setEnabled(hasText || m_added);
}

void PasswordDialog::addClicked() {
  m_passwords.add(m_edit->text());
  m_added = true;
  m_edit->clear();
  textChanged();
  m_edit->setFocus(Qt::OtherFocusReason);
}

void PasswordDialog::removeClicked() {
  m_passwords.remove(m_edit->text());
  m_edit->clear();
  m_edit->setFocus(Qt::OtherFocusReason);
}

void PasswordDialog::removeAllClicked() {
  m_passwords.removeAll();
  m_edit->setFocus(Qt::OtherFocusReason);
}

void PasswordDialog::okClicked() {
  m_passwords.add(m_edit->text());
  accept();
}

bool PasswordDialog::ask(Passwords passwords) {
  PasswordDialog dialog(std::move(passwords));
  return dialog.exec() == QDialog::Accepted;
}

} // namespace vandro
