// The program-wide state of the main window and its download.
#pragma once

#include <cstdint>

#include "text/text.h"
#include "ui_engine/engine_abi.h"

namespace tw {

// A button: a face drawn with a hover highlight and a caption laid over it that
// takes the clicks and hover changes.
struct FaceButton {
  UiControl face = 0;
  UiControl caption = 0;
};

struct MainWindow {
  UiControl frame = 0;
  UiControl mainToolbar = 0;
  FaceButton downloadButton;
  FaceButton cancelButton;
  FaceButton folderButton;
  UiControl saveFolderLabel = 0;
  UiControl catalogList = 0;
  UiControl statusLabel = 0;
  UiControl progressCaption = 0;
  UiControl progressBar = 0;
  UiControl catalogTimer = 0;
};

// Touched only on the UI thread, except where a field says otherwise.
struct AppState {
  MainWindow window;
  Text saveFolder;        // written alongside SaveFolderLabel; the label is what is read
  Text selectedFileName;  // read by the download starter thread after the UI thread wrote it
  Text targetPath;        // likewise: the path the user confirmed, which the download writes
  Text directUrl;         // likewise
  Text shareLink;         // likewise: the link directUrl came from, resolved again when it expires
  int64_t resolvedSize = 0;  // the verify answer's size, handed to the download as expected
  Text browseInitialFolder;
  // While the share link is being resolved; a cancel or the window's close
  // abandons the resolution at its next wait.
  bool resolving = false;
  bool resolutionAbandoned = false;
  // The window was closed: nothing new starts, no box opens.
  bool closing = false;
};

AppState& App();

}  // namespace tw
