// TMainForm: the main window, its components and the program's handlers.
#pragma once

#include "store/MarkerTexts.h"
#include "store/TDataSource.h"
#include "store/TTable.h"

#include <QWidget>
#include <array>
#include <memory>
#include <optional>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vandro::controls {
class ArrowFocus;
class TComboBox;
class TDBEdit;
class TDBMemo;
class TDBNavigator;
class TEdit;
} // namespace vandro::controls

namespace vandro {

class ContextView;
class FindDialog;

class TMainForm : public QWidget {
  Q_OBJECT
public:
  // Creates the window's components, then opens Table1 as loading ends.
  // Raises the failure when the table cannot be opened.
  explicit TMainForm(QWidget *parent = nullptr);
  ~TMainForm() override;

  store::TTable *Table1() const { return m_table.get(); }
  store::TDataSource *DataSource1() const { return m_dataSource.get(); }

  // The window's controls, by the names the handlers use.
  controls::TEdit *Edit1 = nullptr;
  controls::TEdit *Edit2 = nullptr;
  controls::TComboBox *ComboBox1 = nullptr;
  controls::TComboBox *ComboBox2 = nullptr;
  controls::TComboBox *ComboBox3 = nullptr;
  QRadioButton *RadioButton1 = nullptr;
  QRadioButton *RadioButton2 = nullptr;
  QPushButton *Button1 = nullptr;
  QPushButton *Button2 = nullptr;
  QPushButton *Button3 = nullptr;
  QGroupBox *GroupBox1 = nullptr;
  controls::TDBNavigator *DBNavigator1 = nullptr;
  controls::TDBNavigator *DBNavigator2 = nullptr;

  // How the relation search walks the table; the record-by-record walk is
  // kept for fields that do not compare byte for byte.
  store::SearchMeans searchMeans = store::SearchMeans::EngineWhereExact;

  // The handlers.
  void Button1Click(QObject *sender);
  void Button2Click(QObject *sender);
  void Button3Click(QObject *sender);
  void Edit1Change(QObject *sender);
  void Edit2Change(QObject *sender);
  void Table1AfterScroll(store::TTable &dataSet);
  // Before the table shows a record anew: markers typed into the panel and
  // not stored are not dropped unasked (typedMarkersKept).
  void Table1BeforeMove(store::TTable &dataSet);

  // Whether the window may close now: typed markers are stored or dropped
  // as the user says (typedMarkersKept), then an edit in progress is stored
  // as a move would store it; when that fails, the user decides whether to
  // discard it. False keeps the window open.
  bool settleBeforeClose();

  // Find (Ctrl+F): the dialog, made when first asked for.
  FindDialog *findDialog();
  // F3 and Shift+F3: the last find again, or the Find dialog when there
  // was none yet.
  void findAgain(engine::SearchDirection direction);

  // The context view (F2): the record in its document.
  ContextView *contextView() const { return m_contextView; }

protected:
  void closeEvent(QCloseEvent *event) override;
  void showEvent(QShowEvent *event) override;
  bool event(QEvent *event) override;

private:
  // A span's marker and position: their fields and their boxes.
  struct MarkerSpan {
    const char *marker, *position;
    QLineEdit *markerBox;
    controls::TComboBox *positionBox;
  };
  std::array<MarkerSpan, 2> markerSpans() const;
  // Insert's steps: a marker or position its field would cut, or segment
  // numbers that give no distance, refused before anything is written; a
  // record changed since the panel showed it refused after Edit read it
  // again (cancelled unless the user was editing); the distance stored.
  void refuseWhatCannotBeStored() const;
  void refuseRecordChangedSinceShown(bool wasEditing);
  void storeSegmentsDistance();

  // When the panel's boxes hold markers that leaving the record would drop
  // (they differ from the record's, edited or stored, as the corpus reads
  // markers), asks whether to store them with "Insert", drop them or stay
  // on the record. False to stay (Escape, the close box); true when there
  // was nothing to ask, the markers were dropped, or "Insert" stored them.
  // Raises what "Insert" raises.
  bool typedMarkersKept();
  // The four boxes' texts.
  store::MarkerTexts panelTexts() const;
  // The default position of span `span` (0 or 1) while its marker is typed.
  void proposePosition(int span);
  // Span `span`'s (0 or 1) marker box changed: a position proposed, and
  // tokens chosen for another marker are no longer the box's.
  void markerBoxChanged(int span);
  // The window's controls, in the order they lie over one another: the
  // frames and labels, the marker panel, the boxes bound to the table, the
  // search panel and Go to.
  void createControls();
  void createFramesAndLabels();
  void createMarkerPanel();
  void createBoundControls();
  void createSearchPanel();
  // The context view, and its entry in the boxes' menus.
  void createContextView();
  // The tokens the user chose in the context view fill the span's marker
  // and position boxes.
  void markerChosen(int span, const QString &marker, const QString &position);
  // After Insert stored the markers: the tokens chosen for them are kept
  // with the record, for the export. Whether any tokens were chosen.
  bool keepTokenChoices();
  void setKeyboardOrder();
  void wireEvents();
  // The keys that move through the records and run the commands from any
  // box; a key a box uses for its text stays the box's.
  void createShortcuts();
  // Rescales the layout when the window font's height differs from the
  // 13 pixels it was designed for.
  void scaleToFont();
  // Moves a label left of a box whose caption would reach the box.
  void keepLabelsClearOfBoxes();
  void destroyComponents();
  controls::ArrowFocus *m_arrows = nullptr;
  // The markers the panel last showed of the record as stored: by its
  // refill, by the post of "Insert", or in the message of an "Insert"
  // refused because they had changed. "Insert" stores only over these.
  store::MarkerTexts m_shownMarkers;
  // By span: the position the panel proposed for the marker last (the
  // rule's, else the default), which the chooser holds until the user
  // chooses another.
  QString m_proposedPosition[2];

  // Destroyed after every control (see the destructor): the table closes
  // once no control is left, then its data source goes.
  std::unique_ptr<store::TDataSource> m_dataSource;
  std::unique_ptr<store::TTable> m_table;
  // Closed with the window, before the table.
  std::unique_ptr<FindDialog> m_findDialog;
  // A window of the main window's: it goes with the other controls.
  ContextView *m_contextView = nullptr;
  bool m_shownOnce = false;
  bool m_openContextView = false; // remembered open: opened once the window is placed
  void openRememberedContextView();
  // By span: the marker and position the boxes held before tokens were
  // chosen in the context view, given back when the choice is taken back.
  std::optional<std::pair<QString, QString>> m_beforeChoice[2];
  bool m_choosing = false; // the boxes are being filled from the view
};

// The main window, from the moment it is created.
extern TMainForm *MainForm;

} // namespace vandro
