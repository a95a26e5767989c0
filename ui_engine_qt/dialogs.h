// The modal boxes. Each runs on the UI thread and returns when it is closed.
#pragma once

#include <QString>

namespace tw::engine {

// Buttons are `captions` split at "&&", in order. Returns the 0-based index of
// the button pressed, -1 when the box was closed without one (Esc, close).
int ShowMessageBox(const QString& title, const QString& message, const QString& captions);

// One line edit and one button. `dismissed` is set when the box was closed
// without pressing the button (Enter in the edit presses it).
QString ShowInputBox(const QString& prompt, const QString& buttonCaption, bool* dismissed);

// The desktop's plain information box with an OK button.
void ShowSystemMessageBox(const QString& title, const QString& message);

// Empty when cancelled. Starts in `initialFolder` (or the nearest folder above
// it that exists), else in the documents folder. Without `editBox` a folder can
// only be picked, not typed.
QString ShowFolderBrowser(const QString& title, const QString& initialFolder, bool editBox);

QString DocumentsFolder();

// Closes every open box as if dismissed, so a message loop asked to end is not
// kept running by a box nested in it.
void DismissOpenBoxes();

}  // namespace tw::engine
