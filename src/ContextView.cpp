#include "ContextView.h"

#include "corpus/MarkerNotation.h"
#include "corpus/RelationTable.h"
#include "shell/TApplication.h"
#include "store/EngineCheck.h"
#include "store/TDataSource.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <set>
#include <utility>

namespace vandro {

namespace {

// Two backgrounds that people with any common colour blindness tell apart
// (sky blue and orange), pale for a span and full for the tokens chosen.
const QColor kSpanBackground[2] = {QColor(0xCC, 0xE4, 0xF7), QColor(0xFB, 0xE3, 0xB0)};
const QColor kChosenBackground[2] = {QColor(0x56, 0xB4, 0xE9), QColor(0xE6, 0x9F, 0x00)};
// Grey that still reads on either span's background.
const QColor kFaint(0x66, 0x66, 0x66);

// How many segments above and below those in view get the spans'
// backgrounds (the rest get them as they scroll into view).
constexpr int kSegmentsAroundView = 10;

// How many documents the view keeps read.
constexpr std::size_t kKeptDocuments = 8;

// The user's own settings of the window, whatever engine configuration the
// program runs on: ${XDG_CONFIG_HOME:-~/.config}/vandro/window.conf.
QString settingsPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/vandro/window.conf");
}

const QString kOpenKey = QStringLiteral("ContextView/Open");
const QString kGeometryKey = QStringLiteral("ContextView/Geometry");

const QString kHint = QStringLiteral("Click a token of span 1 or span 2 to make it the marker; Shift+click reaches "
                                     "further, Ctrl+click adds or removes a token apart, Ctrl+Shift+click starts a "
                                     "second signal.");

// A marker column of a relation record, as the view reads it.
std::optional<QString> textOf(const engine::Value &value) {
  if (value.isText())
    return QString::fromStdString(value.asText());
  if (value.isBytes())
    return QString::fromUtf8(reinterpret_cast<const char *>(value.asBytes().data()),
                             static_cast<qsizetype>(value.asBytes().size()));
  return std::nullopt;
}

QTextEdit::ExtraSelection selection(QTextDocument *document, int start, int end, const QTextCharFormat &format) {
  QTextEdit::ExtraSelection made;
  made.cursor = QTextCursor(document);
  made.cursor.setPosition(start);
  made.cursor.setPosition(end, QTextCursor::KeepAnchor);
  made.format = format;
  return made;
}

QString tokenList(const std::vector<int> &tokens) {
  QStringList list;
  for (int token : tokens)
    list << QString::number(token);
  return list.join(QStringLiteral(", "));
}

} // namespace

TokenText::TokenText(QWidget *parent) : QTextEdit(parent) {
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setUndoRedoEnabled(false);
}

void TokenText::mousePressEvent(QMouseEvent *event) {
  m_pressed = event->position().toPoint();
  QTextEdit::mousePressEvent(event);
}

void TokenText::mouseDoubleClickEvent(QMouseEvent *event) {
  // A double click selects the word to copy; its first click chose the
  // token, and its second does not take it back.
  m_doubleClicked = true;
  QTextEdit::mouseDoubleClickEvent(event);
}

void TokenText::mouseReleaseEvent(QMouseEvent *event) {
  QTextEdit::mouseReleaseEvent(event);
  if (std::exchange(m_doubleClicked, false))
    return;
  const QPoint at = event->position().toPoint();
  if (event->button() != Qt::LeftButton || (at - m_pressed).manhattanLength() >= QApplication::startDragDistance())
    return; // a drag selects text to copy
  // The character under the pointer, not the nearest place between two:
  // a click beside the words, or on the blank after one, chooses nothing.
  const QPointF inDocument(at.x() + horizontalScrollBar()->value(), at.y() + verticalScrollBar()->value());
  int position = document()->documentLayout()->hitTest(inDocument, Qt::ExactHit);
  if (position >= 0) {
    QTextCursor between(document());
    between.setPosition(position);
    if (at.x() < cursorRect(between).left())
      --position; // the click was on the character before that place
  }
  QTextCursor cursor = textCursor();
  cursor.clearSelection();
  setTextCursor(cursor);
  if (clicked)
    guarded([&] { clicked(position, event->modifiers()); });
}

