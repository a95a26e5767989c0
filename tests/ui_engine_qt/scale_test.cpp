// Under a scale factor of 1.5 the engine's window has 1.5 times the
// program's pixels and draws at that density, while the program reads back
// its own numbers. The factor holds for the whole process, which therefore
// has this test alone.
#include <QPixmap>
#include <QWindow>
#include <QtGlobal>

#include "tests/ui_engine_qt/engine_fixture.h"

namespace tw::engine_test {
namespace {

class ScaleTest : public EngineTest {
 protected:
  static void SetUpTestSuite() {
    // Read when the engine makes its application object.
    qputenv("QT_SCALE_FACTOR", "1.5");
    EngineTest::SetUpTestSuite();
  }
};

TEST_F(ScaleTest, TheWindowAndItsControlsAreDrawnAtOneAndAHalfTimesTheirPixels) {
  const UiControl window = MakeWindow();
  const UiControl face = CreateControl_PictureBox(window, 64, 64, 120, 57, nullptr, nullptr);
  const UiControl caption = CreateControl_Label(face, 1, 2, 117, 54, nullptr, nullptr);
  const UiControl bar = CreateControl_ProgressBar(window, 256, 400, 256, 32, nullptr, nullptr);
  const UiControl list = CreateControl_ListView(window, 16, 152, 496, 240, nullptr, nullptr);
  SetText(caption, QStringLiteral("选定下载"));
  ControlShow(window);
  QWidget* top = TopLevel();
  ASSERT_NE(top, nullptr);
  ASSERT_NE(top->windowHandle(), nullptr);
  EXPECT_DOUBLE_EQ(top->windowHandle()->devicePixelRatio(), 1.5);

  // What the screen gets: every pixel drawn, not a 96-DPI picture stretched.
  const QPixmap whole = top->grab();
  EXPECT_EQ(whole.size(), QSize(783, 663));
  EXPECT_DOUBLE_EQ(whole.devicePixelRatio(), 1.5);
  QWidget* barWidget = WidgetAt(QRect(256, 400, 256, 32));
  ASSERT_NE(barWidget, nullptr);
  EXPECT_EQ(barWidget->grab().size(), QSize(384, 48));

  EXPECT_EQ(GetNumber(window, UI_PROP_CLIENT_WIDTH), 522);
  const int64_t listWidth = GetNumber(list, UI_PROP_CLIENT_WIDTH);
  EXPECT_GT(listWidth, 480);
  EXPECT_LE(listWidth, 496);
  Buffer title(QStringLiteral("系统镜像"));
  InsertColumn_ListView(list, -1, title.text, 213);
  EXPECT_EQ(GetColumnWidth_ListView(list, 0), 213);
  EXPECT_EQ(GetNumber(bar, UI_PROP_TASK_STATE), UI_TASK_NONE);
}

}  // namespace
}  // namespace tw::engine_test
