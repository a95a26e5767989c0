/* The C interface of the UI engine library (libUiEngine.so).
 *
 * The program binds every function below by name at start-up. Two libraries
 * implement it: the Qt engine (ui_engine_qt/) that draws the real window, and
 * the scripted engine (tests/scripted_engine/) that records what the program
 * does and answers dialogs from a script.
 *
 * Threads: any thread may call any function. The engine runs each call on its
 * UI thread (the thread that called EngineStartup); reads and dialogs block the
 * calling thread until they have an answer. Calls from the UI thread itself run
 * directly. Once the message loop has ended, calls from other threads return at
 * once with empty results instead of waiting for a loop that no longer runs.
 *
 * Texts: a UiText buffer holds a 32-bit byte length in its second field and
 * UTF-16 text after it, ended by a zero unit that the byte length counts: the
 * empty text has length 2, a one-character text 4. A byte length of 2 or less
 * is read as empty. Buffers made by MakeTextBuffer are passed in and stay the
 * caller's (release them with ReleaseTextBuffer); buffers returned by the
 * engine become the caller's and are released the same way.
 *
 * Keyboard: Tab and Shift+Tab move the focus through the window's toolbar
 * buttons, the captions laid over picture boxes and the list, in reading order
 * (rows top to bottom, each left to right), and the focused one shows a focus
 * mark. Enter or Space on a focused caption raises UI_EVENT_CLICK, on a focused
 * toolbar button UI_EVENT_TOOLBAR, exactly as a click does. In the boxes Enter
 * presses the first button (or the one the focus is on) and Esc closes the box
 * as its close button does. */
#ifndef TARNWICK_UI_ENGINE_ABI_H
#define TARNWICK_UI_ENGINE_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct UiText {
  uint32_t reserved;
  uint32_t byteLength;
  uint16_t units[]; /* byteLength / 2 code units, the last one zero */
} UiText;

typedef intptr_t UiControl; /* 0 is no control */

/* Events reach the program through this callback: (context, code, four
 * integers) -> integer. Codes of 700 and above are engine notifications the
 * program answers with 0. */
typedef int32_t (*UiEventCallback)(void* context, int32_t code, int32_t a, int32_t b, int32_t c,
                                   int32_t d);

enum UiEventCode {
  UI_EVENT_CREATED = 1,      /* the window has been created */
  UI_EVENT_CLICK = 2,        /* a label or picture box was clicked */
  UI_EVENT_HOVER = 3,        /* a = 1 pointer entered, 0 pointer left */
  UI_EVENT_TOOLBAR = 4,      /* a = 0-based index of the clicked button */
  UI_EVENT_TIMER = 5,        /* a timer ticked */
  UI_EVENT_CLOSED = 6,       /* the window was closed by the user */
  UI_EVENT_SELECT = 7,       /* a = the list's newly selected row */
  UI_EVENT_NOTIFY_BASE = 700 /* engine notifications, answered with 0 */
};

/* ControlSendMessage messages and property indices. */
enum { UI_MSG_SET = 10241, UI_MSG_GET = 10242 };
enum UiProperty {
  UI_PROP_TEXT = 1,         /* text: window title, label text, ... */
  UI_PROP_VALUE = 2,        /* number: progress bar position */
  UI_PROP_RANGE_MAX = 3,    /* number: progress bar maximum (minimum is 0) */
  UI_PROP_SELECTED_ROW = 4, /* number: list's selected row, -1 for none */
  UI_PROP_CLIENT_WIDTH = 5, /* number, read only: width of the client area */
  UI_PROP_ROW_COUNT = 6,    /* number, read only: list's row count */
  UI_PROP_BACKGROUND = 7,   /* data: a background image; an empty text clears it */
  UI_PROP_TASK_STATE = 8,   /* number: a progress bar's UiTaskState */
  /* text: what screen readers call the control. Without one a control is called
   * by what it shows: a label by its text, the window by its title, a picture
   * box by the caption laid over it. A label named this way offers its text as
   * the description. */
  UI_PROP_ACCESSIBLE_NAME = 9,
  UI_PROP_LIVE = 10 /* number: non-zero makes a label a status line, whose every new
                     * text screen readers announce */
};

/* What the task a progress bar follows is doing. Where the desktop shows
 * progress on the window's taskbar button, the engine shows the bar's
 * position there in this state; an engine without one may only keep it. */
enum UiTaskState {
  UI_TASK_NONE = 0,    /* no task: nothing shown beyond the bar (the start) */
  UI_TASK_RUNNING = 1, /* running, at the bar's position */
  UI_TASK_PAUSED = 2,  /* waiting before it goes on */
  UI_TASK_FAILED = 3   /* ended without its result */
};

/* A property value. For UI_MSG_SET, `number` or `text` carries the value
 * (text stays the caller's). For UI_MSG_GET the engine fills `number`, or puts
 * a new buffer in `text` that becomes the caller's. */