ContextView::ContextView(store::TDataSource &source, store::TTable &table, QWidget *owner)
    : QWidget(owner, Qt::Window), m_source(source), m_table(table), m_owner(owner) {
  setObjectName(QStringLiteral("ContextView"));
  setWindowTitle(QStringLiteral("Context"));
  setFont(TApplication::DefaultFont());
  createControls();
  createShortcuts();
  resize(560, 480);
  m_neighbours.setSingleShot(true);
  m_neighbours.setInterval(150);
  connect(&m_neighbours, &QTimer::timeout, this, [this] { guarded([this] { readNeighbours(); }); });
  m_source.addLink(this);
}

ContextView::~ContextView() {
  m_source.removeLink(this);
  hide();
}

void ContextView::dataEvent(store::DataEvent event, store::TField *) {
  // Every move, and a post, a cancel or an edit that read the record anew:
  // the record as it is now.
  if (event == store::DataEvent::DataSetScroll || event == store::DataEvent::DataSetChange ||
      event == store::DataEvent::RecordChange)
    follow();
}

TokenText *ContextView::newPage() {
  auto *page = new TokenText(m_pages);
  page->setObjectName(QStringLiteral("Text"));
  // The same width for every page, with or without a long text: a page
  // laid out before it shows needs no new layout when it does.
  page->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  page->clicked = [this](int position, Qt::KeyboardModifiers modifiers) { tokenClicked(position, modifiers); };
  // The spans' backgrounds follow the text as it scrolls.
  connect(page->verticalScrollBar(), &QScrollBar::valueChanged, this, [this, page] {
    if (page == m_text && m_shown && !m_following)
      paint();
  });
  m_pages->addWidget(page);
  return page;
}

void ContextView::createControls() {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  m_heading = new QLabel(this);
  m_heading->setObjectName(QStringLiteral("Heading"));
  m_heading->setWordWrap(true);
  m_heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_pages = new QStackedWidget(this);
  m_placeholder = newPage();
  m_text = m_placeholder;
  m_findBar = new QWidget(this);
  auto *bar = new QHBoxLayout(m_findBar);
  bar->setContentsMargins(0, 0, 0, 0);
  auto *label = new QLabel(QStringLiteral("Fi&nd:"), m_findBar);
  m_findText = new QLineEdit(m_findBar);
  m_findText->setObjectName(QStringLiteral("FindText"));
  label->setBuddy(m_findText);
  auto *next = new QPushButton(QStringLiteral("Next"), m_findBar);
  auto *previous = new QPushButton(QStringLiteral("Previous"), m_findBar);
  for (QPushButton *button : {next, previous})
    button->setAutoDefault(false);
  bar->addWidget(label);
  bar->addWidget(m_findText, 1);
  bar->addWidget(next);
  bar->addWidget(previous);
  m_findBar->hide();
  connect(m_findText, &QLineEdit::returnPressed, this, [this] {
    find(QApplication::keyboardModifiers().testFlag(Qt::ShiftModifier));
  });
  connect(next, &QPushButton::clicked, this, [this] { find(false); });
  connect(previous, &QPushButton::clicked, this, [this] { find(true); });
  m_message = new QLabel(this);
  m_message->setObjectName(QStringLiteral("Message"));
  m_message->setWordWrap(true);
  for (QLabel *label : {m_heading, m_message}) {
    // Room for two lines each, whatever they say (a label that wraps is
    // otherwise given the height of one), and never wider than the window:
    // a long text wraps, it does not widen the window.
    label->setMinimumHeight(2 * label->fontMetrics().lineSpacing() + 2);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  }
  layout->addWidget(m_heading);
  layout->addWidget(m_pages, 1);
  layout->addWidget(m_findBar);
  layout->addWidget(m_message);
}

void ContextView::createShortcuts() {
  auto *findKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
  connect(findKey, &QShortcut::activated, this, [this] {
    m_findBar->show();
    m_findText->setFocus(Qt::ShortcutFocusReason);
    m_findText->selectAll();
  });
  auto *again = new QShortcut(QKeySequence(Qt::Key_F3), this);
  connect(again, &QShortcut::activated, this, [this] { find(false); });
  auto *back = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
  connect(back, &QShortcut::activated, this, [this] { find(true); });
}

void ContextView::find(bool backward) {
  const QString wanted = m_findText->text();
  if (wanted.isEmpty())
    return;
  const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
  if (m_text->find(wanted, flags)) {
    m_message->setText(QString());
    return;
  }
  // Once more from the other end of the text.
  QTextCursor cursor = m_text->textCursor();
  cursor.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
  m_text->setTextCursor(cursor);
  if (m_text->find(wanted, flags))
    m_message->setText(QStringLiteral("Found again from the %1.").arg(backward ? QStringLiteral("end")
                                                                                : QStringLiteral("start")));
  else
    m_message->setText(QStringLiteral("“%1” is not in the text.").arg(wanted));
}

