#include "Main.h"

#include "ContextView.h"
#include "FindDialog.h"

#include "controls/ArrowFocus.h"
#include "controls/LayoutScaling.h"
#include "controls/TBevel.h"
#include "controls/TComboBox.h"
#include "controls/TDBEdit.h"
#include "controls/TDBMemo.h"
#include "controls/TDBNavigator.h"
#include "controls/TEdit.h"
#include "corpus/Corpus.h"
#include "corpus/History.h"
#include "corpus/MarkerPlacement.h"
#include "corpus/RelationTable.h"
#include "shell/AskText.h"
#include "shell/IntegerText.h"
#include "shell/ScreenCentre.h"
#include "shell/TMessageForm.h"
#include "shell/TApplication.h"
#include "store/EngineCheck.h"
#include "store/TSession.h"
#include "store/ValueRules.h"

#include <QAction>
#include <QCloseEvent>
#include <QTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QRadioButton>
#include <cmath>
#include <limits>
#include <utility>

namespace vandro {

using controls::NavigateButton;

TMainForm *MainForm = nullptr;

namespace {

// The design: a 96 dots-per-inch screen on which the window font's "0" is
// 13 pixels high.
constexpr int kDesignTextHeight = 13;
constexpr int kClientWidth = 656;
constexpr int kClientHeight = 571;

const QStringList kRelationNames = store::TSession::relationNames();
const QStringList kMarkerPositions = {"Beginning", "Middle", "End", "Multiple"};
// The position a marker typed into a blank position gets.
const QString kDefaultPosition = QStringLiteral("Beginning");

// The colour of an inactive window's title text, which the three boxes
// that only show the record's identity use as their background.
QColor inactiveCaptionText() { return QColor(0xC0, 0xC0, 0xC0); }

struct LabelPlace {
  const char *name;
  int left, top;
  const char *caption;
  const char *besideBox; // the box the label stands left of, if any
};

constexpr LabelPlace kLabels[] = {
    {"Label14", 16, 24, "Id", "DBEdit1"},
    {"Label19", 16, 56, "From", "DBEdit12"},
    {"Label2", 16, 88, "Relation", "DBEdit2"},
    {"Label3", 168, 88, "Extended", "DBEdit3"},
    {"Label5", 16, 120, "Volitional", "DBEdit5"},
    {"Label4", 168, 120, "Embedded", "DBEdit4"},
    {"Label6", 16, 152, "Order", "DBEdit6"},
    {"Label11", 16, 192, "Span1", nullptr},
    {"Label7", 208, 192, "L1", "DBEdit7"},
    {"Label8", 272, 192, "H1", "DBEdit8"},
    {"Label12", 336, 192, "Span2", nullptr},
    {"Label9", 528, 192, "L2", "DBEdit9"},
    {"Label10", 592, 192, "H2", "DBEdit10"},
    {"Label1", 24, 472, "Span1 Marker", nullptr},
    {"Label15", 232, 472, "Position", nullptr},
    {"Label16", 344, 472, "Span2 Marker", nullptr},
    {"Label18", 552, 472, "Position", nullptr},
    {"Label17", 471, 549, "Segments distance", "DBEdit11"},
};

// The least room between a label and the box it stands left of, at the
// design's text height.
constexpr int kLabelClearance = 4;

struct BoundEditPlace {
  const char *name;
  const char *field;
  int left, top, width;
  bool readOnly;
  bool identityColour; // the inactive-caption background
};

constexpr BoundEditPlace kBoundEdits[] = {
    {"DBEdit1", "Id", 69, 16, 52, true, true},
    {"DBEdit2", "Relation", 69, 80, 76, false, false},
    {"DBEdit3", "Extended", 229, 80, 76, false, false},
    {"DBEdit5", "Volitional", 69, 112, 76, false, false},
    {"DBEdit4", "Embedded", 229, 112, 76, false, false},
    {"DBEdit6", "Order", 69, 144, 76, false, false},
    {"DBEdit7", "L1", 224, 184, 33, true, false},
    {"DBEdit8", "H1", 288, 184, 33, true, false},
    {"DBEdit9", "L2", 544, 184, 33, true, false},
    {"DBEdit10", "H2", 608, 184, 33, true, false},
    {"DBEdit11", "Segments_distance", 568, 541, 73, true, true},
    {"DBEdit12", "From", 69, 48, 236, true, true},
};

} // namespace

TMainForm::TMainForm(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_dataSource(std::make_unique<store::TDataSource>(QStringLiteral("DataSource1"))),
      m_table(std::make_unique<store::TTable>(QStringLiteral("Table1"), nullptr)) {
  MainForm = this;
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Vandro with Markers"));
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Window); // the button face
  setFont(TApplication::DefaultFont());
  setFixedSize(kClientWidth, kClientHeight);

  m_table->beginLoading();
  m_table->DatabaseName = QStringLiteral("Vandro");
  m_table->TableName = QStringLiteral("Vandro.DB");
  // Every post and insert writes who changed which column, in its own
  // transaction (vandro-admin history lists it).
  m_table->SetChangeLog(std::make_shared<corpus::History>("Vandro", corpus::History::Rows::PerColumn));
  m_table->setActive(true);
  m_dataSource->setDataSet(m_table.get());

  try {
    createControls();
    setKeyboardOrder();
    scaleToFont();
    keepLabelsClearOfBoxes();
    wireEvents();
    createContextView();
    createShortcuts();
    Edit1->setFocus(Qt::OtherFocusReason);

    // Loading is complete: the remembered Active opens the table now.
    m_table->Loaded();
  } catch (...) {
    // The partly built window goes in the same order as a whole one.
    destroyComponents();
    throw;
  }
}

TMainForm::~TMainForm() {
  destroyComponents();
  if (MainForm == this)
    MainForm = nullptr;
}

void TMainForm::destroyComponents() {
  m_findDialog.reset();
  // Controls first, then the table (closed once no control is left), then
  // its data source.
  for (QWidget *child : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
    delete child;
  m_table.reset();
  m_dataSource.reset();
}

namespace {

// A combo box of the window: its items, none chosen, as high as an edit box.
controls::TComboBox *comboBox(const char *name, QWidget *parent, QRect geometry, int height, const QStringList &items) {
  auto *box = new controls::TComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->addItems(items);
  box->setCurrentIndex(-1);
  box->setGeometry(geometry.x(), geometry.y(), geometry.width(), height);
  return box;
}

QPushButton *pushButton(const char *name, QWidget *parent, const char *caption, QRect geometry) {
  auto *button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  // Enter presses a button only while it has the focus; no button is the
  // window's default.
  button->setAutoDefault(true);
  button->setDefault(false);
  return button;
}

} // namespace

void TMainForm::createControls() {
  // In this order: the bevels lie beneath what they frame.
  createFramesAndLabels();
  createMarkerPanel();
  createBoundControls();
  createSearchPanel();
}

void TMainForm::createFramesAndLabels() {
  auto *bevel1 = new controls::TBevel(this);
  bevel1->setObjectName(QStringLiteral("Bevel1"));
  bevel1->setGeometry(16, 464, 305, 57);
  auto *bevel2 = new controls::TBevel(this);
  bevel2->setObjectName(QStringLiteral("Bevel2"));
  bevel2->setGeometry(336, 464, 305, 57);

  for (const auto &place : kLabels) {
    auto *label = new QLabel(QString::fromLatin1(place.caption), this);
    label->setObjectName(QString::fromLatin1(place.name));
    if (label->objectName() == QLatin1String("Label11") || label->objectName() == QLatin1String("Label12"))
      label->setFont(font()); // their own font, equal to the window's
    label->setGeometry(place.left, place.top, fontMetrics().horizontalAdvance(label->text()), 13);
  }
}

void TMainForm::createMarkerPanel() {
  const int editHeight = fontMetrics().height() + 8;
  Edit1 = new controls::TEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setGeometry(24, 488, 201, editHeight);
  ComboBox2 = comboBox("ComboBox2", this, {232, 488, 81, 21}, editHeight, kMarkerPositions);
  Edit2 = new controls::TEdit(this);
  Edit2->setObjectName(QStringLiteral("Edit2"));
  Edit2->setGeometry(344, 488, 201, editHeight);
  ComboBox3 = comboBox("ComboBox3", this, {552, 488, 81, 21}, editHeight, kMarkerPositions);
  Button2 = pushButton("Button2", this, "Insert", {300, 535, 57, 27});
}

void TMainForm::createBoundControls() {
  const int editHeight = fontMetrics().height() + 8;
  for (const auto &place : kBoundEdits) {
    auto *edit = new controls::TDBEdit(QString::fromLatin1(place.name), QString::fromLatin1(place.field),
                                       place.readOnly ? controls::BoxAccess::ReadOnly : controls::BoxAccess::Editable,
                                       this);
    edit->setGeometry(place.left, place.top, place.width, editHeight);
    const QString name = edit->objectName();
    if (name == QLatin1String("DBEdit1") || name == QLatin1String("DBEdit2") || name == QLatin1String("DBEdit12"))
      edit->setFont(font()); // their own font, equal to the window's
    if (place.identityColour) {
      QPalette palette = edit->palette();
      palette.setColor(QPalette::Base, inactiveCaptionText());
      edit->setPalette(palette);
    }
    edit->link().setDataSource(m_dataSource.get());
  }
  for (const auto &[name, field, left] : {std::tuple{"DBMemo1", "Span1", 16}, std::tuple{"DBMemo2", "Span2", 336}}) {
    auto *memo =
        new controls::TDBMemo(QString::fromLatin1(name), QString::fromLatin1(field), controls::BoxAccess::ReadOnly, this);
    memo->setGeometry(left, 208, 305, 209);
    memo->link().setDataSource(m_dataSource.get());
  }

  DBNavigator1 = new controls::TDBNavigator(
      QStringLiteral("DBNavigator1"),
      {NavigateButton::First, NavigateButton::Prior, NavigateButton::Next, NavigateButton::Last}, this);
  DBNavigator1->setRequestedGeometry(216, 424, 224, 25);
  DBNavigator1->setDataSource(m_dataSource.get());
  DBNavigator2 = new controls::TDBNavigator(QStringLiteral("DBNavigator2"),
                                            {NavigateButton::Edit, NavigateButton::Post}, this);
  DBNavigator2->setRequestedGeometry(193, 14, 112, 25);
  DBNavigator2->setDataSource(m_dataSource.get());
}

void TMainForm::createSearchPanel() {
  const int editHeight = fontMetrics().height() + 8;
  GroupBox1 = new QGroupBox(QStringLiteral(" Search database "), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(400, 16, 241, 113);
  RadioButton2 = new QRadioButton(QStringLiteral("Backward"), GroupBox1);
  RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
  RadioButton2->setGeometry(16, 24, 113, 17);
  RadioButton1 = new QRadioButton(QStringLiteral("Forward"), GroupBox1);
  RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
  RadioButton1->setGeometry(16, 48, 113, 17);
  RadioButton1->setChecked(true);
  ComboBox1 = comboBox("ComboBox1", GroupBox1, {64, 82, 97, 21}, editHeight, kRelationNames);
  Button1 = pushButton("Button1", GroupBox1, "Search", {168, 80, 57, 25});
  auto *label13 = new QLabel(QStringLiteral("Relation"), GroupBox1);
  label13->setObjectName(QStringLiteral("Label13"));
  label13->setGeometry(16, 88, fontMetrics().horizontalAdvance(label13->text()), 13);

  Button3 = pushButton("Button3", this, "Go to", {128, 14, 41, 25});
}

void TMainForm::setKeyboardOrder() {
  auto byName = [this](const char *name) { return findChild<QWidget *>(QString::fromLatin1(name)); };
  const char *order[] = {"Edit1",   "ComboBox2", "Edit2",    "ComboBox3",   "Button2",     "DBEdit1",
                         "DBEdit2", "DBEdit3",   "DBEdit5",  "DBEdit4",     "DBEdit6",     "DBEdit7",
                         "DBEdit8", "DBMemo1",   "DBEdit9",  "DBEdit10",    "DBMemo2",     "RadioButton2",
                         "RadioButton1", "ComboBox1", "Button1", "DBEdit11", "DBEdit12", "Button3"};
  QWidget *previous = nullptr;
  for (const char *name : order) {
    QWidget *control = byName(name);
    if (previous)
      QWidget::setTabOrder(previous, control);
    previous = control;
  }
  QWidget::setTabOrder(previous, byName(order[0]));

  // Of the two radio buttons only the checked one is a tab stop.
  auto radioStops = [this] {
    RadioButton1->setFocusPolicy(RadioButton1->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    RadioButton2->setFocusPolicy(RadioButton2->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
  };
  radioStops();
  connect(RadioButton1, &QRadioButton::toggled, this, radioStops);

  // The arrow keys in buttons and radio buttons step through the controls
  // of the same parent, in keyboard order.
  m_arrows = new controls::ArrowFocus(this);
  std::vector<QWidget *> window, group;
  for (const char *name : order) {
    QWidget *control = byName(name);
    (control->parentWidget() == GroupBox1 ? group : window).push_back(control);
  }
  m_arrows->addSiblings(window);
  m_arrows->addSiblings(group);
  for (QWidget *control : {static_cast<QWidget *>(Button1), static_cast<QWidget *>(Button2),
                           static_cast<QWidget *>(Button3), static_cast<QWidget *>(RadioButton1),
                           static_cast<QWidget *>(RadioButton2)})
    m_arrows->watch(control);
}

void TMainForm::scaleToFont() {
  controls::scaleLayout(*this, {this, GroupBox1}, fontMetrics().height(), kDesignTextHeight,
                        QSize(kClientWidth, kClientHeight), fontMetrics().height() + 8);
}

void TMainForm::keepLabelsClearOfBoxes() {
  // A caption wider in the font found than in the design font would run
  // into its box: such a label moves left until it ends clear of the box,
  // keeping its font. Labels that fit stay where the design puts them.
  const int clearance = static_cast<int>(std::lround(kLabelClearance * fontMetrics().height() /
                                                     static_cast<double>(kDesignTextHeight)));
  auto labelOf = [this](const char *name) { return findChild<QLabel *>(QString::fromLatin1(name)); };
  std::vector<std::pair<QLabel *, QWidget *>> pairs;
  for (const auto &place : kLabels)
    if (place.besideBox)
      pairs.emplace_back(labelOf(place.name), findChild<QWidget *>(QString::fromLatin1(place.besideBox)));
  pairs.emplace_back(labelOf("Label13"), ComboBox1);
  for (const auto &[label, box] : pairs) {
    const int limit = box->x() - clearance;
    if (label->geometry().right() + 1 > limit)
      label->move(limit - label->width(), label->y());
  }
}

void TMainForm::createShortcuts() {
  // Window-wide: a box that uses a key for its text (a line edit's
  // Ctrl+Home, say) claims it first and keeps it.
  // The keys that move through the records, store and open the view work
  // in the context view too, so that tokens clicked there are stored
  // without going back to the main window.
  auto key = [this](const QKeySequence &sequence, const QString &name, std::function<void()> action,
                    bool inContextView = false) {
    for (QWidget *window : {static_cast<QWidget *>(this), static_cast<QWidget *>(m_contextView)}) {
      if (window != this && !inContextView)
        continue;
      auto *shortcut = new QShortcut(sequence, window);
      shortcut->setObjectName(name);
      shortcut->setContext(Qt::WindowShortcut);
      connect(shortcut, &QShortcut::activated, this, [action] { guarded(action); });
    }
  };
  auto navigate = [this](NavigateButton button) { return [this, button] { DBNavigator1->BtnClick(button); }; };
  key(QKeySequence(Qt::CTRL | Qt::Key_PageDown), QStringLiteral("NextKey"), navigate(NavigateButton::Next), true);
  key(QKeySequence(Qt::CTRL | Qt::Key_PageUp), QStringLiteral("PriorKey"), navigate(NavigateButton::Prior), true);
  key(QKeySequence(Qt::ALT | Qt::Key_Home), QStringLiteral("FirstKey"), navigate(NavigateButton::First), true);
  key(QKeySequence(Qt::ALT | Qt::Key_End), QStringLiteral("LastKey"), navigate(NavigateButton::Last), true);
  key(QKeySequence(Qt::CTRL | Qt::Key_G), QStringLiteral("GoToKey"), [this] { Button3->click(); }, true);
  key(QKeySequence(Qt::CTRL | Qt::Key_I), QStringLiteral("InsertKey"), [this] { Button2->click(); }, true);
  key(QKeySequence(Qt::Key_F2), QStringLiteral("ContextKey"), [this] { m_contextView->toggle(); }, true);
  key(QKeySequence(Qt::CTRL | Qt::Key_F), QStringLiteral("FindKey"), [this] { findDialog()->open(this); });
  key(QKeySequence(Qt::Key_F3), QStringLiteral("FindNextKey"),
      [this] { findAgain(engine::SearchDirection::Forward); });
  key(QKeySequence(Qt::SHIFT | Qt::Key_F3), QStringLiteral("FindPreviousKey"),
      [this] { findAgain(engine::SearchDirection::Backward); });
}

FindDialog *TMainForm::findDialog() {
  if (!m_findDialog)
    m_findDialog = std::make_unique<FindDialog>(*m_table);
  return m_findDialog.get();
}

void TMainForm::createContextView() {
  m_contextView = new ContextView(*m_dataSource, *m_table, this);
  connect(m_contextView, &ContextView::markerChosen, this,
          [this](int span, const QString &marker, const QString &position) {
            guarded([&] { markerChosen(span, marker, position); });
          });
  // The boxes' menus open and close it too.
  auto *action = new QAction(QStringLiteral("Conte&xt view\tF2"), this);
  action->setObjectName(QStringLiteral("ContextViewAction"));
  action->setCheckable(true);
  connect(m_contextView, &ContextView::shownChanged, action, &QAction::setChecked);
  connect(action, &QAction::triggered, this, [this] { guarded([this] { m_contextView->toggle(); }); });
  for (QWidget *box : findChildren<QWidget *>())
    if (qobject_cast<QLineEdit *>(box) || qobject_cast<controls::TDBMemo *>(box) ||
        qobject_cast<controls::TComboBox *>(box))
      box->addAction(action);
}

void TMainForm::markerChosen(int span, const QString &marker, const QString &position) {
  // As if typed: the box's change proposes a position, which the chosen
  // tokens' own then replaces; leaving the record asks before dropping it.
  // Taking the choice back gives the boxes back what they held before it.
  controls::TEdit *box = span == 1 ? Edit1 : Edit2;
  controls::TComboBox *chooser = span == 1 ? ComboBox2 : ComboBox3;
  auto &before = m_beforeChoice[span - 1];
  if (!before)
    before = std::pair(box->text(), chooser->text());
  const auto [text, place] = marker.isEmpty() ? *before : std::pair(marker, position);
  m_choosing = true;
  box->assignText(text);
  m_choosing = false;
  chooser->setText(place);
  m_proposedPosition[span - 1] = place;
  if (marker.isEmpty())
    before.reset();
  // A marker longer than its field is refused by Insert; said at once.
  const store::TField &field = m_table->LookupField(span == 1 ? QStringLiteral("Marker1") : QStringLiteral("Marker2"));
  if (!marker.isEmpty() && field.kind() == engine::FieldKind::String && field.TextAsStored(marker) != marker)
    m_contextView->warn(QStringLiteral("%1 has %2 characters; the field %3 holds %4, so Insert will not store it.")
                            .arg(store::shownText(marker))
                            .arg(marker.toUcs4().size())
                            .arg(field.FieldName())
                            .arg(field.Size()));
}

bool TMainForm::keepTokenChoices() {
  for (auto &before : m_beforeChoice)
    before.reset();
  std::vector<corpus::TokenChoice> choices;
  for (int span = 1; span <= 2; ++span)
    if (auto choice = m_contextView->choiceFor(
            span, m_table->LookupField(span == 1 ? QStringLiteral("Marker1") : QStringLiteral("Marker2")).AsString()))
      choices.push_back(std::move(*choice));
  if (!m_contextView->forgetChoices())
    return false;
  if (choices.empty())
    return true;
  corpus::Corpus corpus(m_table->QueryCursor());
  for (const corpus::TokenChoice &choice : choices)
    if (const engine::Result kept = corpus.keepChoice(choice); kept != engine::code::Ok)
      throw store::storeError(kept, {QStringLiteral("The markers are stored; the tokens chosen for span %1 are not "
                                                    "kept, and an export places its marker by its words.")
                                         .arg(choice.span)});
  m_contextView->choicesKept();
  return true;
}

void TMainForm::findAgain(engine::SearchDirection direction) {
  if (!m_findDialog || !m_findDialog->hasFound())
    findDialog()->open(this);
  else
    m_findDialog->find(direction);
}

void TMainForm::wireEvents() {
  connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(Button1); }); });
  connect(Button2, &QPushButton::clicked, this, [this] { guarded([this] { Button2Click(Button2); }); });
  connect(Button3, &QPushButton::clicked, this, [this] { guarded([this] { Button3Click(Button3); }); });
  connect(Edit1, &QLineEdit::textChanged, this, [this] { guarded([this] { Edit1Change(Edit1); }); });
  connect(Edit2, &QLineEdit::textChanged, this, [this] { guarded([this] { Edit2Change(Edit2); }); });
  m_table->AfterScroll = [this](store::TTable &table) { Table1AfterScroll(table); };
  m_table->BeforeMove = [this](store::TTable &table) { Table1BeforeMove(table); };
  // A position the user picks or types is the user's, even when it is the
  // one the panel proposed: the panel no longer changes it.
  for (const int span : {0, 1})
    connect(span ? ComboBox3 : ComboBox2, &controls::TComboBox::userEdited, this, [this, span] {
      m_proposedPosition[span] = QString();
      if (m_contextView)
        m_contextView->positionTyped(span + 1, (span ? ComboBox3 : ComboBox2)->text());
    });
}

bool TMainForm::settleBeforeClose() {
  using store::DataSetState;
  try {
    if (!typedMarkersKept())
      return false;
  } catch (...) {
    Application->ReportError(std::current_exception());
    return false; // "Insert" failed: the markers are still in the boxes
  }
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
  if (mayClose) {
    event->accept();
    if (m_contextView)
      m_contextView->ownerClosing(); // remembered open, if it is
  } else {
    event->ignore();
  }
}

void TMainForm::showEvent(QShowEvent *event) {
  QWidget::showEvent(event);
  // The context view opens with the window when the user left it open,
  // beside the window once the window manager has placed it: when it is
  // first activated, or half a second on at the latest.
  if (!m_shownOnce && m_contextView && ContextView::rememberedOpen()) {
    m_openContextView = true;
    QTimer::singleShot(500, m_contextView, [this] { openRememberedContextView(); });
  }
  m_shownOnce = true;
}

bool TMainForm::event(QEvent *event) {
  if (event->type() == QEvent::WindowActivate && m_openContextView)
    QTimer::singleShot(0, m_contextView, [this] { openRememberedContextView(); });
  return QWidget::event(event);
}

void TMainForm::openRememberedContextView() {
  if (!std::exchange(m_openContextView, false))
    return;
  guarded([this] { m_contextView->open(); });
  activateWindow(); // the main window keeps the keyboard
}

// The relation search ----------------------------------------------------------

void TMainForm::Button1Click(QObject *) {
  // The chooser's text as shown and the direction, read afresh each time;
  // an empty text does nothing at all, not even store a pending edit.
  const QString relation = ComboBox1->text();
  if (relation.isEmpty())
    return;
  const auto direction =
      RadioButton1->isChecked() ? engine::SearchDirection::Forward : engine::SearchDirection::Backward;
  if (m_table->SearchField(QStringLiteral("Relation"), relation, direction, searchMeans)) {
    Edit2->setFocus(Qt::OtherFocusReason);
    Edit2->selectAll(); // also when it had the focus already
  } else
    ShowNotice(QStringLiteral("End of database!"));
}

// "Go to" ---------------------------------------------------------------------

void TMainForm::Button3Click(QObject *) {
  // An emptied answer does nothing at all; a text that is no integer fails
  // before anything happens. A pending edit is stored by the look-up
  // whether or not the Id is found, and an Id nobody has says nothing.
  const QString answer = AskText(QStringLiteral("Go to"), QStringLiteral("Id"), QStringLiteral("1"));
  if (answer.isEmpty())
    return;
  (void)m_table->FindByKey(ParseInteger(answer));
}

// The marker panel ------------------------------------------------------------

void TMainForm::Table1AfterScroll(store::TTable &dataSet) {
  if (m_findDialog)
    m_findDialog->countLater(); // the Find's progress, once the moves pause
  // Each box after its field, in this order: a default position that
  // Edit1Change writes while Edit1 is refilled is overwritten by the
  // record's own position at once.
  Edit1->assignText(dataSet.LookupField(QStringLiteral("Marker1")).AsString());
  ComboBox2->setText(dataSet.LookupField(QStringLiteral("Position1")).AsString());
  Edit2->assignText(dataSet.LookupField(QStringLiteral("Marker2")).AsString());
  ComboBox3->setText(dataSet.LookupField(QStringLiteral("Position2")).AsString());
  m_shownMarkers = panelTexts();
  // A stored position is the rule's own when the rule gives it for the
  // stored marker: editing the marker then proposes the rule's anew.
  for (int span = 0; span < 2; ++span)
    m_proposedPosition[span] = corpus::proposedPosition(span ? Edit2->text() : Edit1->text(),
                                                        dataSet.LookupField(span ? QStringLiteral("Span2")
                                                                                 : QStringLiteral("Span1"))
                                                            .AsString())
                                   .value_or(kDefaultPosition);
}

store::MarkerTexts TMainForm::panelTexts() const {
  return {Edit1->text(), ComboBox2->text(), Edit2->text(), ComboBox3->text()};
}

void TMainForm::Table1BeforeMove(store::TTable &) {
  if (!typedMarkersKept())
    throw EAbort();
}

bool TMainForm::typedMarkersKept() {
  store::TTable &table = *m_table;
  // A record's own markers, as edited so far (a failed "Insert" wrote them,
  // and the move stores them), or as stored.
  if (!table.Active() || table.IsEmpty() || panelTexts().sameAnnotation(store::MarkerTexts::current(table)))
    return true;
  constexpr int kStore = 6, kDrop = 7;
  const int choice = AskChoice(
      QStringLiteral("The markers in the boxes are not stored in this record:\n%1.\n\nStore them with Insert, "
                     "drop them, or stay on the record?")
          .arg(panelTexts().described()),
      {{QStringLiteral("Store"), QStringLiteral("&Store"), kStore, TDialogForm::Default},
       {QStringLiteral("Drop"), QStringLiteral("&Drop"), kDrop, TDialogForm::Plain},
       {QStringLiteral("Stay"), QStringLiteral("S&tay"), TDialogForm::Cancel, TDialogForm::CancelButton}});
  if (choice == kStore)
    Button2Click(Button2);
  return choice == kStore || choice == kDrop;
}

void TMainForm::Edit1Change(QObject *) { markerBoxChanged(0); }

void TMainForm::Edit2Change(QObject *) { markerBoxChanged(1); }

void TMainForm::markerBoxChanged(int span) {
  proposePosition(span);
  if (m_choosing)
    return;
  // Typed, or refilled from the record: what the box held before tokens
  // were chosen is no longer what taking them back gives.
  m_beforeChoice[span].reset();
  if (m_contextView)
    m_contextView->markerTyped(span + 1, span ? Edit2->text() : Edit1->text());
}

void TMainForm::proposePosition(int span) {
  // A blank position, or the one the rule gave the marker before, becomes
  // what the rule gives the marker now ("Multiple" for two parts or more,
  // else where the part stands among the span's words), else the default.
  // A position the user chose stays.
  controls::TComboBox *chooser = span ? ComboBox3 : ComboBox2;
  const QString position = chooser->text();
  if (!position.isEmpty() && position != m_proposedPosition[span])
    return;
  std::optional<QString> proposed;
  if (m_table->Active() && !m_table->IsEmpty())
    proposed = corpus::proposedPosition(
        span ? Edit2->text() : Edit1->text(),
        m_table->LookupField(span ? QStringLiteral("Span2") : QStringLiteral("Span1")).AsString());
  m_proposedPosition[span] = proposed.value_or(kDefaultPosition);
  chooser->setText(m_proposedPosition[span]);
}

void TMainForm::Button2Click(QObject *) {
  // Stores the four boxes' texts as they stand into the current record,
  // with the number of segments between the spans, in one post. A failure
  // leaves the record in the edit state with what was written so far; the
  // next move stores it.
  using store::DataSetState;
  store::TTable &table = *m_table;
  refuseWhatCannotBeStored();
  const bool wasEditing = table.State() == DataSetState::Edit || table.State() == DataSetState::Insert;
  table.Edit();
  refuseRecordChangedSinceShown(wasEditing);
  // A marker is stored as the notation writes it (outer blanks and doubled
  // blanks gone), so that the corpus reads it back the same; no marker
  // (empty, or blanks only) is stored as none, without a position. The
  // boxes are read at each step: the blank record Edit makes in an empty
  // table comes with a refill that empties them.
  for (const auto &span : markerSpans()) {
    store::TField &markerField = table.LookupField(QString::fromLatin1(span.marker));
    store::TField &positionField = table.LookupField(QString::fromLatin1(span.position));
    if (store::isNoMarker(span.markerBox->text())) {
      markerField.Clear();
      positionField.Clear();
    } else {
      markerField.setAsString(store::canonicalMarker(span.markerBox->text()));
      positionField.setAsString(span.positionBox->text());
    }
  }
  storeSegmentsDistance();
  try {
    table.Post();
  } catch (const EDBEngineError &error) {
    // Changed since the edit began, by a program that does not honour the
    // record locks: the markers stored now are named as well.
    if (!table.EditIsStale())
      throw;
    m_shownMarkers = store::MarkerTexts::stored(table);
    throw EDBEngineError(error.message() +
                             QStringLiteral("\nIts markers are now: %1.").arg(m_shownMarkers.described()),
                         error.Errors());
  }
  m_shownMarkers = store::MarkerTexts::current(table);
  if (m_findDialog)
    m_findDialog->countLater(); // the markers stored may change the Find's count
  // The post has shown the record anew; once more only when tokens were
  // chosen, now kept or dropped.
  if (keepTokenChoices())
    m_contextView->follow();
}

std::array<TMainForm::MarkerSpan, 2> TMainForm::markerSpans() const {
  return {{{"Marker1", "Position1", Edit1, ComboBox2}, {"Marker2", "Position2", Edit2, ComboBox3}}};
}

void TMainForm::refuseWhatCannotBeStored() const {
  const store::TTable &table = *m_table;
  // A text its field would cut is refused before anything is written: a
  // marker cut short is another marker.
  for (const auto &span : markerSpans()) {
    if (store::isNoMarker(span.markerBox->text()))
      continue;
    for (const auto &[name, text] : {std::pair{span.marker, store::canonicalMarker(span.markerBox->text())},
                                     std::pair{span.position, span.positionBox->text()}}) {
      const store::TField &field = table.LookupField(QString::fromLatin1(name));
      if (field.kind() == engine::FieldKind::String && field.TextAsStored(text) != text)
        throw EDatabaseError(QStringLiteral("The text %1 has %2 characters; the field %3 holds %4. "
                                            "Nothing was stored.")
                                 .arg(store::shownText(text))
                                 .arg(text.toUcs4().size())
                                 .arg(field.FieldName())
                                 .arg(field.Size()));
    }
  }
  // The segment numbers another program stored as no number of their field
  // give no distance: refused, naming the field, before anything is written.
  for (const char *name : {"L2", "H1"}) {
    const store::TField &field = table.LookupField(QString::fromLatin1(name));
    if (!field.StoredValueFits())
      throw EDatabaseError(QStringLiteral("Field '%1' holds %2, which is no value of its kind: the segments between "
                                          "the spans cannot be counted. Nothing was stored.")
                               .arg(field.FieldName(), store::shownText(field.AsString())));
  }
}

void TMainForm::refuseRecordChangedSinceShown(bool wasEditing) {
  using store::DataSetState;
  store::TTable &table = *m_table;
  // Only over the markers the user saw: Edit has read the record again,
  // and markers another annotator stored since the panel showed the record
  // are not overwritten unseen. Shown now, a second "Insert" stores these.
  if (table.State() == DataSetState::Edit) {
    const store::MarkerTexts stored = store::MarkerTexts::stored(table);
    if (!stored.sameAnnotation(m_shownMarkers)) {
      m_shownMarkers = stored;
      if (!wasEditing)
        table.Cancel();
      throw store::storeError(engine::code::RecordChanged,
                              {QStringLiteral("Its markers are now: %1.").arg(stored.described()),
                               QStringLiteral("Yours stay in the boxes; Insert stores them over these.")});
    }
    // Nor on a record whose spans or relation changed since the user chose
    // the markers against them: shown first.
    if (!wasEditing && !table.ChangedAtEdit().isEmpty()) {
      const QStringList changed = table.ChangedAtEdit();
      table.Cancel();
      throw store::changedSinceShown(
          changed, QStringLiteral("Your markers stay in the boxes; Insert stores them on the record as it stands now."));
    }
  }
}

void TMainForm::storeSegmentsDistance() {
  store::TTable &table = *m_table;
  const store::Variant l2 = table.LookupField(QStringLiteral("L2")).AsValue();
  const store::Variant h1 = table.LookupField(QStringLiteral("H1")).AsValue();
  const store::Variant between = corpus::segmentsDistance(h1, l2, store::Variant::integer(1), store::SubtractValues);
  // A distance beyond 32 bits would be stored as its low bits: another
  // number entirely.
  if (between.kind() == store::Variant::Kind::Float &&
      !(between.asFloat() >= std::numeric_limits<std::int32_t>::min() &&
        between.asFloat() <= std::numeric_limits<std::int32_t>::max()))
    throw EDatabaseError(QStringLiteral("The segments between the spans (%1) are more than Segments_distance holds. "
                                        "Nothing was stored.")
                             .arg(between.asFloat(), 0, 'f', 0));
  table.LookupField(QStringLiteral("Segments_distance")).setAsInteger(store::ValueToInteger(between));
}

} // namespace vandro
