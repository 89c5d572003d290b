// The main window as the user meets it, for the layout and keyboard tests:
// the window started over three records, its controls by name, keys sent as
// the keyboard sends them, and the table of every control's place.
#pragma once

#include "Main.h"
#include "ModalAnswer.h"
#include "WindowFixture.h"
#include "controls/TBevel.h"
#include "controls/TComboBox.h"
#include "controls/TDBEdit.h"
#include "controls/TDBMemo.h"
#include "controls/TDBNavigator.h"
#include "controls/TEdit.h"
#include "shell/TApplication.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

inline void PrintTo(const QRect &r, std::ostream *out) {
  *out << r.left() << "," << r.top() << " " << r.width() << "x" << r.height();
}
inline void PrintTo(const QSize &s, std::ostream *out) { *out << s.width() << "x" << s.height(); }

namespace vandro::testing {

inline std::string nameOf(const QWidget *widget) { return widget ? str(widget->objectName()) : "(none)"; }

inline const QStringList kPositions = {"Beginning", "Middle", "End", "Multiple"};
inline const QStringList kRelations = {
    "antithesis",  "attribution",   "background",   "circumstance", "comparison",  "concession",
    "conclusion",  "condition",     "elaboration",  "enablement",   "explanation", "evaluation",
    "evidence",    "interpretation", "justify",     "means",        "motivation",  "cause",
    "result",      "otherwise",     "parenthetical", "purpose",     "restatement", "solutionhood",
    "summary",     "contrast",      "joint",        "list",         "same_unit",   "sequence"};

class LayoutTest : public WindowFixture {
protected:
  void SetUp() override {
    WindowFixture::SetUp();
    makeRelationTable(numberedRows(3));
    ASSERT_TRUE(startProgram());
  }

  template <class T = QWidget> static T *control(const char *name) {
    return MainForm->findChild<T *>(QString::fromLatin1(name));
  }

  // Whether the focus is in the control: on it, or on its own line edit.
  static bool focusIn(const char *name) {
    QWidget *focus = QApplication::focusWidget();
    QWidget *target = control(name);
    return focus && target && (focus == target || target->isAncestorOf(focus) || focus->focusProxy() == target);
  }

  // Keys as the keyboard sends them: to whichever widget has the focus.
  static void type(const QString &text) {
    for (const QChar c : text)
      QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
  }
  static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
  }
  // Empties the combo box `name`, focuses it and types `typed` into it.
  template <class Combo> static Combo *typeInto(const char *name, const char *typed) {
    auto *combo = control<Combo>(name);
    combo->setCurrentIndex(-1);
    combo->lineEdit()->clear();
    combo->setFocus(Qt::OtherFocusReason);
    type(QString::fromLatin1(typed));
    return combo;
  }
};

enum class Kind { Edit, Combo, Push, Radio, Group, Bound, Memo, Navigator, Label, Bevel };
enum Flag { None = 0, ReadOnly = 1, Shaded = 2, Checked = 4, Unchecked = 8 };

struct Place {
  const char *name;
  Kind kind;
  bool inGroup;
  int left, top, width, height; // a label's width: -1, its caption's width
  const char *content;          // caption or field name
  int flags = None;
  const QStringList *items = nullptr;
};