void ContextView::keyPressEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (m_findBar->isVisible() && m_findBar->isAncestorOf(focusWidget())) {
      m_findBar->hide();
      m_text->setFocus(Qt::OtherFocusReason);
      showHint();
    } else {
      closeView();
    }
    return;
  }
  QWidget::keyPressEvent(event);
}

void ContextView::closeEvent(QCloseEvent *event) {
  remember(false); // the close box
  QWidget::closeEvent(event);
}

void ContextView::showEvent(QShowEvent *event) {
  QWidget::showEvent(event);
  emit shownChanged(true);
}

void ContextView::hideEvent(QHideEvent *event) {
  QWidget::hideEvent(event);
  // Its place (the frame's top left) and size, for the next start.
  QSettings(settingsPath(), QSettings::IniFormat).setValue(kGeometryKey, QRect(pos(), size()));
  emit shownChanged(false);
}

void ContextView::remember(bool open) {
  QSettings settings(settingsPath(), QSettings::IniFormat);
  settings.setValue(kOpenKey, open);
}

bool ContextView::rememberedOpen() {
  QSettings settings(settingsPath(), QSettings::IniFormat);
  return settings.value(kOpenKey, false).toBool();
}

void ContextView::placeBesideOwner() {
  // Where the user left it when the program last ran, while that is on a
  // screen and clear of the main window (which opens where it opens); else
  // at its size, beside the main window.
  const QRect kept = QSettings(settingsPath(), QSettings::IniFormat).value(kGeometryKey).toRect();
  if (kept.isValid() && kept.width() >= 200 && kept.height() >= 150) {
    resize(kept.size());
    const QRect frame(kept.topLeft(), kept.size() + (m_owner ? m_owner->frameGeometry().size() - m_owner->size()
                                                             : QSize()));
    const QScreen *on = QGuiApplication::screenAt(frame.center());
    if (on && on->availableGeometry().contains(frame.center()) &&
        (!m_owner || !frame.intersects(m_owner->frameGeometry())))
      return move(kept.topLeft());
  }
  // Else beside the main window: on its right, else on its left, where the
  // screen has room, narrower down to a width that still reads when it
  // must; else the main window moves over so that both stand side by side
  // when the screen is wide enough (a window manager may not let it); else
  // over the window's right-hand side.
  const QRect frame = m_owner->frameGeometry();
  const QRect screen = m_owner->screen() ? m_owner->screen()->availableGeometry() : QRect();
  if (screen.isEmpty())
    return move(frame.topRight() + QPoint(5, 0));
  constexpr int kGap = 4, kNarrowest = 320;
  // The frame the window manager gives a window, as the main window's.
  const int frameExtra = frame.width() - m_owner->width();
  const int right = screen.right() - frame.right() - kGap - frameExtra;
  const int left = frame.left() - screen.left() - kGap - frameExtra;
  const int wanted = width();
  auto besideRight = [&](int w) {
    resize(w, height());
    move(frame.right() + 1 + kGap, frame.top());
  };
  auto besideLeft = [&](int w) {
    resize(w, height());
    move(frame.left() - kGap - frameExtra - w, frame.top());
  };
  if (right >= wanted)
    besideRight(wanted);
  else if (left >= wanted)
    besideLeft(wanted);
  else if (std::max(right, left) >= kNarrowest)
    right >= left ? besideRight(right) : besideLeft(left);
  else if (frame.width() + kGap + kNarrowest + frameExtra <= screen.width()) {
    const int w = std::min(wanted, screen.width() - frame.width() - kGap - frameExtra);
    const int shift = screen.right() + 1 - (frame.right() + 1 + kGap + w + frameExtra);
    m_owner->move(m_owner->pos() + QPoint(shift, 0));
    besideRight(w);
    move(frame.right() + 1 + shift + kGap, frame.top());
  } else {
    move(std::max(screen.left(), screen.right() + 1 - frameSize().width()), frame.top());
  }
}

void ContextView::open() {
  if (!isVisible() && !m_placed) {
    m_placed = true;
    placeBesideOwner();
  }
  remember(true);
  m_choicesTable.reset(); // another annotator may have made it meanwhile
  show();
  raise();
  layout()->activate(); // the text at its width before the first is laid out
  follow();
}

