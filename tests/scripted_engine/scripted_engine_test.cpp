// Drives the scripted engine the way the program does, through its C interface.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/scripted_engine/script.h"
#include "text/convert.h"
#include "text/message_pump.h"
#include "text/system_texts.h"
#include "ui_engine/engine_abi.h"
#include "ui_engine/ui.h"

namespace tw::scripted {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::u16string Number(int32_t n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

UiText* Buffer(const std::u16string& text) {
  return MakeTextBuffer(reinterpret_cast<const uint16_t*>(text.data()),
                        static_cast<int32_t>(text.size()));
}

std::u16string Take(UiText* buffer) {
  std::u16string text;
  if (buffer != nullptr && buffer->byteLength > 2) {
    text.assign(reinterpret_cast<const char16_t*>(buffer->units), buffer->byteLength / 2 - 1);
  }
  ReleaseTextBuffer(buffer);
  return text;
}

void SetText(UiControl control, const std::u16string& text) {
  UiText* buffer = Buffer(text);
  UiValue value{0, buffer};
  ControlSendMessage(control, UI_MSG_SET, UI_PROP_TEXT, &value);
  ReleaseTextBuffer(buffer);
}

std::u16string GetText(UiControl control) {
  UiValue value{0, nullptr};
  ControlSendMessage(control, UI_MSG_GET, UI_PROP_TEXT, &value);
  return Take(value.text);
}

int64_t GetNumber(UiControl control, int32_t property) {
  UiValue value{-99, nullptr};
  ControlSendMessage(control, UI_MSG_GET, property, &value);
  return value.number;
}

// A small program: a window that quits the loop when closed, and whatever
// handlers a test gives its controls. Events are noted in arrival order.
struct Program {
  std::function<void(UiControl, int32_t, int32_t)> onEvent;
  std::vector<std::string> notes;
  UiControl window = 0;

  static int32_t Callback(void* context, int32_t code, int32_t a, int32_t, int32_t, int32_t);
};

struct Handle {
  Program* program;
  UiControl id = 0;
};

std::vector<std::unique_ptr<Handle>> gHandles;

int32_t Program::Callback(void* context, int32_t code, int32_t a, int32_t, int32_t, int32_t) {
  auto* handle = static_cast<Handle*>(context);
  Program& p = *handle->program;
  if (code == UI_EVENT_CLOSED) EngineQuitMessageLoop(7);
  if (p.onEvent) p.onEvent(handle->id, code, a);
  return 0;
}

class ScriptedEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tw_scripted_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    setenv("TW_UI_RECORD", (dir_ / "record.txt").c_str(), 1);
    unsetenv("TW_UI_SCRIPT");
    unsetenv("TW_UI_DOCUMENTS");
    setenv("TW_UI_DEADLINE_MS", "20000", 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Script(const std::string& text) {
    std::ofstream(dir_ / "script.txt", std::ios::binary) << text;
    setenv("TW_UI_SCRIPT", (dir_ / "script.txt").c_str(), 1);
  }

  // Starts the engine and makes the window (id 1).
  void Start() {
    ASSERT_EQ(EngineStartup(nullptr), 1);
    program_.window = Create(CreateControl_Window, 0, 50, 50, 522, 442);
  }

  UiControl Create(decltype(&CreateControl_Label) create, UiControl parent, int32_t left,
                   int32_t top, int32_t width, int32_t height) {
    gHandles.push_back(std::make_unique<Handle>(Handle{&program_}));
    Handle* handle = gHandles.back().get();
    handle->id = create(parent, left, top, width, height, &Program::Callback, handle);
    return handle->id;
  }

  UiControl Timer(int32_t interval) {
    gHandles.push_back(std::make_unique<Handle>(Handle{&program_}));
    Handle* handle = gHandles.back().get();
    handle->id = EngineCreateTimer(interval, &Program::Callback, handle);
    return handle->id;
  }

  std::vector<std::string> Lines() const {
    std::ifstream in(dir_ / "record.txt", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  bool Has(const std::string& line) const {
    const auto lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  std::vector<std::string> Starting(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& line : Lines()) {
      if (line.rfind(prefix, 0) == 0) out.push_back(line);
    }
    return out;
  }

  fs::path dir_;
  Program program_;
};

TEST_F(ScriptedEngine, ControlsAndPropertiesAreRecordedAndReadBack) {
  Start();
  const UiControl label = Create(CreateControl_Label, program_.window, 16, 128, 496, 24);
  const UiControl face = Create(CreateControl_PictureBox, program_.window, 64, 64, 120, 57);
  const UiControl bar = Create(CreateControl_ProgressBar, program_.window, 256, 400, 256, 32);
  ASSERT_EQ(label, 2);
  ASSERT_EQ(face, 3);
  ASSERT_EQ(bar, 4);

  // Texts survive the round trip exactly; the record escapes what would split a line.
  const std::u16string tricky = u"下载\tC:\\镜像\n完成 \U0001F600";
  SetText(label, tricky);
  EXPECT_EQ(GetText(label), tricky);
  // A returned buffer counts its terminating zero unit in its length.
  SetText(label, u"x");
  UiValue read{0, nullptr};
  ControlSendMessage(label, UI_MSG_GET, UI_PROP_TEXT, &read);
  ASSERT_NE(read.text, nullptr);
  ASSERT_EQ(read.text->byteLength, 4u);
  EXPECT_EQ(read.text->units[0], u'x');
  EXPECT_EQ(read.text->units[1], 0);
  ReleaseTextBuffer(read.text);
  SetText(label, u"");
  EXPECT_EQ(GetText(label), u"");

  UiValue value{42, nullptr};
  EXPECT_EQ(ControlSendMessage(bar, UI_MSG_SET, UI_PROP_VALUE, &value), 1);
  EXPECT_EQ(GetNumber(bar, UI_PROP_VALUE), 42);
  EXPECT_EQ(GetNumber(bar, UI_PROP_RANGE_MAX), 100);
  EXPECT_EQ(GetNumber(label, UI_PROP_CLIENT_WIDTH), 492);
  value.number = 5;
  EXPECT_EQ(ControlSendMessage(label, UI_MSG_SET, UI_PROP_CLIENT_WIDTH, &value), 0);
  EXPECT_EQ(ControlSendMessage(99, UI_MSG_GET, UI_PROP_VALUE, &value), 0);

  ControlSetEnabled(face, 1);  // already enabled: no line
  ControlSetEnabled(face, 0);
  ControlSetEnabled(face, 0);
  EXPECT_EQ(ControlGetEnabled(face), 0);
  ControlSetHoverLevel(face, 9);
  ControlSetHoverLevel(face, 9);
  EXPECT_EQ(ControlGetHoverLevel(face), 9);

  UiText* empty = Buffer(u"");
  value = {0, empty};
  ControlSendMessage(program_.window, UI_MSG_SET, UI_PROP_BACKGROUND, &value);
  ReleaseTextBuffer(empty);

  EXPECT_EQ(Lines(), (std::vector<std::string>{
                         "control 1 window 0 50 50 522 442",
                         "control 2 label 1 16 128 496 24",
                         "control 3 picture 1 64 64 120 57",
                         "control 4 progress 1 256 400 256 32",
                         "text 2 下载\\tC:\\\\镜像\\n完成 😀",
                         "text 2 x",
                         "text 2 ",
                         "value 4 42",
                         "enabled 3 0",
                         "hover 3 9",
                         "hover 3 9",
                         "background 1 ",
                     }));
}

TEST_F(ScriptedEngine, ListsAndToolbarsKeepTheirItems) {
  Start();
  const UiControl bar = Create(CreateControl_Toolbar, program_.window, 1, 32, 517, 28);
  const UiControl list = Create(CreateControl_ListView, program_.window, 16, 152, 496, 240);
  UiText* about = Buffer(u"关于");
  UiText* help = Buffer(u"帮助");
  EXPECT_EQ(InsertButton_Toolbar(bar, -1, about), 0);
  EXPECT_EQ(InsertButton_Toolbar(bar, -1, help), 1);
  EXPECT_EQ(InsertButton_Toolbar(bar, 0, help), 0);
  EXPECT_EQ(InsertButton_Toolbar(list, -1, help), -1);

  EXPECT_EQ(InsertColumn_ListView(list, -1, about, 204), 0);
  EXPECT_EQ(InsertColumn_ListView(list, -1, help, 0), 1);
  EXPECT_EQ(GetColumnWidth_ListView(list, 0), 204);
  EXPECT_EQ(GetColumnWidth_ListView(list, 1), 0);
  EXPECT_EQ(GetColumnWidth_ListView(list, 2), 0);

  EXPECT_EQ(InsertItem_ListView(list, -1), 0);
  EXPECT_EQ(InsertItem_ListView(list, -1), 1);
  SetItemTitle_ListView(list, 0, 0, about);
  SetItemTitle_ListView(list, 1, 1, help);
  SetItemTitle_ListView(list, 5, 0, help);  // no such row: ignored
  EXPECT_EQ(GetNumber(list, UI_PROP_ROW_COUNT), 2);
  EXPECT_EQ(Take(GetItemTitle_ListView(list, 0, 0)), u"关于");
  EXPECT_EQ(Take(GetItemTitle_ListView(list, 1, 1)), u"帮助");
  EXPECT_EQ(Take(GetItemTitle_ListView(list, 1, 0)), u"");
  EXPECT_EQ(Take(GetItemTitle_ListView(list, 9, 0)), u"");

  // A row inserted in front moves the others down with their cells.
  EXPECT_EQ(InsertItem_ListView(list, 0), 0);
  EXPECT_EQ(Take(GetItemTitle_ListView(list, 1, 0)), u"关于");

  UiValue value{1, nullptr};
  ControlSendMessage(list, UI_MSG_SET, UI_PROP_SELECTED_ROW, &value);
  EXPECT_EQ(GetNumber(list, UI_PROP_SELECTED_ROW), 1);
  ReleaseTextBuffer(about);
  ReleaseTextBuffer(help);

  const std::vector<std::string> expected = {
      "button 2 0 关于",   "button 2 1 帮助", "button 2 0 帮助", "column 3 0 204 关于",
      "column 3 1 0 帮助", "row 3 0",         "row 3 1",         "cell 3 0 0 关于",
      "cell 3 1 1 帮助",   "row 3 0",         "selected 3 1"};
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 3 + expected.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()), expected);
}

TEST_F(ScriptedEngine, DialogsTakeTheOldestAnswerOfTheirKindOrTheDefault) {
  Script(
      "# answers first, then the click that opens the dialogs\n"
      "answer-box 1\r\n"
      "answer-input  two  spaces \n"
      "answer-input-dismiss\n"
      "answer-browse /home/u/My Folder\n"
      "\n"
      "click text=选定下载\n"
      "wait ^sysbox\n"
      "close\n");
  setenv("TW_UI_DOCUMENTS", "/home/u/文档", 1);
  Start();
  const UiControl caption = Create(CreateControl_Label, program_.window, 1, 2, 117, 54);
  SetText(caption, u"选定下载");
  std::vector<std::u16string> got;
  program_.onEvent = [&](UiControl id, int32_t code, int32_t) {
    if (id != caption || code != UI_EVENT_CLICK) return;
    UiText* t = Buffer(u"关于");
    UiText* m = Buffer(u"line1\nline2");
    UiText* c = Buffer(u"确认&&取消");
    got.push_back(Number(EngineMessageBox(t, m, c)));
    got.push_back(Number(EngineMessageBox(t, m, c)));
    for (int i = 0; i < 3; ++i) {
      int32_t dismissed = -1;
      const std::u16string text = Take(EngineInputBox(t, c, &dismissed));
      got.push_back(text + u"|" + Number(dismissed));
    }
    got.push_back(Take(EngineBrowseForFolder(t, m, 1)));
    got.push_back(Take(EngineBrowseForFolder(t, m, 0)));
    SystemMessageBox(t, m);
    for (UiText* b : {t, m, c}) ReleaseTextBuffer(b);
  };
  EXPECT_EQ(EngineRunMessageLoop(), 7);
  EXPECT_EQ(got, (std::vector<std::u16string>{u"1", u"0", u" two  spaces |0", u"|1", u"|1",
                                              u"/home/u/My Folder", u""}));
  EXPECT_EQ(Take(EngineDocumentsFolder()), u"/home/u/文档");

  const std::string box = "msgbox 关于\tline1\\nline2\t确认&&取消\t-> ";
  EXPECT_EQ(Starting("msgbox"), (std::vector<std::string>{box + "1", box + "0"}));
  EXPECT_EQ(Starting("inputbox"),
            (std::vector<std::string>{"inputbox 关于\t确认&&取消\t->  two  spaces \t0",
                                      "inputbox 关于\t确认&&取消\t-> \t1",
                                      "inputbox 关于\t确认&&取消\t-> \t1"}));
  EXPECT_EQ(Starting("browse"),
            (std::vector<std::string>{"browse 关于\tline1\\nline2\t1\t-> /home/u/My Folder",
                                      "browse 关于\tline1\\nline2\t0\t-> "}));
  EXPECT_TRUE(Has("sysbox 关于\tline1\\nline2"));
  EXPECT_TRUE(Has("event 2 2 0"));
  EXPECT_TRUE(Has("quit 7"));
}

TEST_F(ScriptedEngine, WaitsSeeOldOrOnlyNewLinesAndTimeOutByClosing) {
  Script("wait ^text 2 ready$\nwait-new ready$ 150\nclose\n");
  Start();
  const UiControl label = Create(CreateControl_Label, program_.window, 0, 0, 10, 10);
  SetText(label, u"ready");
  std::vector<int32_t> codes;
  program_.onEvent = [&](UiControl, int32_t code, int32_t) { codes.push_back(code); };
  EXPECT_EQ(EngineRunMessageLoop(), 7);
  // The first wait matched the old line; the second waited for a new one in vain,
  // and the script stopped there: the window was closed once, not twice.
  EXPECT_TRUE(Has("timeout wait-new ready$ 150"));
  EXPECT_EQ(codes, std::vector<int32_t>{UI_EVENT_CLOSED});
  EXPECT_EQ(Starting("event 1 6").size(), 1u);
}

TEST_F(ScriptedEngine, WaitSeesLinesFromOtherThreadsWhileTheLoopRuns) {
  Script("wait ^text 2 read back$ 5000\nclose\n");
  Start();
  const UiControl label = Create(CreateControl_Label, program_.window, 0, 0, 10, 10);
  std::thread worker([&] {
    std::this_thread::sleep_for(50ms);
    SetText(label, u"from worker");
    EXPECT_EQ(GetText(label), u"from worker");  // a read waits for the UI thread's answer
    SetText(label, u"read back");
  });
  EXPECT_EQ(EngineRunMessageLoop(), 7);
  worker.join();
  EXPECT_FALSE(Has("timeout wait ^text 2 read back$ 5000"));
}

TEST_F(ScriptedEngine, OtherThreadsGetEmptyResultsOnceTheLoopHasEnded) {
  Script("close\n");
  Start();
  const UiControl label = Create(CreateControl_Label, program_.window, 0, 0, 10, 10);
  EXPECT_EQ(EngineRunMessageLoop(), 7);
  const size_t before = Lines().size();
  std::thread late([&] {
    SetText(label, u"late");
    EXPECT_EQ(ControlGetEnabled(label), 0);
    EXPECT_EQ(Take(GetItemTitle_ListView(label, 0, 0)), u"");
    UiText* t = Buffer(u"title");
    EXPECT_EQ(EngineMessageBox(t, t, t), -1);
    int32_t dismissed = 0;
    EXPECT_EQ(Take(EngineInputBox(t, t, &dismissed)), u"");
    EXPECT_EQ(dismissed, 1);
    ReleaseTextBuffer(t);
  });
  late.join();
  EXPECT_EQ(Lines().size(), before);
  // The UI thread itself still reaches its controls, e.g. from an exit routine.
  EXPECT_EQ(ControlGetEnabled(label), 1);
}

TEST_F(ScriptedEngine, AQuitFromAnotherThreadReleasesCallersThatWait) {
  Start();
  const UiControl label = Create(CreateControl_Label, program_.window, 0, 0, 10, 10);
  // The UI thread is busy and never pumps, so this caller waits until the quit.
  std::atomic<bool> returned = false;
  std::thread caller([&] {
    SetText(label, u"never");
    returned = true;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(returned);
  std::thread([] { EngineQuitMessageLoop(3); }).join();
  caller.join();
  EXPECT_EQ(EngineRunMessageLoop(), 3);
  EXPECT_FALSE(Has("text 2 never"));
}

TEST_F(ScriptedEngine, ManyThreadsCallingWhileTheLoopEndsNeitherHangNorLoseCalls) {
  Script("wait ^text 2 0-99$ 10000\nclose\n");
  Start();
  const UiControl label = Create(CreateControl_Label, program_.window, 0, 0, 10, 10);
  // Each thread writes and reads back; some are still calling when the window
  // closes and must come back with empty results, not hang.
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 100 * (t + 1); ++i) {
        const std::string digits = std::to_string(t) + "-" + std::to_string(i);
        const std::u16string text(digits.begin(), digits.end());
        SetText(label, text);
        GetText(label);
      }
    });
  }
  EXPECT_EQ(EngineRunMessageLoop(), 7);
  for (auto& thread : threads) thread.join();
  EXPECT_FALSE(Has("timeout wait ^text 2 0-99$ 10000"));
  // Every write of thread 0 finished before the close it waited for.
  for (int i = 0; i < 100; ++i) EXPECT_TRUE(Has("text 2 0-" + std::to_string(i))) << i;
}

