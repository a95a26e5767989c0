// The engine's exports, bound by name at start-up.
#pragma once

#include "ui_engine/engine_abi.h"

namespace tw::ui {

#define TW_ENGINE_EXPORTS(X)   \
  X(MakeTextBuffer)            \
  X(ReleaseTextBuffer)         \
  X(EngineStartup)             \
  X(EngineRunMessageLoop)      \
  X(EngineQuitMessageLoop)     \
  X(EngineProcessMessages)     \
  X(EngineCreateTimer)         \
  X(EngineSetTimerInterval)    \
  X(CreateControl_Window)      \
  X(CreateControl_Label)       \
  X(CreateControl_PictureBox)  \
  X(CreateControl_ProgressBar) \
  X(CreateControl_Toolbar)     \
  X(CreateControl_ListView)    \
  X(ControlSendMessage)        \
  X(ControlSyncGeometry)       \
  X(ControlDestroy)            \
  X(ControlShow)               \
  X(ControlSetEnabled)         \
  X(ControlGetEnabled)         \
  X(ControlSetHoverLevel)      \
  X(ControlGetHoverLevel)      \
  X(ControlSetBusyCursor)      \
  X(InsertButton_Toolbar)      \
  X(InsertColumn_ListView)     \
  X(GetColumnWidth_ListView)   \
  X(InsertItem_ListView)       \
  X(SetItemTitle_ListView)     \
  X(GetItemTitle_ListView)     \
  X(EngineMessageBox)          \
  X(EngineInputBox)            \
  X(SystemMessageBox)          \
  X(EngineBrowseForFolder)     \
  X(EngineDocumentsFolder)

struct EngineExports {
#define TW_ENGINE_FIELD(name) decltype(&::name) name = nullptr;
  TW_ENGINE_EXPORTS(TW_ENGINE_FIELD)
#undef TW_ENGINE_FIELD
};

}  // namespace tw::ui
