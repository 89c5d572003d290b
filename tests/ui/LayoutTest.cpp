// The main window's geometry: every control's place, kind and content, the
// relation list's width, the fixed size, the starting focus and a picture
// of the whole client area.
#include "LayoutFixture.h"

namespace vandro::testing {
namespace {

TEST_F(LayoutTest, EveryControlHasItsKindPlaceAndContent) {
  const QColor plainBase = control("DBEdit2")->palette().color(QPalette::Base);
  QSet<QString> seen;
  for (const Place &place : kPlaces) {
    SCOPED_TRACE(place.name);
    QWidget *widget = control(place.name);
    ASSERT_NE(widget, nullptr);
    seen.insert(widget->objectName());
    EXPECT_EQ(widget->parentWidget(), place.inGroup ? static_cast<QWidget *>(MainForm->GroupBox1) : MainForm);
    const int width = place.width >= 0 ? place.width
                                       : MainForm->fontMetrics().horizontalAdvance(QString::fromLatin1(place.content));
    const auto beside = kLabelBeside.find(place.name);
    if (beside == kLabelBeside.end()) {
      EXPECT_EQ(widget->geometry(), QRect(place.left, place.top, width, place.height));
    } else {
      // A label left of a box ends clear of it, whatever font was found; one
      // that fits stays at its place, one that does not moves left.
      const QWidget *box = control(beside->second);
      const int room = box->x() - (widget->geometry().right() + 1);
      EXPECT_GE(room, 4) << "next to " << beside->second;
      EXPECT_EQ(widget->geometry().size(), QSize(width, place.height));
      EXPECT_EQ(widget->y(), place.top);
      if (place.left + width + 4 <= box->x()) {
        EXPECT_EQ(widget->x(), place.left);
      } else {
        EXPECT_LT(widget->x(), place.left);
        EXPECT_LE(room, 6) << "moved further than needed";
      }
    }
    const QString content = QString::fromLatin1(place.content);
    switch (place.kind) {
    case Kind::Edit:
      EXPECT_NE(qobject_cast<controls::TEdit *>(widget), nullptr);
      EXPECT_TRUE(qobject_cast<QLineEdit *>(widget)->text().isEmpty());
      break;
    case Kind::Combo: {
      auto *combo = qobject_cast<controls::TComboBox *>(widget);
      ASSERT_NE(combo, nullptr);
      QStringList items;
      for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
      EXPECT_EQ(items, *place.items);
      EXPECT_TRUE(combo->isEditable());
      EXPECT_EQ(combo->currentIndex(), -1);
      EXPECT_EQ(combo->currentText(), QString());
      EXPECT_EQ(combo->maxVisibleItems(), 8);
      break;
    }
    case Kind::Push: {
      auto *button = qobject_cast<QPushButton *>(widget);
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(button->text(), content);
      break;
    }
    case Kind::Radio: {
      auto *radio = qobject_cast<QRadioButton *>(widget);
      ASSERT_NE(radio, nullptr);
      EXPECT_EQ(radio->text(), content);
      EXPECT_EQ(radio->isChecked(), (place.flags & Checked) != 0);
      break;
    }
    case Kind::Group: {
      auto *group = qobject_cast<QGroupBox *>(widget);
      ASSERT_NE(group, nullptr);
      EXPECT_EQ(group->title(), content);
      EXPECT_EQ(widget, MainForm->GroupBox1);
      break;
    }
    case Kind::Bound: {
      auto *edit = qobject_cast<controls::TDBEdit *>(widget);
      ASSERT_NE(edit, nullptr);
      EXPECT_EQ(edit->link().fieldName(), content);
      EXPECT_EQ(edit->link().readOnly(), (place.flags & ReadOnly) != 0);
      const bool shaded = edit->palette().color(QPalette::Base) != plainBase;
      EXPECT_EQ(shaded, (place.flags & Shaded) != 0);
      break;
    }
    case Kind::Memo: {
      auto *memo = qobject_cast<controls::TDBMemo *>(widget);
      ASSERT_NE(memo, nullptr);
      EXPECT_EQ(memo->link().fieldName(), content);
      if (place.flags & ReadOnly) {
        EXPECT_TRUE(memo->link().readOnly());
      }
      EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
      break;
    }
    case Kind::Navigator: EXPECT_NE(qobject_cast<controls::TDBNavigator *>(widget), nullptr); break;
    case Kind::Label: {
      auto *label = qobject_cast<QLabel *>(widget);
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(label->text(), content);
      break;
    }
    case Kind::Bevel: EXPECT_NE(qobject_cast<controls::TBevel *>(widget), nullptr); break;
    }
  }
  // No control beyond these (the combo boxes' and memos' own parts aside;
  // the window's own windows, such as the context view, are no controls).
  for (QWidget *child : MainForm->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
    EXPECT_TRUE(child->isWindow() || seen.contains(child->objectName())) << nameOf(child);

  // The bevels lie beneath the boxes they frame.
  const QObjectList &order = MainForm->children();
  for (const auto &[bevel, boxes] : {std::pair{"Bevel1", std::pair{"Edit1", "ComboBox2"}},
                                     std::pair{"Bevel2", std::pair{"Edit2", "ComboBox3"}}}) {
    SCOPED_TRACE(bevel);
    EXPECT_LT(order.indexOf(control(bevel)), order.indexOf(control(boxes.first)));
    EXPECT_LT(order.indexOf(control(bevel)), order.indexOf(control(boxes.second)));
  }

  EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("Vandro with Markers"));
  EXPECT_EQ(MainForm->size(), QSize(656, 571));
  EXPECT_EQ(MainForm->minimumSize(), QSize(656, 571));
  EXPECT_EQ(MainForm->maximumSize(), QSize(656, 571));
  const Qt::WindowFlags flags = MainForm->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint)); // else the default buttons, maximize among them
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
}