TEST_F(ScriptedEngine, QueuedHoverEventsRunInsideAHandlerThatPumps) {
  Script("hover text=选定下载 1 0\nsleep 100\nclose\n");
  Start();
  const UiControl caption = Create(CreateControl_Label, program_.window, 1, 2, 117, 54);
  SetText(caption, u"选定下载");
  program_.onEvent = [&](UiControl, int32_t code, int32_t a) {
    if (code != UI_EVENT_HOVER) return;
    program_.notes.push_back("begin " + std::to_string(a));
    for (int i = 0; i < 3; ++i) EngineProcessMessages();
    program_.notes.push_back("end " + std::to_string(a));
  };
  EXPECT_EQ(EngineRunMessageLoop(), 7);
  EXPECT_EQ(program_.notes, (std::vector<std::string>{"begin 1", "begin 0", "end 0", "end 1"}));
}

TEST_F(ScriptedEngine, PumpingInsideAHandlerNeverAdvancesTheScript) {
  // The answer is queued by the step after the click; a handler that pumps
  // for a while must still not see it.
  Script("click 2\nanswer-box 5\nwait ^msgbox\nclose\n");
  Start();
  const UiControl caption = Create(CreateControl_Label, program_.window, 0, 0, 10, 10);
  program_.onEvent = [&](UiControl id, int32_t code, int32_t) {
    if (id != caption || code != UI_EVENT_CLICK) return;
    const auto until = std::chrono::steady_clock::now() + 100ms;
    while (std::chrono::steady_clock::now() < until) EngineProcessMessages();
    UiText* t = Buffer(u"title");
    program_.notes.push_back(std::to_string(EngineMessageBox(t, t, t)));
    ReleaseTextBuffer(t);
  };
  EXPECT_EQ(EngineRunMessageLoop(), 7);
  EXPECT_EQ(program_.notes, std::vector<std::string>{"0"});
}