void ContextView::closeView() {
  remember(false);
  hide();
}

void ContextView::ownerClosing() { hide(); }

void ContextView::toggle() {
  if (isVisible()) {
    closeView();
  } else {
    open();
    activateWindow();
  }
}

QString ContextView::heading() const { return m_heading->text(); }

QString ContextView::message() const { return m_message->text(); }

void ContextView::warn(const QString &text) { m_message->setText(text); }

void ContextView::showHint() {
  // While tokens stand chosen, what they give; else how to choose them.
  m_message->setText(!m_shown ? QString() : anyChosen() ? m_choiceMessage : kHint);
}

std::optional<std::pair<int, int>> ContextView::tokenPlace(int token) const {
  if (!m_shown || token < 1 || static_cast<std::size_t>(token) >= m_shown->tokenStart.size())
    return std::nullopt;
  return std::pair(m_shown->tokenStart[static_cast<std::size_t>(token)],
                   m_shown->tokenEnd[static_cast<std::size_t>(token)]);
}

void ContextView::showPage(TokenText *page) {
  if (m_text == page)
    return;
  const bool focused = m_text->hasFocus();
  m_text->setExtraSelections({});
  m_text = page;
  m_pages->setCurrentWidget(page);
  if (focused)
    page->setFocus(Qt::OtherFocusReason);
}

void ContextView::showMessageOnly(const QString &heading, const QString &text) {
  m_shown = nullptr;
  showPage(m_placeholder);
  m_placeholder->setPlainText(text);
  m_heading->setText(heading);
  m_message->setText(QString());
}

void ContextView::follow() {
  if (!isVisible())
    return; // closed, a move costs nothing here
  if (!m_table.Active() || m_table.IsEmpty()) {
    forgetChoices();
    m_id = 0;
    return showMessageOnly(QString(), QStringLiteral("The table has no record."));
  }
  bool isNumber = false;
  const std::int64_t id = m_table.LookupField(QStringLiteral("Id")).AsString().toLongLong(&isNumber);
  if (id != m_id || !isNumber)
    forgetChoices();
  m_id = isNumber ? id : 0;
  corpus::Corpus corpus(m_table.QueryCursor());
  std::string sha256;
  std::vector<corpus::TokenChoice> choices;
  const engine::Result found = isNumber ? corpus.recordSource(id, m_record, sha256)
                                        : engine::Result(engine::code::RecordNotFound);
  const QString record = QStringLiteral("Record Id = %1").arg(m_table.LookupField(QStringLiteral("Id")).AsString());
  if (found != engine::code::Ok) {
    bool kept = false;
    if (found == engine::code::RecordNotFound || (corpus.exists(kept) == engine::code::Ok && !kept))
      return showMessageOnly(
          record, QStringLiteral("%1 came from no document kept with the table (imported from CSV, made by the demo or "
                                 "entered here), so there is no text around its spans to show. Records imported with "
                                 "vandro-admin import-rst show theirs.")
                      .arg(record));
    return showMessageOnly(record, QStringLiteral("The corpus kept with the table cannot be read:\n%1")
                                       .arg(store::engineError(found).message()));
  }
  QString why;
  Loaded *document = loaded(m_record.document, sha256, why);
  if (!document)
    return showMessageOnly(record, why);
  m_shown = document;
  showPage(document->text);

  // The other records near it, with their markers as they stand now, and
  // the tokens chosen for any of them.
  std::vector<corpus::RecordSource> sources;
  std::vector<engine::Record> records;
  long skipped = 0;
  if (!m_choicesTable) {
    bool exists = false;
    if (corpus.hasChoices(exists) == engine::code::Ok)
      m_choicesTable = exists;
  }
  if (corpus.sources(m_record.document, sources, records, &skipped, corpus::shownTokens(document->document, m_record)) !=
          engine::code::Ok ||
      (m_choicesTable.value_or(false) && corpus.choices(m_record.document, choices) != engine::code::Ok)) {
    sources.clear(); // the record is shown all the same, without them
    records.clear();
  }
  std::vector<corpus::NearbyRecord> nearby;
  for (std::size_t i = 0; i < sources.size() && i < records.size(); ++i) {
    const auto &values = records[i].values;
    if (values.size() <= corpus::column::Position2)
      continue;
    nearby.push_back({std::move(sources[i]),
                      {{{textOf(values[corpus::column::Marker1]), textOf(values[corpus::column::Position1])},
                        {textOf(values[corpus::column::Marker2]), textOf(values[corpus::column::Position2])}}}});
  }
  std::array<corpus::SpanMarker, 2> markers;
  for (int span = 0; span < 2; ++span) {
    const store::TField &marker = m_table.LookupField(span ? QStringLiteral("Marker2") : QStringLiteral("Marker1"));
    const store::TField &position =
        m_table.LookupField(span ? QStringLiteral("Position2") : QStringLiteral("Position1"));
    if (!marker.IsNull())
      markers[static_cast<std::size_t>(span)].marker = marker.AsString();
    if (!position.IsNull())
      markers[static_cast<std::size_t>(span)].position = position.AsString();
  }
  m_context = corpus::recordContext(document->document, m_record,
                                    m_table.LookupField(QStringLiteral("Relation")).AsString(),
                                    m_table.LookupField(QStringLiteral("Order")).AsString(), markers, nearby, choices);
  m_heading->setText(m_context.heading);
  showHint();
  m_following = true; // painted once, after the scroll
  scrollToRecord();
  m_following = false;
  paint();
  m_neighbours.start();
}

