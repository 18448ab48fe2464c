// Work deferred until the window has been drawn: it runs once, after the drawing, and never for a
// window that is not shown.
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

#include "platform/first_paint.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

class CountingWindow : public QWidget {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent*) override {
    ++paints;
    QPainter(this).fillRect(rect(), Qt::white);
  }
};

}  // namespace

TEST(FirstPaint, TheTaskRunsOnceAfterTheWindowIsDrawnAndNotForAHiddenWindow) {
  CountingWindow shown;
  shown.resize(200, 100);
  std::vector<int> paintsSeen;
  AfterFirstPaint(&shown, [&] { paintsSeen.push_back(shown.paints); });
  test::Pump(50);
  EXPECT_TRUE(paintsSeen.empty()) << "ran before the window was shown";

  shown.show();
  test::Pump(100);
  ASSERT_EQ(paintsSeen.size(), 1u);
  EXPECT_GE(paintsSeen[0], 1) << "ran before the window's first drawing";

  // Hidden and shown again: exposed anew, but the task is done.
  shown.hide();
  test::Pump(20);
  shown.show();
  shown.repaint();
  test::Pump(100);
  EXPECT_EQ(paintsSeen.size(), 1u);

  CountingWindow hidden;
  bool ran = false;
  AfterFirstPaint(&hidden, [&] { ran = true; });
  test::Pump(100);
  EXPECT_FALSE(ran);
}

TEST(FirstPaint, AWindowDeletedBeforeItIsDrawnTakesItsTaskWithIt) {
  bool ran = false;
  {
    CountingWindow window;
    AfterFirstPaint(&window, [&] { ran = true; });
    window.show();
  }
  test::Pump(100);
  EXPECT_FALSE(ran);
}
