#include "tests/ui_engine_qt/main_window_shape.h"

#include <QApplication>
#include <QToolBar>

#include "text/system_texts.h"

namespace tw::engine_test {
namespace {

struct ButtonPlace {
  QRect face, caption;
};
const ButtonPlace kButtons[3] = {{{64, 64, 120, 57}, {1, 2, 117, 54}},
                                 {{200, 64, 112, 56}, {1, 2, 110, 53}},
                                 {{328, 64, 120, 56}, {1, 2, 118, 53}}};

}  // namespace

MainWindowShape::MainWindowShape(EventLog* log) {
  const SystemTexts& t = Texts();
  window = CreateControl_Window(0, 50, 50, 522, 442, nullptr, nullptr);
  SetText(window, FromGbk(t.windowTitle));
  toolbar = CreateControl_Toolbar(window, 1, 32, 517, 28, &RecordEvent, log);
  Buffer about(FromGbk(t.about));
  Buffer help(FromGbk(t.help));
  InsertButton_Toolbar(toolbar, -1, about.text);
  InsertButton_Toolbar(toolbar, -1, help.text);
  const std::string names[3] = {t.downloadButton, t.cancelButton, t.folderButton};
  for (const int i : {2, 0, 1}) {
    const QRect f = kButtons[i].face, c = kButtons[i].caption;
    faces[i] =
        CreateControl_PictureBox(window, f.x(), f.y(), f.width(), f.height(), nullptr, nullptr);
    captions[i] =
        CreateControl_Label(faces[i], c.x(), c.y(), c.width(), c.height(), &RecordEvent, log);
    SetText(captions[i], FromGbk(names[i]));
  }
  folderLine = CreateControl_Label(window, 16, 128, 496, 24, nullptr, nullptr);
  list = CreateControl_ListView(window, 16, 152, 496, 240, nullptr, nullptr);
  status = CreateControl_Label(window, 8, 400, 192, 26, nullptr, nullptr);
  bar = CreateControl_ProgressBar(window, 256, 400, 256, 32, nullptr, nullptr);
  Buffer column(FromGbk(t.columnImage));
  InsertColumn_ListView(list, -1, column.text, 200);
  InsertItem_ListView(list, -1);
  InsertItem_ListView(list, -1);
  SetNumber(list, UI_PROP_SELECTED_ROW, 0);
  ControlShow(window);

  for (int i = 0; i < 3; ++i) {
    faceWidgets[i] = EngineTest::WidgetAt(kButtons[i].face);
    captionWidgets[i] = EngineTest::WidgetAt(kButtons[i].caption);
  }
  listWidget = EngineTest::WidgetAt(QRect(16, 152, 496, 240));
  folderWidget = EngineTest::WidgetAt(QRect(16, 128, 496, 24));
  statusWidget = EngineTest::WidgetAt(QRect(8, 400, 192, 26));
  barWidget = EngineTest::WidgetAt(QRect(256, 400, 256, 32));
  if (auto* tools = qobject_cast<QToolBar*>(EngineTest::WidgetAt(QRect(1, 32, 517, 28)))) {
    for (QAction* action : tools->actions()) {
      toolButtons.push_back(qobject_cast<QToolButton*>(tools->widgetForAction(action)));
    }
  }
}

}  // namespace tw::engine_test