ContextView::Loaded *ContextView::loaded(const std::string &name, const std::string &sha256, QString &why) {
  const auto kept = m_documents.find(name);
  if (kept != m_documents.end() && (sha256.empty() || kept->second->sha256 == sha256)) {
    kept->second->used = ++m_uses;
    return kept->second.get();
  }
  corpus::Corpus corpus(m_table.QueryCursor());
  corpus::CorpusDocument stored;
  if (const engine::Result read = corpus.document(name, stored); read != engine::code::Ok) {
    why = QStringLiteral("The document %1 kept with the table cannot be read:\n%2")
              .arg(QString::fromStdString(name), store::engineError(read).message());
    return nullptr;
  }
  if (corpus::Corpus::sha256(stored.content) != stored.sha256 || (!sha256.empty() && stored.sha256 != sha256)) {
    why = QStringLiteral("The document %1 kept with the table no longer has the bytes it was imported with "
                         "(vandro-admin check), so its tokens cannot be trusted to be the records' own.")
              .arg(QString::fromStdString(name));
    return nullptr;
  }
  const QByteArray bytes(reinterpret_cast<const char *>(stored.content.data()),
                         static_cast<qsizetype>(stored.content.size()));
  auto document = rst::readRstDocument(QString::fromStdString(stored.file), bytes);
  if (!document) {
    why = QStringLiteral("The document %1 kept with the table does not read: %2")
              .arg(QString::fromStdString(name), document.error());
    return nullptr;
  }
  // The least recently shown goes when too many are kept; never the one
  // shown, nor one read anew under the same name.
  auto forget = [&](std::map<std::string, std::unique_ptr<Loaded>>::iterator it) {
    if (it->second.get() == m_shown) {
      m_shown = nullptr;
      showPage(m_placeholder);
    }
    m_pages->removeWidget(it->second->text);
    delete it->second->text;
    m_documents.erase(it);
  };
  if (kept != m_documents.end())
    forget(kept);
  if (m_documents.size() >= kKeptDocuments) {
    auto oldest = m_documents.end();
    for (auto it = m_documents.begin(); it != m_documents.end(); ++it)
      if (it->second.get() != m_shown && (oldest == m_documents.end() || it->second->used < oldest->second->used))
        oldest = it;
    if (oldest != m_documents.end())
      forget(oldest);
  }
  auto laid = layOut(std::move(document).value());
  laid->sha256 = stored.sha256;
  laid->used = ++m_uses;
  Loaded *result = laid.get();
  m_documents[name] = std::move(laid);
  return result;
}