TEST_F(ScriptedEngine, DisabledControlsAndTheirChildrenGetNoInput) {
  Script(
      "click 3\nclick 4\nselect 2\nwait ^dropped 2 7 2$\n"
      "click text=enable\nclick 4\nselect 1\nwait ^event 2 7 1$\nclose\n");
  Start();
  const UiControl list = Create(CreateControl_ListView, program_.window, 0, 0, 100, 100);
  const UiControl face = Create(CreateControl_PictureBox, program_.window, 0, 0, 10, 10);
  const UiControl caption = Create(CreateControl_Label, face, 1, 2, 8, 8);
  const UiControl enabler = Create(CreateControl_Label, program_.window, 0, 0, 10, 10);
  SetText(enabler, u"enable");
  ControlSetEnabled(list, 0);
  ControlSetEnabled(face, 0);
  program_.onEvent = [&](UiControl id, int32_t code, int32_t a) {
    program_.notes.push_back(std::to_string(id) + " " + std::to_string(code) + " " +
                             std::to_string(a));
    if (id == enabler) {
      ControlSetEnabled(list, 1);
      ControlSetEnabled(face, 1);
    }
  };
  EXPECT_EQ(EngineRunMessageLoop(), 7);
  EXPECT_EQ(program_.notes, (std::vector<std::string>{"5 2 0", "4 2 0", "2 7 1", "1 6 0"}));
  EXPECT_TRUE(Has("dropped 3 2 0"));
  EXPECT_TRUE(Has("dropped 4 2 0"));  // its picture box is disabled
  EXPECT_EQ(Starting("selected"), std::vector<std::string>{"selected 2 1"});
  (void)caption;
}

