// The context view: a second window that shows the current record in the
// document it came from, as the corpus kept with the table holds it, and
// lets the user choose a span's marker by clicking its tokens.
#pragma once

#include "corpus/RecordContext.h"
#include "store/TDataLink.h"
#include "store/TTable.h"

#include <QTimer>
#include <QTextEdit>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QStackedWidget;
class QTextDocument;

namespace vandro {

namespace store {
class TDataSource;
}

// The document's text: read-only, selectable and copyable; a click that
// is no drag chooses the token under it.
class TokenText : public QTextEdit {
  Q_OBJECT
public:
  explicit TokenText(QWidget *parent);
  // A click on the document's character `position` (-1 beside the text).
  std::function<void(int position, Qt::KeyboardModifiers modifiers)> clicked;

protected:
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
  QPoint m_pressed;
  bool m_doubleClicked = false;
};

class ContextView : public QWidget, private store::TDataLink {
  Q_OBJECT
public:
  // Over the table of `source`, beside the window `owner`.
  ContextView(store::TDataSource &source, store::TTable &table, QWidget *owner);
  ~ContextView() override;

  // Shows the view beside its owner (placed there the first time, or
  // where the user left it when the program last ran) with the current
  // record; remembered open.
  void open();
  // Closes it, remembered closed.
  void closeView();
  // F2: opens or closes it.
  void toggle();
  // The main window closes: the view goes with it, remembered as it is,
  // and where it stands.
  void ownerClosing();
  // Whether the user left the view open when the program last ran.
  static bool rememberedOpen();

  // Shows the table's current record, when the view is shown (it follows
  // every move, post and cancel of the table itself); a record of another
  // document reads that document once. Never raises: what fails is said in
  // the view.
  void follow();

  // The tokens the user chose for span `span` (1 or 2) of the record shown,
  // when they give the marker `marker` (as the notation writes it).
  std::optional<corpus::TokenChoice> choiceFor(int span, const QString &marker) const;
  // The marker box of span `span` now holds `marker`: tokens chosen for
  // another marker are no longer the box's.
  void markerTyped(int span, const QString &marker);
  // The position box of span `span` now holds `position`: said when it is
  // not where the tokens chosen stand.
  void positionTyped(int span, const QString &position);
  // A word for the user below the text (a marker too long for its field).
  void warn(const QString &text);
  // Forgets the tokens chosen: stored, or dropped. Whether there were any.
  bool forgetChoices();
  // Tokens chosen were kept with a record: the table of choices exists.
  void choicesKept() { m_choicesTable = true; }

  // What the view shows, for the tests: the line above the text, the text,
  // the message below.
  QString heading() const;
  QString message() const;
  TokenText *text() const { return m_text; }
  // The character positions of token `token` of the document shown: [start,
  // end); nothing for a token it does not have.
  std::optional<std::pair<int, int>> tokenPlace(int token) const;

signals:
  // The user chose tokens giving `marker` at `position` for span `span`;
  // an empty marker when the choice was taken back.
  void markerChosen(int span, const QString &marker, const QString &position);
  // Shown or hidden, for the menu entry's check mark.
  void shownChanged(bool shown);

protected:
  void keyPressEvent(QKeyEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  void showEvent(QShowEvent *event) override;
  void hideEvent(QHideEvent *event) override;

private:
  // A kept document, read once and laid out as text in a text box of its
  // own, so that coming back to it costs no new layout.
  struct Loaded {
    std::string sha256;
    rst::RstDocument document;
    TokenText *text = nullptr;             // a page of m_pages
    std::vector<int> tokenStart, tokenEnd; // by token number: its characters
    unsigned long used = 0;
  };

  // A post, a cancel or an edit read the record anew: shown as it is now.
  void dataEvent(store::DataEvent event, store::TField *field) override;

  void createControls();
  void createShortcuts();
  void placeBesideOwner();
  TokenText *newPage();
  // The document `name` whose bytes have the digest `sha256`: from the
  // ones read before, else read now. Null with `why` when it cannot be.
  Loaded *loaded(const std::string &name, const std::string &sha256, QString &why);
  std::unique_ptr<Loaded> layOut(rst::RstDocument document);
  void showPage(TokenText *page);
  void showMessageOnly(const QString &heading, const QString &text);
  void showHint();
  // Whether tokens stand chosen in either span.
  bool anyChosen() const;
  void paint();
  void scrollToRecord();
  // Reads the documents of the records just before and after the shown
  // document's, once the moves pause: moving on into them then costs no
  // reading.
  void readNeighbours();
  void tokenClicked(int position, Qt::KeyboardModifiers modifiers);
  int tokenAt(int position) const;
  void chooseToken(int span, int token, Qt::KeyboardModifiers modifiers);
  void find(bool backward);
  static void remember(bool open);

  store::TDataSource &m_source;
  store::TTable &m_table;
  QWidget *m_owner;
  QLabel *m_heading = nullptr;
  QStackedWidget *m_pages = nullptr;
  TokenText *m_placeholder = nullptr; // the page of messages
  TokenText *m_text = nullptr;        // the page shown
  QWidget *m_findBar = nullptr;
  QLineEdit *m_findText = nullptr;
  QLabel *m_message = nullptr;
  std::map<std::string, std::unique_ptr<Loaded>> m_documents;
  unsigned long m_uses = 0;
  Loaded *m_shown = nullptr; // the document shown, if any
  corpus::RecordSource m_record;
  corpus::RecordContext m_context;
  std::int64_t m_id = 0;
  // By span: the signals chosen (tokens each, the last being extended), the
  // token the last click chose, the tokens the signal had then (which a
  // Shift+click keeps), and the marker they gave.
  std::array<std::vector<std::vector<int>>, 2> m_chosen;
  std::array<int, 2> m_anchor{};
  std::array<std::vector<int>, 2> m_base;
  std::array<QString, 2> m_chosenMarker, m_chosenPosition;
  QString m_choiceMessage; // what the last choice gave
  bool m_placed = false;
  bool m_following = false; // a record is being shown
  // Whether the table of token choices exists, asked once each time the
  // view opens (not at every move).
  std::optional<bool> m_choicesTable;
  QTimer m_neighbours;
};

} // namespace vandro