typedef struct UiValue {
  int64_t number;
  UiText* text;
} UiValue;

/* Texts. */
UiText* MakeTextBuffer(const uint16_t* units, int32_t unitCount);
void ReleaseTextBuffer(UiText* text);

/* Start-up and the message loop. EngineStartup makes the calling thread the
 * UI thread; it returns 0 when the engine cannot run (no display). */
int32_t EngineStartup(void* libraryHandle);
int32_t EngineRunMessageLoop(void); /* returns the code given to EngineQuitMessageLoop */
void EngineQuitMessageLoop(int32_t code);
void EngineProcessMessages(void); /* UI thread only: run what is queued, then return */

/* Timers: tick through the callback with UI_EVENT_TIMER on the UI thread.
 * An interval of 0 stops the timer. */
UiControl EngineCreateTimer(int32_t intervalMs, UiEventCallback callback, void* context);
void EngineSetTimerInterval(UiControl timer, int32_t intervalMs);

/* Controls. `parent` is 0 for the window and the containing control otherwise
 * (the window, or a picture box for its caption label). Geometry is in pixels
 * within the parent, as on a screen of 96 DPI: on another the engine draws
 * everything larger or smaller by the same factor, and the widths the program
 * reads (client width, column widths) are in the same 96-DPI pixels. */
UiControl CreateControl_Window(UiControl parent, int32_t left, int32_t top, int32_t width,
                               int32_t height, UiEventCallback callback, void* context);
UiControl CreateControl_Label(UiControl parent, int32_t left, int32_t top, int32_t width,
                              int32_t height, UiEventCallback callback, void* context);
UiControl CreateControl_PictureBox(UiControl parent, int32_t left, int32_t top, int32_t width,
                                   int32_t height, UiEventCallback callback, void* context);
UiControl CreateControl_ProgressBar(UiControl parent, int32_t left, int32_t top, int32_t width,
                                    int32_t height, UiEventCallback callback, void* context);
UiControl CreateControl_Toolbar(UiControl parent, int32_t left, int32_t top, int32_t width,
                                int32_t height, UiEventCallback callback, void* context);
UiControl CreateControl_ListView(UiControl parent, int32_t left, int32_t top, int32_t width,
                                 int32_t height, UiEventCallback callback, void* context);

int32_t ControlSendMessage(UiControl control, int32_t message, int32_t property, UiValue* value);
void ControlSyncGeometry(UiControl control, int32_t resized);
void ControlDestroy(UiControl control);
void ControlShow(UiControl window); /* shows a window and raises UI_EVENT_CREATED first */
void ControlSetEnabled(UiControl control, int32_t enabled);
int32_t ControlGetEnabled(UiControl control);
/* Hover-highlight level of a picture box: 0 rest .. 8 full; values outside are
 * drawn as the nearest end. */
void ControlSetHoverLevel(UiControl control, int32_t level);
int32_t ControlGetHoverLevel(UiControl control);
/* While busy is non-zero the pointer over the window (and the controls in it)
 * shows the desktop's busy cursor; clicks still reach the controls. */
void ControlSetBusyCursor(UiControl window, int32_t busy);

/* Toolbar buttons: returns the new button's 0-based index. */
int32_t InsertButton_Toolbar(UiControl toolbar, int32_t position, const UiText* caption);

/* List view. position -1 appends. */
int32_t InsertColumn_ListView(UiControl list, int32_t position, const UiText* title, int32_t width);
int32_t GetColumnWidth_ListView(UiControl list, int32_t column);
int32_t InsertItem_ListView(UiControl list, int32_t position); /* returns the new row */
void SetItemTitle_ListView(UiControl list, int32_t row, int32_t column, const UiText* text);
UiText* GetItemTitle_ListView(UiControl list, int32_t row, int32_t column);

/* Dialogs, modal to the window. */
/* Buttons are the captions split at "&&"; returns the 0-based index of the one
 * pressed, -1 when the box was closed without pressing any. */
int32_t EngineMessageBox(const UiText* title, const UiText* message, const UiText* captions);
/* Returns the typed text; *dismissed is set non-zero when the box was closed
 * without pressing the button. */
UiText* EngineInputBox(const UiText* prompt, const UiText* buttonCaption, int32_t* dismissed);
/* The desktop's standard message box with one OK button. */
void SystemMessageBox(const UiText* title, const UiText* message);
/* Returns the chosen folder, or an empty buffer when cancelled. */
UiText* EngineBrowseForFolder(const UiText* title, const UiText* initialFolder, int32_t editBox);
/* The user's documents folder (XDG), or an empty buffer when there is none. */
UiText* EngineDocumentsFolder(void);

#ifdef __cplusplus
}
#endif

#endif