TEST_F(ScriptedEngine, TimersTickUntilStoppedAndNeverInsideTheirOwnHandler) {
  Script("wait ^timer 2 0$ 5000\nsleep 100\nclose\n");
  Start();
  const UiControl timer = Timer(10);
  int ticks = 0;
  int depth = 0;
  int deepest = 0;
  program_.onEvent = [&](UiControl id, int32_t code, int32_t) {
    if (id != timer || code != UI_EVENT_TIMER) return;
    deepest = std::max(deepest, ++depth);
    // Pumps past the next due time: the timer must not fire in here.
    const auto until = std::chrono::steady_clock::now() + 30ms;
    while (std::chrono::steady_clock::now() < until) EngineProcessMessages();
    if (++ticks == 3) EngineSetTimerInterval(timer, 0);
    --depth;
  };
  EXPECT_EQ(EngineRunMessageLoop(), 7);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(deepest, 1);
  EXPECT_EQ(Starting("tick ").size(), 3u);
  EXPECT_EQ(Starting("timer "), (std::vector<std::string>{"timer 2 10", "timer 2 0"}));
  EXPECT_TRUE(Has("event 2 5 0"));
}

TEST_F(ScriptedEngine, TheDeadlineClosesTheWindowWithoutAScript) {
  setenv("TW_UI_DEADLINE_MS", "100", 1);
  Start();
  EXPECT_EQ(EngineRunMessageLoop(), 7);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"control 1 window 0 50 50 522 442", "deadline",
                                               "event 1 6 0", "quit 7"}));
}