// A box given a text longer than it is wide shows the text's start.
TEST_F(LayoutTest, ATextSetByTheProgramShowsItsStart) {
  makeRelationTable({{1, "parenthetical", 1, 2, {}, {}, {}, {}, {}, {}},
                     {2, "circumstance", 1, 2, {}, {}, {}, {}, {}, {}}},
                    "Long.DB");
  showActive();
  MainForm->Table1()->Close();
  MainForm->Table1()->TableName = QStringLiteral("Long.DB");
  MainForm->Table1()->Open();
  auto *relation = control<QLineEdit>("DBEdit2");
  for (const char *expected : {"parenthetical", "circumstance"}) {
    SCOPED_TRACE(expected);
    EXPECT_EQ(str(relation->text()), expected);
    EXPECT_EQ(relation->cursorPosition(), 0);
    MainForm->Table1()->Next();
  }
  MainForm->Edit1->assignText(QStringLiteral("a marker much longer than the box that shows it, by far"));
  EXPECT_EQ(MainForm->Edit1->cursorPosition(), 0);
}

// The relation list opens wide enough for its longest name.
// The relation list opens wide enough for its longest name.
TEST_F(LayoutTest, TheRelationListShowsItsWidestItemWhole) {
  showActive();
  MainForm->ComboBox1->showPopup();
  QAbstractItemView *list = MainForm->ComboBox1->view();
  ASSERT_TRUE(list->isVisible());
  EXPECT_GE(list->viewport()->width(), list->sizeHintForColumn(0));
  MainForm->ComboBox1->hidePopup();
}

// A combo box's text changes by the wheel only while the box has the focus
// (the wheel turned over the window scrolls nothing away), and by the arrow
// keys in its open list at once.
TEST_F(LayoutTest, TheWindowKeepsItsSize) {
  showActive();
  MainForm->resize(800, 700);
  EXPECT_EQ(MainForm->size(), QSize(656, 571));
  MainForm->resize(300, 200);
  EXPECT_EQ(MainForm->size(), QSize(656, 571));
}

TEST_F(LayoutTest, AtStartTheFocusIsInEdit1AndTheSearchGoesForward) {
  showActive();
  EXPECT_TRUE(focusIn("Edit1")) << nameOf(QApplication::focusWidget());
  EXPECT_TRUE(MainForm->RadioButton1->isChecked());
  EXPECT_FALSE(MainForm->RadioButton2->isChecked());
  EXPECT_EQ(MainForm->ComboBox1->currentText(), QString());
  EXPECT_EQ(MainForm->ComboBox1->currentIndex(), -1);
}

TEST_F(LayoutTest, TheWindowGrabsToAPictureOfItsWholeClientArea) {
  showActive();
  const QImage picture = MainForm->grab().toImage();
  const QString path = QStringLiteral("/tmp/vandro-layout.png");
  EXPECT_TRUE(picture.save(path)) << str(path);
  EXPECT_EQ(picture.size(), QSize(656, 571) * picture.devicePixelRatio());
  QSet<QRgb> colours;
  for (int y = 0; y < picture.height() && colours.size() < 3; y += 3)
    for (int x = 0; x < picture.width(); x += 3)
      colours.insert(picture.pixel(x, y));
  EXPECT_GT(colours.size(), 1);
}

} // namespace
} // namespace vandro::testing
