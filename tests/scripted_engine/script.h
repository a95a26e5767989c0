// The steps a test gives the engine, one per line of the script file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace tw::scripted {

enum class StepKind {
  Sleep,
  Wait,
  WaitNew,
  Click,
  Hover,
  Toolbar,
  Select,
  AnswerInput,
  AnswerInputDismiss,
  AnswerBox,
  AnswerBrowse,
  AnswerBrowseCancel,
  Close,
  Invalid,  // kept so the error is reported when the script reaches it
};

struct Step {
  StepKind kind = StepKind::Invalid;
  std::string line;              // as written, for "timeout" and "error" lines
  std::string target;            // click, hover: "12", "text=...", "kind=..."
  std::string text;              // answer texts, the wait pattern as written, or the error
  std::vector<int32_t> numbers;  // sleep ms, hover states, toolbar index, row, box answer
  int32_t timeoutMs = 10000;
  std::shared_ptr<const std::regex> pattern;
  // "busy click ..." / "busy close": the event is held until a handler of the
  // program next processes messages, as a user's click reaches a program that
  // is busy inside a handler.
  bool whileBusy = false;
};

std::vector<Step> ParseScript(std::string_view content);
Step ParseStep(std::string_view line);

// An integer written in full (optional minus sign, digits), or nullopt.
std::optional<int32_t> ParseInteger(std::string_view word);

}  // namespace tw::scripted
