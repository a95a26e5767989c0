// The program's window as the keyboard and screen reader tests need it: its
// toolbar, three button faces with their captions, the folder line, the list,
// the status line and the bar, at the program's places.
#pragma once

#include <QToolButton>
#include <QWidget>
#include <vector>

#include "tests/ui_engine_qt/engine_fixture.h"

namespace tw::engine_test {

struct MainWindowShape {
  // Made with the faces in another order than they are read, and shown.
  // Captions and the toolbar report to `log`.
  explicit MainWindowShape(EventLog* log);

  UiControl window = 0, toolbar = 0, folderLine = 0, list = 0, status = 0, bar = 0;
  UiControl faces[3] = {}, captions[3] = {};  // 选定下载, 取消下载, 选择保存位置

  // The widgets behind them.
  QWidget* captionWidgets[3] = {};
  QWidget* faceWidgets[3] = {};
  QWidget *listWidget = nullptr, *folderWidget = nullptr, *statusWidget = nullptr,
          *barWidget = nullptr;
  std::vector<QToolButton*> toolButtons;  // 关于, 帮助
};

}  // namespace tw::engine_test
