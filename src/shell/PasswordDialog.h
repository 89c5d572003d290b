// "Enter password": asks for a table's password when opening it needs one.
#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

namespace vandro {

class PasswordDialog : public QDialog {
  Q_OBJECT
public:
  // The three actions on the session's password list.
  struct Passwords {
    std::function<void(const QString &)> add;
    std::function<void(const QString &)> remove;
    std::function<void()> removeAll;
  };
  explicit PasswordDialog(Passwords passwords, QWidget *parent = nullptr);

  // Runs the dialog; true when it closed with OK (the box's text then added).
  static bool ask(Passwords passwords);

private:
  void textChanged();
  void addClicked();
  void removeClicked();
  void removeAllClicked();
  void okClicked();

  Passwords m_passwords;
  QLineEdit *m_edit;
  QPushButton *m_add;
  QPushButton *m_remove;
  QPushButton *m_ok;
  bool m_added = false;
};

} // namespace vandro