std::unique_ptr<ContextView::Loaded> ContextView::layOut(rst::RstDocument document) {
  auto laid = std::make_unique<Loaded>();
  laid->document = std::move(document);
  const rst::RstDocument &d = laid->document;
  laid->text = newPage();
  // Polished and of the shown page's size before the text goes in: the
  // polish of a page's first showing would otherwise lay the text out anew.
  laid->text->ensurePolished();
  laid->text->setGeometry(m_text->geometry());
  // The resize a hidden page keeps for its first showing is taken now,
  // while it holds no text: taken then, it would lay the whole text out
  // anew at the move that shows it.
  QResizeEvent resized(laid->text->size(), QSize());
  QCoreApplication::sendEvent(laid->text, &resized);
  laid->text->setAttribute(Qt::WA_PendingResizeEvent, false);
  QTextDocument *text = laid->text->document();
  text->setUndoRedoEnabled(false);
  laid->tokenStart.assign(d.tokens.size(), 0);
  laid->tokenEnd.assign(d.tokens.size(), 0);
  // One paragraph a segment: its number, faint, then its tokens.
  QTextCharFormat numberFormat;
  numberFormat.setForeground(kFaint);
  const QTextCharFormat plain;
  QTextCursor cursor(text);
  cursor.beginEditBlock();
  for (std::size_t segment = 1; segment < d.firstToken.size() && segment <= d.segmentTexts.size(); ++segment) {
    if (segment > 1)
      cursor.insertBlock();
    cursor.insertText(QString::number(segment) + QStringLiteral("  "), numberFormat);
    QString words;
    const int start = cursor.position();
    for (int token = d.firstToken[segment]; token <= d.lastToken[segment]; ++token) {
      if (token < 1 || static_cast<std::size_t>(token) >= d.tokens.size())
        continue;
      if (!words.isEmpty())
        words += QLatin1Char(' ');
      laid->tokenStart[static_cast<std::size_t>(token)] = start + static_cast<int>(words.size());
      words += d.tokens[static_cast<std::size_t>(token)];
      laid->tokenEnd[static_cast<std::size_t>(token)] = start + static_cast<int>(words.size());
    }
    cursor.insertText(words, plain);
  }
  cursor.endEditBlock();
  // Laid out whole now, once, at the width of the page shown: left to
  // itself the text lays out a piece at a time while the window is idle,
  // and the moves that follow would pay for it.
  text->setTextWidth(m_text->viewport()->width());
  (void)text->documentLayout()->documentSize();
  return laid;
}

void ContextView::readNeighbours() {
  if (!isVisible() || !m_shown || !m_table.Active())
    return;
  corpus::Corpus corpus(m_table.QueryCursor());
  for (const bool after : {true, false}) {
    std::optional<std::string> name;
    QString why;
    if (corpus.documentBeside(m_record.id, m_record.document, after, name) == engine::code::Ok && name &&
        !m_documents.count(*name))
      if (Loaded *read = loaded(*name, {}, why)) { // what fails here is said when the user gets there
        // Drawn once where nobody sees it: a page's first drawing costs more
        // than any later one, and is paid now rather than by the move.
        QPixmap unseen(read->text->size());
        read->text->render(&unseen);
      }
  }
}
void ContextView::paint() {
  if (!m_shown)
    return;
  QTextDocument *document = m_shown->text->document();
  const rst::RstDocument &d = m_shown->document;
  const int count = static_cast<int>(d.tokens.size()) - 1;
  QList<QTextEdit::ExtraSelection> selections;
  auto place = [&](int token) { return std::pair(m_shown->tokenStart[token], m_shown->tokenEnd[token]); };
  // A token shows one kind of mark, the strongest it has: chosen now, then
  // owned by the record, then another signal's (overlapping marks of one
  // token would be drawn over one another).
  std::set<int> marked;
  auto eachToken = [&](const std::vector<int> &tokens, const QTextCharFormat &format) {
    for (int token : tokens)
      if (token >= 1 && token <= count && marked.insert(token).second)
        selections << selection(document, place(token).first, place(token).second, format);
  };
  // Each span's background, a segment at a time (the segment numbers stay
  // clear of it), in the segments in view and a few around them only: a
  // span of a hundred segments costs no more than one that fills the view.
  const int segmentCount = static_cast<int>(d.segmentTexts.size());
  const int top = m_text->cursorForPosition(QPoint(0, 0)).blockNumber() + 1;
  const int bottom = m_text->cursorForPosition(QPoint(0, m_text->viewport()->height())).blockNumber() + 1;
  const int fromSegment = std::max(1, top - kSegmentsAroundView);
  const int toSegment = std::min(segmentCount, bottom + kSegmentsAroundView);
  for (int span = 1; span <= 2; ++span) {
    QTextCharFormat format;
    format.setBackground(kSpanBackground[span - 1]);
    int first = std::max(1, m_context.spans.first(span));
    int last = std::min(count, m_context.spans.last(span));
    if (segmentCount > 0) {
      first = std::max(first, d.firstToken[static_cast<std::size_t>(fromSegment)]);
      last = std::min(last, d.lastToken[static_cast<std::size_t>(toSegment)]);
    }
    for (int token = first; token <= last;) {
      const int segment = corpus::segmentOf(d, token);
      const int end = std::min(last, d.lastToken[static_cast<std::size_t>(segment)]);
      selections << selection(document, place(token).first, place(std::max(token, end)).second, format);
      token = std::max(token, end) + 1;
    }
  }
  for (int span = 0; span < 2; ++span) {
    QTextCharFormat chosen;
    chosen.setBackground(kChosenBackground[span]);
    chosen.setForeground(Qt::black);
    for (const std::vector<int> &tokens : m_chosen[static_cast<std::size_t>(span)])
      eachToken(tokens, chosen);
  }
  // Each signal the record owns underlined, one solid and the next dashed,
  // so that two signals side by side ("and + then") read as two.
  QTextCharFormat owned[2];
  for (int kind = 0; kind < 2; ++kind) {
    owned[kind].setUnderlineStyle(kind ? QTextCharFormat::DashUnderline : QTextCharFormat::SingleUnderline);
    owned[kind].setUnderlineColor(Qt::black);
    owned[kind].setForeground(Qt::black);
  }
  for (const auto &span : m_context.owned)
    for (std::size_t signal = 0; signal < span.size(); ++signal)
      eachToken(span[signal], owned[signal % 2]);
  QTextCharFormat faint;
  faint.setForeground(kFaint);
  faint.setUnderlineStyle(QTextCharFormat::DotLine);
  faint.setUnderlineColor(kFaint);
  for (const std::vector<int> &tokens : m_context.others)
    eachToken(tokens, faint);
  m_text->setExtraSelections(selections);
}

