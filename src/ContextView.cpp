#include "ContextView.h"

#include "corpus/MarkerNotation.h"
#include "shell/TApplication.h"
#include "store/EngineCheck.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

namespace vandro {

namespace {

// Two backgrounds that people with any common colour blindness tell apart
// (sky blue and orange), pale for a span and full for the tokens chosen.
const QColor kSpanBackground[2] = {QColor(0xCC, 0xE4, 0xF7), QColor(0xFB, 0xE3, 0xB0)};
const QColor kChosenBackground[2] = {QColor(0x56, 0xB4, 0xE9), QColor(0xE6, 0x9F, 0x00)};
const QColor kFaint(0x80, 0x80, 0x80);

// How many documents the view keeps read.
constexpr std::size_t kKeptDocuments = 8;

// The user's own settings of the window, whatever engine configuration the
// program runs on: ${XDG_CONFIG_HOME:-~/.config}/vandro/window.conf.
QString settingsPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/vandro/window.conf");
}

const QString kOpenKey = QStringLiteral("ContextView/Open");

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
  return list.join(QLatin1Char(','));
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

void TokenText::mouseReleaseEvent(QMouseEvent *event) {
  QTextEdit::mouseReleaseEvent(event);
  const QPoint at = event->position().toPoint();
  if (event->button() != Qt::LeftButton || (at - m_pressed).manhattanLength() >= QApplication::startDragDistance())
    return; // a drag selects text to copy
  // The character under the pointer, not the nearest one: a click beside
  // the words chooses nothing.
  const QPointF inDocument(at.x() + horizontalScrollBar()->value(), at.y() + verticalScrollBar()->value());
  const int position = document()->documentLayout()->hitTest(inDocument, Qt::ExactHit);
  QTextCursor cursor = textCursor();
  cursor.clearSelection();
  setTextCursor(cursor);
  if (clicked)
    guarded([&] { clicked(position, event->modifiers()); });
}

ContextView::ContextView(store::TTable &table, QWidget *owner)
    : QWidget(owner, Qt::Window), m_table(table), m_owner(owner) {
  setObjectName(QStringLiteral("ContextView"));
  setWindowTitle(QStringLiteral("Context"));
  setFont(TApplication::DefaultFont());
  createControls();
  createShortcuts();
  resize(560, 480);
}

ContextView::~ContextView() {
  // The text box lets go of the documents kept before they go.
  hide();
  m_text->setDocument(m_placeholder);
}

void ContextView::createControls() {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  m_heading = new QLabel(this);
  m_heading->setObjectName(QStringLiteral("Heading"));
  m_heading->setWordWrap(true);
  m_heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_text = new TokenText(this);
  m_text->setObjectName(QStringLiteral("Text"));
  m_placeholder = new QTextDocument(m_text);
  m_text->setDocument(m_placeholder);
  m_text->clicked = [this](int position, Qt::KeyboardModifiers modifiers) { tokenClicked(position, modifiers); };
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
  // Room for two lines each, whatever they say: a label that wraps is
  // otherwise given the height of one.
  for (QLabel *label : {m_heading, m_message})
    label->setMinimumHeight(2 * label->fontMetrics().lineSpacing() + 2);
  layout->addWidget(m_heading);
  layout->addWidget(m_text, 1);
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

void ContextView::remember(bool open) {
  QSettings settings(settingsPath(), QSettings::IniFormat);
  settings.setValue(kOpenKey, open);
}

bool ContextView::rememberedOpen() {
  QSettings settings(settingsPath(), QSettings::IniFormat);
  return settings.value(kOpenKey, false).toBool();
}

void ContextView::open() {
  if (!isVisible() && !m_placed && m_owner) {
    // The first time beside the main window, where the screen has room,
    // else over its right-hand side; afterwards where the user left it.
    m_placed = true;
    const QRect frame = m_owner->frameGeometry();
    const QRect screen = m_owner->screen() ? m_owner->screen()->availableGeometry() : QRect();
    const QPoint beside = frame.topRight() + QPoint(4, 0);
    // Narrower where the screen leaves less room beside the window, down
    // to a width that still reads; else over the window's right-hand side.
    constexpr int kNarrowest = 400;
    const int frameExtra = frameSize().width() - width();
    const int room = screen.right() + 1 - beside.x() - frameExtra;
    if (!screen.isEmpty() && room < width() && room >= kNarrowest)
      resize(room, height());
    if (screen.isEmpty() || screen.contains(QRect(beside, frameSize())))
      move(beside);
    else
      move(std::max(screen.left(), screen.right() + 1 - frameSize().width()), frame.top());
  }
  remember(true);
  m_choicesTable.reset(); // another annotator may have made it meanwhile
  show();
  raise();
  follow();
}

void ContextView::closeView() {
  remember(false);
  hide();
}

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

std::optional<std::pair<int, int>> ContextView::tokenPlace(int token) const {
  if (!m_shown || token < 1 || static_cast<std::size_t>(token) >= m_shown->tokenStart.size())
    return std::nullopt;
  return std::pair(m_shown->tokenStart[static_cast<std::size_t>(token)],
                   m_shown->tokenEnd[static_cast<std::size_t>(token)]);
}

void ContextView::showMessageOnly(const QString &heading, const QString &text) {
  m_shown = nullptr;
  m_text->setExtraSelections({});
  m_text->setDocument(m_placeholder);
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
  if (!m_choicesTable) {
    bool exists = false;
    if (corpus.hasChoices(exists) == engine::code::Ok)
      m_choicesTable = exists;
  }
  const engine::Result found = isNumber
                                   ? corpus.recordSource(id, m_source, sha256, choices, m_choicesTable.value_or(false))
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
  Loaded *document = loaded(m_source.document, sha256, why);
  if (!document)
    return showMessageOnly(record, why);
  if (m_shown != document) {
    m_shown = document;
    m_text->setExtraSelections({});
    m_text->setDocument(document->text.get());
    // Laid out whole now, once: left to itself the text lays out a piece
    // at a time while the window is idle, and the moves that follow would
    // pay for it.
    (void)document->text->documentLayout()->documentSize();
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
  m_context = corpus::recordContext(document->document, m_source,
                                    m_table.LookupField(QStringLiteral("Relation")).AsString(), markers, choices);
  m_heading->setText(m_context.heading);
  m_message->setText(QStringLiteral("Click a token of span 1 or span 2 to make it the marker; Shift+click reaches "
                                    "further, Ctrl+click adds a token apart, Ctrl+Shift+click starts a second signal."));
  paint();
  scrollToRecord();
}

ContextView::Loaded *ContextView::loaded(const std::string &name, const std::string &sha256, QString &why) {
  const auto kept = m_documents.find(name);
  if (kept != m_documents.end() && kept->second->sha256 == sha256) {
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
  if (corpus::Corpus::sha256(stored.content) != stored.sha256) {
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
  // The least recently shown goes when too many are kept; never the one shown.
  if (m_documents.size() >= kKeptDocuments) {
    auto oldest = m_documents.end();
    for (auto it = m_documents.begin(); it != m_documents.end(); ++it)
      if (it->second.get() != m_shown && (oldest == m_documents.end() || it->second->used < oldest->second->used))
        oldest = it;
    if (oldest != m_documents.end())
      m_documents.erase(oldest);
  }
  if (kept != m_documents.end() && kept->second.get() == m_shown) {
    m_shown = nullptr;
    m_text->setDocument(m_placeholder);
  }
  stored.sha256 = sha256;
  auto laid = layOut(std::move(stored), std::move(document).value());
  laid->used = ++m_uses;
  Loaded *result = laid.get();
  m_documents[name] = std::move(laid);
  return result;
}

std::unique_ptr<ContextView::Loaded> ContextView::layOut(corpus::CorpusDocument stored, rst::RstDocument document) {
  auto laid = std::make_unique<Loaded>();
  laid->sha256 = stored.sha256;
  laid->stored = std::move(stored);
  laid->stored.content = {}; // the parsed document is what is kept
  laid->document = std::move(document);
  const rst::RstDocument &d = laid->document;
  laid->text = std::make_unique<QTextDocument>();
  laid->text->setUndoRedoEnabled(false);
  laid->tokenStart.assign(d.tokens.size(), 0);
  laid->tokenEnd.assign(d.tokens.size(), 0);
  laid->segmentStart.assign(d.segmentTexts.size() + 1, 0);
  // One paragraph a segment: its number, faint, then its tokens.
  QTextCharFormat numberFormat;
  numberFormat.setForeground(kFaint);
  const QTextCharFormat plain;
  QTextCursor cursor(laid->text.get());
  for (std::size_t segment = 1; segment < d.firstToken.size() && segment <= d.segmentTexts.size(); ++segment) {
    if (segment > 1)
      cursor.insertBlock();
    laid->segmentStart[segment] = cursor.position();
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
  return laid;
}

void ContextView::paint() {
  if (!m_shown)
    return;
  QTextDocument *document = m_shown->text.get();
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
  // clear of it).
  for (int span = 1; span <= 2; ++span) {
    QTextCharFormat format;
    format.setBackground(kSpanBackground[span - 1]);
    const int first = std::max(1, m_context.spans.first(span)), last = std::min(count, m_context.spans.last(span));
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
  QTextCharFormat owned;
  owned.setUnderlineStyle(QTextCharFormat::SingleUnderline);
  owned.setUnderlineColor(Qt::black);
  owned.setForeground(Qt::black);
  for (const auto &span : m_context.owned)
    for (const std::vector<int> &tokens : span)
      eachToken(tokens, owned);
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
  QTextDocument *document = m_shown->text.get();
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
  if (token < 1 || position > m_shown->tokenEnd[static_cast<std::size_t>(token)])
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
  const bool control = modifiers & Qt::ControlModifier, shift = modifiers & Qt::ShiftModifier;
  std::vector<int> added;
  if (control && shift) { // a second signal
    chosen.push_back({token});
    added = {token};
    anchor = token;
  } else if (shift && !chosen.empty()) { // the signal reaches from the anchor to here
    std::vector<int> range;
    for (int t = std::min(anchor, token); t <= std::max(anchor, token); ++t)
      range.push_back(t);
    chosen.back() = range;
    added = range;
  } else if (control && !chosen.empty()) { // a token apart, in or out
    auto &signal = chosen.back();
    if (const auto at = std::find(signal.begin(), signal.end(), token); at != signal.end()) {
      signal.erase(at);
    } else {
      signal.push_back(token);
      added = {token};
    }
    anchor = token;
  } else if (chosen.size() == 1 && chosen.front() == std::vector<int>{token}) {
    chosen.clear(); // the one token chosen again: taken back
  } else {
    chosen = {{token}};
    anchor = token;
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
    m_message->setText(QStringLiteral("Span %1: “%2” at %3 (%4 %5). Insert stores it.")
                           .arg(span)
                           .arg(marker->marker, marker->position,
                                one ? QStringLiteral("token") : QStringLiteral("tokens"),
                                tokens.join(QStringLiteral(" + "))));
  } else {
    m_message->setText(QStringLiteral("Span %1: no token chosen.").arg(span));
  }
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

void ContextView::markerTyped(int span, const QString &marker) {
  const std::size_t s = static_cast<std::size_t>(span - 1);
  if (m_chosen[s].empty() || QString::fromStdString(corpus::canonicalMarker(marker.toStdString())) == m_chosenMarker[s])
    return;
  m_chosen[s].clear();
  m_chosenMarker[s].clear();
  paint();
}

void ContextView::forgetChoices() {
  for (auto &chosen : m_chosen)
    chosen.clear();
  for (QString &marker : m_chosenMarker)
    marker.clear();
}

} // namespace vandro
