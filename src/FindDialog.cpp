#include "FindDialog.h"

#include "controls/TComboBox.h"
#include "corpus/Corpus.h"
#include "shell/Exception.h"
#include "shell/TApplication.h"
#include "shell/TMessageForm.h"
#include "store/TSession.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <set>

namespace vandro {

namespace {

// The spans a marker or text is looked for in, in the box's order.
const corpus::Spans kLookIn[] = {corpus::Spans::Either, corpus::Spans::First, corpus::Spans::Second};
// The spans without a marker, after "(no condition)".
const corpus::Spans kWithout[] = {corpus::Spans::First, corpus::Spans::Second, corpus::Spans::Either,
                                  corpus::Spans::Both};

} // namespace

FindDialog::FindDialog(store::TTable &table) : TDialogForm(TApplication::DefaultFont()), m_table(table) {
  setObjectName(QStringLiteral("FindDialog"));
  setWindowTitle(QStringLiteral("Find"));
  createControls();
  m_countLater.setSingleShot(true);
  m_countLater.setInterval(400);
  connect(&m_countLater, &QTimer::timeout, this, [this] { guarded([this] { count(); }); });
}

void FindDialog::createControls() {
  const int left = horizontal(8), boxLeft = horizontal(84), boxWidth = horizontal(140);
  const int rowHeight = vertical(12), step = vertical(16);
  int top = vertical(8);
  auto row = [&](const QString &caption, QWidget *box) {
    auto *label = new QLabel(caption, this);
    label->setBuddy(box);
    label->setGeometry(left, top + 2, boxLeft - left - horizontal(4), rowHeight);
    box->setGeometry(boxLeft, top, boxWidth, rowHeight + 4);
    top += step;
  };
  auto chooser = [this](const char *name, const QStringList &items) {
    auto *box = new controls::TComboBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    box->setCurrentIndex(-1);
    box->setInsertPolicy(QComboBox::NoInsert); // Enter finds; it adds nothing to the list
    return box;
  };
  auto edit = [this](const char *name) {
    auto *box = new QLineEdit(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setMaxLength(255);
    return box;
  };
  auto list = [this](const char *name, const QStringList &items) {
    auto *box = new QComboBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    return box;
  };
  m_relation = chooser("Relation", store::TSession::relationNames());
  row(QStringLiteral("&Relation:"), m_relation);
  m_document = chooser("Document", {});
  row(QStringLiteral("&Document:"), m_document);
  m_marker = edit("Marker");
  row(QStringLiteral("Mar&ker holds:"), m_marker);
  m_text = edit("Text");
  row(QStringLiteral("Span &text holds:"), m_text);
  m_spans = list("LookIn", {QStringLiteral("Either span"), QStringLiteral("Span 1"), QStringLiteral("Span 2")});
  row(QStringLiteral("&Look in:"), m_spans);
  m_withoutMarker = list("WithoutMarker", {QStringLiteral("(no condition)"), QStringLiteral("Span 1"),
                                           QStringLiteral("Span 2"), QStringLiteral("Either span"),
                                           QStringLiteral("Both spans")});
  row(QStringLiteral("&Without a marker:"), m_withoutMarker);
  m_changed = new QCheckBox(QStringLiteral("&Changed since import"), this);
  m_changed->setObjectName(QStringLiteral("Changed"));
  m_changed->setGeometry(boxLeft, top, boxWidth, rowHeight + 2);
  top += step;
  m_count = new QLabel(this);
  m_count->setObjectName(QStringLiteral("Count"));
  m_count->setGeometry(left, top, horizontal(216), rowHeight);
  top += step;

  const int buttonWidth = horizontal(62), buttonHeight = vertical(14), gap = horizontal(8);
  auto *next = addButton(QStringLiteral("FindNext"), QStringLiteral("Find &next"), None, Default,
                         {left, top, buttonWidth, buttonHeight});
  auto *previous = addButton(QStringLiteral("FindPrevious"), QStringLiteral("Find &previous"), None, Plain,
                             {left + buttonWidth + gap, top, buttonWidth, buttonHeight});
  auto *close = addButton(QStringLiteral("Close"), QStringLiteral("Close"), Cancel, CancelButton,
                          {left + 2 * (buttonWidth + gap), top, buttonWidth, buttonHeight});
  connect(next, &QPushButton::clicked, this, [this] { guarded([this] { find(engine::SearchDirection::Forward); }); });
  connect(previous, &QPushButton::clicked, this,
          [this] { guarded([this] { find(engine::SearchDirection::Backward); }); });
  connect(close, &QPushButton::clicked, this, &QWidget::hide);
  setFixedSize(left + 3 * buttonWidth + 2 * gap + left + horizontal(8), top + buttonHeight + vertical(8));

  // A changed condition is counted once the typing pauses.
  auto later = [this] { m_countLater.start(); };
  for (controls::TComboBox *box : {m_relation, m_document}) {
    // Typed (with its completion) or chosen from the list.
    connect(box, &controls::TComboBox::userEdited, this, later);
    connect(box, &QComboBox::currentTextChanged, this, later);
  }
  for (QLineEdit *box : {m_marker, m_text})
    connect(box, &QLineEdit::textChanged, this, later);
  for (QComboBox *box : {m_spans, m_withoutMarker})
    connect(box, &QComboBox::currentIndexChanged, this, later);
  connect(m_changed, &QCheckBox::toggled, this, later);
}

corpus::FindConditions FindDialog::conditions() const {
  corpus::FindConditions conditions;
  conditions.relation = m_relation->text().toStdString();
  conditions.document = m_document->text().toStdString();
  conditions.marker = m_marker->text().toStdString();
  conditions.text = m_text->text().toStdString();
  conditions.spans = kLookIn[std::max(0, m_spans->currentIndex())];
  if (m_withoutMarker->currentIndex() > 0)
    conditions.withoutMarker = kWithout[m_withoutMarker->currentIndex() - 1];
  conditions.changed = m_changed->isEnabled() && m_changed->isChecked();
  return conditions;
}

void FindDialog::open(QWidget *owner) {
  if (!isVisible()) {
    if (owner && owner->windowHandle()) {
      winId();
      windowHandle()->setTransientParent(owner->windowHandle()); // kept above the main window
    }
    // The first time beside the window where the screen has room, so that
    // the record stays in view, else over its right-hand side; afterwards
    // where the user left it.
    if (owner && !m_placed) {
      m_placed = true;
      const QRect frame = owner->frameGeometry();
      const QRect screen = owner->screen() ? owner->screen()->availableGeometry() : QRect();
      const QPoint beside = frame.topRight() + QPoint(horizontal(4), 0);
      move(screen.contains(QRect(beside, frameSize())) ? beside
                                                        : frame.topRight() - QPoint(width() + horizontal(16), -vertical(40)));
    }
    fillDocuments();
    show();
  }
  raise();
  activateWindow();
  m_relation->setFocus(Qt::OtherFocusReason);
  guarded([this] { count(); });
}

void FindDialog::fillDocuments() {
  if (m_documentsFilled || !m_table.Active())
    return;
  m_documentsFilled = true;
  corpus::Corpus corpus(m_table.QueryCursor());
  bool kept = false;
  const bool known = corpus.exists(kept) == engine::code::Ok;
  m_changed->setEnabled(known && kept);
  m_changed->setToolTip(known && kept ? QString()
                                      : QStringLiteral("The table keeps no imported corpus to compare with"));
  std::set<std::string> froms;
  if (corpus.froms(froms) != engine::code::Ok)
    return; // the box stays for typing
  const QString typed = m_document->text();
  for (const std::string &from : froms)
    m_document->addItem(QString::fromStdString(from));
  m_document->setCurrentIndex(-1);
  m_document->setText(typed);
}

void FindDialog::countLater() {
  if (isVisible())
    m_countLater.start();
}

void FindDialog::count() {
  m_countLater.stop();
  m_count->clear(); // a count that fails leaves no old figure behind
  if (!m_table.Active())
    return;
  const auto filter = corpus::recordFilter(m_table.QueryCursor(), conditions());
  if (!filter) {
    m_count->setText(QString::fromStdString(filter.error()));
    return;
  }
  const QLocale locale;
  const std::int64_t matching = m_table.CountWhere(*filter);
  const std::int64_t all = m_table.CountWhere({});
  m_count->setText(QStringLiteral("%1 of %2").arg(locale.toString(static_cast<qlonglong>(matching)),
                                                  locale.toString(static_cast<qlonglong>(all))));
}

void FindDialog::find(engine::SearchDirection direction) {
  const auto filter = corpus::recordFilter(m_table.QueryCursor(), conditions());
  if (!filter)
    throw Exception(QString::fromStdString(filter.error()));
  m_hasFound = true;
  if (!m_table.FindWhere(*filter, direction)) {
    ShowNotice(QStringLiteral("End of database!"));
    return;
  }
  // The count, which stores made meanwhile may have changed, once the
  // record is shown, and only where the dialog shows it.
  countLater();
}

void FindDialog::keyPressEvent(QKeyEvent *event) {
  // F3 and Shift+F3 find again here as in the main window.
  if (event->key() == Qt::Key_F3 && !(event->modifiers() & ~Qt::ShiftModifier)) {
    const auto direction = event->modifiers() & Qt::ShiftModifier ? engine::SearchDirection::Backward
                                                                   : engine::SearchDirection::Forward;
    guarded([this, direction] { find(direction); });
    return;
  }
  TDialogForm::keyPressEvent(event);
}

void FindDialog::closeEvent(QCloseEvent *event) {
  // The close box and Alt+F4 hide the dialog; its conditions stay for F3.
  event->accept();
  hide();
}

} // namespace vandro