TEST_F(ScriptedEngine, ABrokenStepIsReportedAndEndsTheRun) {
  for (const std::string& step :
       {std::string("click text=nothing"), std::string("jump 3"), std::string("wait (")}) {
    Script("sleep 1\n" + step + "\nanswer-box 1\n");
    Start();
    EXPECT_EQ(EngineRunMessageLoop(), 7) << step;
    const auto errors = Starting("error ");
    ASSERT_EQ(errors.size(), 1u) << step;
    EXPECT_TRUE(errors[0].ends_with(": " + step)) << errors[0];
    fs::remove(dir_ / "record.txt");
  }
  setenv("TW_UI_SCRIPT", (dir_ / "missing.txt").c_str(), 1);
  Start();
  EXPECT_EQ(EngineRunMessageLoop(), 7);
  EXPECT_EQ(Starting("error cannot read the script").size(), 1u);
}

TEST_F(ScriptedEngine, TheProgramsBindingLoadsItAndItsGbkTextsArriveAsUtf8) {
  Script("wait ^text 2 选定下载$\nclick text=选定下载\nwait-new ^text 2 clicked$\nclose\n");
  ui::EngineSearch search;
  search.currentDirectory = SCRIPTED_ENGINE_DIR;
  search.locationFiles = {};
  ASSERT_TRUE(ui::Start(search));
  const UiControl window = ui::CreateControl(ui::ControlKind::Window, 0, {50, 50, 522, 442},
                                             [](int32_t code, int32_t, int32_t, int32_t, int32_t) {
                                               if (code == UI_EVENT_CLOSED)
                                                 ui::Engine().EngineQuitMessageLoop(0);
                                               return 0;
                                             });
  UiControl caption = 0;
  caption = ui::CreateControl(ui::ControlKind::Label, window, {1, 2, 117, 54},
                              [&](int32_t code, int32_t, int32_t, int32_t, int32_t) {
                                if (code == UI_EVENT_CLICK) ui::SetText(caption, "clicked");
                                return 0;
                              });
  ui::SetText(caption, Texts().downloadButton);
  EXPECT_EQ(ui::GetText(caption), Texts().downloadButton);
  EXPECT_EQ(ui::Engine().EngineRunMessageLoop(), 0);
  EXPECT_TRUE(Has("text 2 " + GbkToUtf8(Texts().downloadButton)));
  EXPECT_TRUE(Has("text 2 clicked"));
  RemoveMessagePump();
}