// In keyboard order; the labels and bevels at the end.
inline const std::vector<Place> kPlaces = {
    {"Edit1", Kind::Edit, false, 24, 488, 201, 21, ""},
    {"ComboBox2", Kind::Combo, false, 232, 488, 81, 21, "", None, &kPositions},
    {"Edit2", Kind::Edit, false, 344, 488, 201, 21, ""},
    {"ComboBox3", Kind::Combo, false, 552, 488, 81, 21, "", None, &kPositions},
    {"Button2", Kind::Push, false, 300, 535, 57, 27, "Insert"},
    {"DBEdit1", Kind::Bound, false, 69, 16, 52, 21, "Id", ReadOnly | Shaded},
    {"DBEdit2", Kind::Bound, false, 69, 80, 76, 21, "Relation"},
    {"DBEdit3", Kind::Bound, false, 229, 80, 76, 21, "Extended"},
    {"DBEdit5", Kind::Bound, false, 69, 112, 76, 21, "Volitional"},
    {"DBEdit4", Kind::Bound, false, 229, 112, 76, 21, "Embedded"},
    {"DBEdit6", Kind::Bound, false, 69, 144, 76, 21, "Order"},
    {"DBEdit7", Kind::Bound, false, 224, 184, 33, 21, "L1", ReadOnly},
    {"DBEdit8", Kind::Bound, false, 288, 184, 33, 21, "H1", ReadOnly},
    {"DBMemo1", Kind::Memo, false, 16, 208, 305, 209, "Span1", ReadOnly},
    {"DBEdit9", Kind::Bound, false, 544, 184, 33, 21, "L2", ReadOnly},
    {"DBEdit10", Kind::Bound, false, 608, 184, 33, 21, "H2", ReadOnly},
    {"DBMemo2", Kind::Memo, false, 336, 208, 305, 209, "Span2"},
    {"DBNavigator1", Kind::Navigator, false, 216, 424, 224, 25, ""},
    {"GroupBox1", Kind::Group, false, 400, 16, 241, 113, " Search database "},
    {"DBEdit11", Kind::Bound, false, 568, 541, 73, 21, "Segments_distance", ReadOnly | Shaded},
    {"DBNavigator2", Kind::Navigator, false, 193, 14, 112, 25, ""},
    {"DBEdit12", Kind::Bound, false, 69, 48, 236, 21, "From", ReadOnly | Shaded},
    {"Button3", Kind::Push, false, 128, 14, 41, 25, "Go to"},
    {"RadioButton2", Kind::Radio, true, 16, 24, 113, 17, "Backward", Unchecked},
    {"RadioButton1", Kind::Radio, true, 16, 48, 113, 17, "Forward", Checked},
    {"ComboBox1", Kind::Combo, true, 64, 82, 97, 21, "", None, &kRelations},
    {"Button1", Kind::Push, true, 168, 80, 57, 25, "Search"},
    {"Label13", Kind::Label, true, 16, 88, -1, 13, "Relation"},
    {"Label14", Kind::Label, false, 16, 24, -1, 13, "Id"},
    {"Label19", Kind::Label, false, 16, 56, -1, 13, "From"},
    {"Label2", Kind::Label, false, 16, 88, -1, 13, "Relation"},
    {"Label3", Kind::Label, false, 168, 88, -1, 13, "Extended"},
    {"Label5", Kind::Label, false, 16, 120, -1, 13, "Volitional"},
    {"Label4", Kind::Label, false, 168, 120, -1, 13, "Embedded"},
    {"Label6", Kind::Label, false, 16, 152, -1, 13, "Order"},
    {"Label11", Kind::Label, false, 16, 192, -1, 13, "Span1"},
    {"Label7", Kind::Label, false, 208, 192, -1, 13, "L1"},
    {"Label8", Kind::Label, false, 272, 192, -1, 13, "H1"},
    {"Label12", Kind::Label, false, 336, 192, -1, 13, "Span2"},
    {"Label9", Kind::Label, false, 528, 192, -1, 13, "L2"},
    {"Label10", Kind::Label, false, 592, 192, -1, 13, "H2"},
    {"Label1", Kind::Label, false, 24, 472, -1, 13, "Span1 Marker"},
    {"Label15", Kind::Label, false, 232, 472, -1, 13, "Position"},
    {"Label16", Kind::Label, false, 344, 472, -1, 13, "Span2 Marker"},
    {"Label18", Kind::Label, false, 552, 472, -1, 13, "Position"},
    {"Label17", Kind::Label, false, 471, 549, -1, 13, "Segments distance"},
    {"Bevel1", Kind::Bevel, false, 16, 464, 305, 57, ""},
    {"Bevel2", Kind::Bevel, false, 336, 464, 305, 57, ""},
};

// The box each label beside a box stands left of.
inline const std::map<std::string, const char *> kLabelBeside = {
    {"Label14", "DBEdit1"}, {"Label19", "DBEdit12"}, {"Label2", "DBEdit2"},   {"Label3", "DBEdit3"},
    {"Label5", "DBEdit5"},  {"Label4", "DBEdit4"},   {"Label6", "DBEdit6"},   {"Label7", "DBEdit7"},
    {"Label8", "DBEdit8"},  {"Label9", "DBEdit9"},   {"Label10", "DBEdit10"}, {"Label17", "DBEdit11"},
    {"Label13", "ComboBox1"}};

} // namespace vandro::testing
