#include "AskText.h"

#include "FocusRules.h"
#include "TApplication.h"
#include "TDialogForm.h"
#include "TPrefixLabel.h"

#include <QFocusEvent>
#include <QLineEdit>

namespace vandro {

namespace {

// Selects its whole text when the focus arrives by Tab or by the program.
class AnswerEdit : public QLineEdit {
public:
  using QLineEdit::QLineEdit;

protected:
  void focusInEvent(QFocusEvent *event) override {
    QLineEdit::focusInEvent(event);
    if (selectsAllOnFocus(event->reason()))
      selectAll();
  }
};

} // namespace

QString AskText(const QString &caption, const QString &prompt, const QString &defaultText) {
  TDialogForm form(TApplication::DefaultFont());
  form.setWindowTitle(caption);
  const int clientWidth = form.horizontal(180);

  auto *label = new TPrefixLabel(QStringLiteral("Prompt"), prompt, &form);
  const QSize promptSize = TPrefixLabel::measure(prompt, form.font(), form.horizontal(164));
  label->setGeometry(form.horizontal(8), form.vertical(8), promptSize.width(), promptSize.height());

  auto *edit = new AnswerEdit(&form);
  edit->setObjectName(QStringLiteral("Edit"));
  edit->setMaxLength(255);
  edit->setText(defaultText);
  edit->setGeometry(label->x(), label->y() + label->height() + 5, form.horizontal(164), edit->sizeHint().height());
  edit->selectAll();

  const int buttonTop = edit->y() + edit->height() + 15;
  const int buttonWidth = form.horizontal(50), buttonHeight = form.vertical(14);
  form.addButton(QStringLiteral("OK"), QStringLiteral("OK"), TDialogForm::Ok, TDialogForm::Default,
                 {form.horizontal(38), buttonTop, buttonWidth, buttonHeight});
  form.addButton(QStringLiteral("Cancel"), QStringLiteral("Cancel"), TDialogForm::Cancel, TDialogForm::CancelButton,
                 {form.horizontal(92), buttonTop, buttonWidth, buttonHeight});
  form.setFixedSize(clientWidth, buttonTop + buttonHeight + 13);
  edit->setFocus(Qt::OtherFocusReason);

  return form.ShowModal() == TDialogForm::Ok ? edit->text() : defaultText;
}

} // namespace vandro