void ContextView::scrollToRecord() {
  if (!m_shown || m_context.showFirst < 1)
    return;
  QTextDocument *document = m_shown->text->document();
  QAbstractTextDocumentLayout *layout = document->documentLayout();
  const QRectF first = layout->blockBoundingRect(document->findBlockByNumber(m_context.showFirst - 1));
  const QRectF last = layout->blockBoundingRect(document->findBlockByNumber(m_context.showLast - 1));
  QScrollBar *bar = m_text->verticalScrollBar();
  const int height = m_text->viewport()->height();
  // Left where it is while the record and the segments around it are in
  // view, so that stepping through near records keeps the text still.
  if (first.top() >= bar->value() && last.bottom() <= bar->value() + height)
    return;
  bar->setValue(static_cast<int>(first.top()));
}

int ContextView::tokenAt(int position) const {
  if (!m_shown || position < 0)
    return 0;
  const auto &starts = m_shown->tokenStart;
  const auto after = std::upper_bound(starts.begin() + 1, starts.end(), position);
  const int token = static_cast<int>(after - starts.begin()) - 1;
  if (token < 1 || position >= m_shown->tokenEnd[static_cast<std::size_t>(token)])
    return 0;
  return token;
}

void ContextView::tokenClicked(int position, Qt::KeyboardModifiers modifiers) {
  const int token = tokenAt(position);
  if (!token)
    return;
  const rst::RecordSpans &spans = m_context.spans;
  const int span = token >= spans.first1 && token <= spans.last1   ? 1
                   : token >= spans.first2 && token <= spans.last2 ? 2
                                                                   : 0;
  if (!span) {
    m_message->setText(QStringLiteral("“%1” (token %2, segment %3) is in neither span: only the tokens of span 1 and "
                                      "span 2 can be a marker of this record.")
                           .arg(m_shown->document.tokens[static_cast<std::size_t>(token)])
                           .arg(token)
                           .arg(corpus::segmentOf(m_shown->document, token)));
    return;
  }
  chooseToken(span, token, modifiers);
}