TEST(ScriptParsing, ArgumentsKeepTheirSpacesAndTrailingNumbers) {
  const Step hover = ParseStep("hover text=选 定 1 0 1");
  EXPECT_EQ(hover.kind, StepKind::Hover);
  EXPECT_EQ(hover.target, "text=选 定");
  EXPECT_EQ(hover.numbers, (std::vector<int32_t>{1, 0, 1}));
  EXPECT_EQ(ParseStep("hover 7").kind, StepKind::Invalid);

  const Step wait = ParseStep("wait MB/s   [1-9]\\d*MB$ 20000");
  EXPECT_EQ(wait.text, "MB/s   [1-9]\\d*MB$");
  EXPECT_EQ(wait.timeoutMs, 20000);
  EXPECT_EQ(ParseStep("wait ^selected").timeoutMs, 10000);
  // A pattern ending in a number needs its timeout written out.
  EXPECT_EQ(ParseStep("wait ^value 7 100 10000").text, "^value 7 100");

  EXPECT_EQ(ParseStep("answer-input 　　").text, "　　");
  EXPECT_EQ(ParseStep("answer-input").text, "");
  EXPECT_EQ(ParseStep("toolbar -1").numbers, std::vector<int32_t>{-1});
  for (const char* bad : {"toolbar", "toolbar x", "sleep -5", "select 1 2", "close now",
                          "answer-box 1x", "click", "wait", "Sleep 5"}) {
    EXPECT_EQ(ParseStep(bad).kind, StepKind::Invalid) << bad;
  }
  const auto steps = ParseScript("# note\n\n   \r\nsleep 5\r\nclose");
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[0].line, "sleep 5");
  EXPECT_EQ(steps[1].kind, StepKind::Close);
}

}  // namespace
}  // namespace tw::scripted
