#include "controls/LayoutScaling.h"
#include "controls/TDBNavigator.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace vandro::testing {
namespace {

using controls::NavigateButton;

// A window laid out for a 13-pixel font that got a 16-pixel one: every edge
// is multiplied by 16/13 and rounded, edit boxes keep the height of their
// font, a label's own font grows, a navigator bar lays its buttons out anew
// and the client area grows.
TEST(ScalingTest, EdgesAreMultipliedAndEditBoxesKeepTheirFontsHeight) {
  QWidget window;
  auto *edit = new QLineEdit(&window);
  edit->setGeometry(24, 488, 201, 21);
  auto *button = new QPushButton(&window);
  button->setGeometry(300, 535, 57, 27);
  auto *label = new QLabel(QStringLiteral("Span1"), &window);
  QFont own = label->font();
  own.setPixelSize(11);
  label->setFont(own);
  label->setGeometry(16, 192, 31, 13);
  auto *bar = new controls::TDBNavigator(
      QStringLiteral("Bar"), {NavigateButton::First, NavigateButton::Prior, NavigateButton::Next, NavigateButton::Last},
      &window);
  bar->setRequestedGeometry(216, 424, 224, 25);

  controls::scaleLayout(window, {&window}, 16, 13, QSize(656, 571), 24);

  // 24 * 16/13 = 29.5 → 30; 488 → 600.6 → 601; right edge 225 → 276.9 → 277.
  EXPECT_EQ(edit->geometry(), QRect(30, 601, 247, 24));
  // 300 → 369.2; 357 → 439.4; 535 → 658.5; 562 → 691.7.
  EXPECT_EQ(button->geometry().left(), 369);
  EXPECT_EQ(button->geometry().right() + 1, 439);
  EXPECT_EQ(button->geometry().top(), 658);
  EXPECT_EQ(button->geometry().bottom() + 1, 692);
  EXPECT_EQ(label->font().pixelSize(), 14); // 11 * 16/13 = 13.5 → 14
  // 216 → 266; 440 → 541.5 → 542: 276 wide, cut to a multiple of four.
  EXPECT_EQ(bar->geometry().left(), 266);
  EXPECT_EQ(bar->width(), 276);
  EXPECT_EQ(bar->button(NavigateButton::Last)->geometry(), QRect(207, 0, 69, bar->height()));
  EXPECT_EQ(window.minimumSize(), QSize(807, 703));
  EXPECT_EQ(window.maximumSize(), QSize(807, 703));
}

TEST(ScalingTest, TheDesignFontChangesNothing) {
  QWidget window;
  auto *edit = new QLineEdit(&window);
  edit->setGeometry(24, 488, 201, 21);
  controls::scaleLayout(window, {&window}, 13, 13, QSize(656, 571), 21);
  EXPECT_EQ(edit->geometry(), QRect(24, 488, 201, 21));
}

} // namespace
} // namespace vandro::testing