void ContextView::chooseToken(int span, int token, Qt::KeyboardModifiers modifiers) {
  auto &chosen = m_chosen[static_cast<std::size_t>(span - 1)];
  int &anchor = m_anchor[static_cast<std::size_t>(span - 1)];
  std::vector<int> &base = m_base[static_cast<std::size_t>(span - 1)];
  const bool control = modifiers & Qt::ControlModifier, shift = modifiers & Qt::ShiftModifier;
  std::vector<int> added;
  if (control && shift) { // a second signal
    chosen.push_back({token});
    added = {token};
  } else if (shift && !chosen.empty()) {
    // The signal as it was at the last click, and the tokens from that
    // click's to here: "either ... or" and Shift+click on the next word
    // gives "either ... or without".
    std::vector<int> signal = base;
    for (int t = std::min(anchor, token); t <= std::max(anchor, token); ++t)
      if (std::find(signal.begin(), signal.end(), t) == signal.end()) {
        signal.push_back(t);
        added.push_back(t);
      }
    chosen.back() = signal;
  } else if (control && !chosen.empty()) { // a token apart, in or out
    auto &signal = chosen.back();
    if (const auto at = std::find(signal.begin(), signal.end(), token); at != signal.end()) {
      signal.erase(at);
    } else {
      signal.push_back(token);
      added = {token};
    }
  } else if (chosen.size() == 1 && chosen.front() == std::vector<int>{token}) {
    chosen.clear(); // the one token chosen again: taken back
  } else {
    chosen = {{token}};
  }
  if (!shift || control) {
    anchor = token;
    base = chosen.empty() ? std::vector<int>{} : chosen.back();
    std::erase(base, token);
  }
  // A token belongs to one signal: the one it was just given to.
  for (std::size_t s = 0; s + 1 < chosen.size(); ++s)
    std::erase_if(chosen[s], [&](int t) { return std::find(added.begin(), added.end(), t) != added.end(); });
  std::erase_if(chosen, [](const std::vector<int> &signal) { return signal.empty(); });

  const auto marker = rst::chosenMarker(m_shown->document, chosen, m_context.spans.first(span),
                                        m_context.spans.last(span));
  m_chosenMarker[static_cast<std::size_t>(span - 1)] = marker ? marker->marker : QString();
  paint();
  if (marker) {
    QStringList tokens;
    for (const auto &signal : marker->parts)
      tokens << tokenList(signal);
    const bool one = marker->parts.size() == 1 && marker->parts.front().size() == 1;
    m_choiceMessage = QStringLiteral("Span %1: “%2” at %3 (%4 %5). Insert stores it.")
                          .arg(span)
                          .arg(marker->marker, marker->position,
                               one ? QStringLiteral("token") : QStringLiteral("tokens"),
                               tokens.join(QStringLiteral(" + ")));
    m_chosenPosition[static_cast<std::size_t>(span - 1)] = marker->position;
  } else {
    m_choiceMessage = QStringLiteral("Span %1: no token chosen.").arg(span);
  }
  m_message->setText(m_choiceMessage);
  emit markerChosen(span, marker ? marker->marker : QString(), marker ? marker->position : QString());
}

std::optional<corpus::TokenChoice> ContextView::choiceFor(int span, const QString &marker) const {
  const std::size_t s = static_cast<std::size_t>(span - 1);
  if (!m_shown || span < 1 || span > 2 || m_chosen[s].empty() || m_chosenMarker[s].isEmpty() ||
      QString::fromStdString(corpus::canonicalMarker(marker.toStdString())) != m_chosenMarker[s])
    return std::nullopt;
  const auto chosen = rst::chosenMarker(m_shown->document, m_chosen[s], m_context.spans.first(span),
                                        m_context.spans.last(span));
  if (!chosen)
    return std::nullopt;
  return corpus::TokenChoice{m_id, span, chosen->marker.toStdString(), chosen->parts};
}

void ContextView::positionTyped(int span, const QString &position) {
  const std::size_t s = static_cast<std::size_t>(span - 1);
  if (m_chosen[s].empty())
    return;
  if (position == m_chosenPosition[s])
    return showHint();
  m_message->setText(QStringLiteral("Span %1: the tokens chosen stand at %2, not at %3: the corpus reads them at %2.")
                         .arg(span)
                         .arg(m_chosenPosition[s], position.isEmpty() ? QStringLiteral("no position") : position));
}

void ContextView::markerTyped(int span, const QString &marker) {
  const std::size_t s = static_cast<std::size_t>(span - 1);
  if (m_chosen[s].empty() || QString::fromStdString(corpus::canonicalMarker(marker.toStdString())) == m_chosenMarker[s])
    return;
  m_chosen[s].clear();
  m_chosenMarker[s].clear();
  paint();
  showHint();
}

bool ContextView::anyChosen() const {
  return std::any_of(m_chosen.begin(), m_chosen.end(), [](const auto &span) { return !span.empty(); });
}

bool ContextView::forgetChoices() {
  const bool any = anyChosen();
  for (auto &chosen : m_chosen)
    chosen.clear();
  for (QString &marker : m_chosenMarker)
    marker.clear();
  return any;
}

} // namespace vandro
