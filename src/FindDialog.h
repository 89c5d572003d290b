// The Find dialog: conditions on the relation records that still need
// doing, and the next or previous record that meets them.
#pragma once

#include "corpus/RecordFind.h"
#include "shell/TDialogForm.h"
#include "store/TTable.h"

#include <QTimer>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace vandro {

namespace controls {
class TComboBox;
}

class FindDialog : public TDialogForm {
  Q_OBJECT
public:
  explicit FindDialog(store::TTable &table);

  // Shows the dialog (modeless, above `owner`), or brings it to the front,
  // with the focus in its first box.
  void open(QWidget *owner);
  // Looks for the next (prior) record that meets the conditions as they
  // stand, from the record shown: the table moves there, or the search's
  // "End of database!" notice when none does. After a move the open
  // dialog counts anew, once the record is shown. Raises when the conditions cannot be made into a find (a column
  // the table lacks) or the engine fails.
  void find(engine::SearchDirection direction);
  // Whether a find has been made with these conditions since the dialog
  // opened first: what F3 in the main window repeats.
  bool hasFound() const { return m_hasFound; }

  // Counts again once the user pauses, while the dialog is shown: after a
  // move or a store of the main window, which may change the figure.
  void countLater();

  // The conditions as the boxes say.
  corpus::FindConditions conditions() const;

protected:
  void keyPressEvent(QKeyEvent *event) override;
  void closeEvent(QCloseEvent *event) override;

private:
  void createControls();
  // The documents of the table, for the Document box; once.
  void fillDocuments();
  // "2,143 of 34,863": how many records meet the conditions.
  void count();

  store::TTable &m_table;
  controls::TComboBox *m_relation = nullptr;
  controls::TComboBox *m_document = nullptr;
  QLineEdit *m_marker = nullptr;
  QLineEdit *m_text = nullptr;
  QComboBox *m_spans = nullptr;
  QComboBox *m_withoutMarker = nullptr;
  QCheckBox *m_changed = nullptr;
  QLabel *m_count = nullptr;
  QTimer m_countLater; // a count once the typing pauses
  bool m_documentsFilled = false;
  bool m_placed = false; // placed beside the main window once
  bool m_hasFound = false;
};

} // namespace vandro
