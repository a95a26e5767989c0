// What screen readers are told of the engine's labels beyond what Qt tells of
// any label: a caption is a button they can press, a live label a status line.
// Names come from the widgets' own accessible names, which the controls keep.
#pragma once

class QWidget;

namespace tw::engine {

// Once, when the application starts.
void InstallAccessibility();

// A widget asked about before it was fully made (a screen reader that listens
// while the window is built) got Qt's plain interface; this drops it, so the
// next question gets the engine's.
void ForgetEarlyInterface(QWidget* widget);

}  // namespace tw::engine
