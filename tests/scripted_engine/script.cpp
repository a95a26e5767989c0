#include "tests/scripted_engine/script.h"

#include <charconv>

namespace tw::scripted {

namespace {

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

Step Invalid(Step step, std::string why) {
  step.kind = StepKind::Invalid;
  step.text = std::move(why);
  return step;
}

// A wait's last word is its timeout when it is a whole number; a pattern that
// ends in a number therefore needs the timeout written out.
Step ParseWait(Step step, std::string_view rest) {
  std::string_view pattern = rest;
  const size_t lastSpace = rest.find_last_of(' ');
  if (lastSpace != std::string_view::npos) {
    if (auto timeout = ParseInteger(rest.substr(lastSpace + 1))) {
      if (*timeout < 0) return Invalid(std::move(step), "negative timeout");
      step.timeoutMs = *timeout;
      pattern = rest.substr(0, lastSpace);
      while (!pattern.empty() && pattern.back() == ' ') pattern.remove_suffix(1);
    }
  }
  if (pattern.empty()) return Invalid(std::move(step), "wait needs a pattern");
  step.text = std::string(pattern);
  try {
    step.pattern = std::make_shared<const std::regex>(step.text, std::regex::ECMAScript);
  } catch (const std::regex_error& e) {
    return Invalid(std::move(step), std::string("bad pattern: ") + e.what());
  }
  return step;
}

}  // namespace

std::optional<int32_t> ParseInteger(std::string_view word) {
  int32_t value = 0;
  const char* end = word.data() + word.size();
  const auto [ptr, ec] = std::from_chars(word.data(), end, value);
  if (word.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

Step ParseStep(std::string_view line) {
  Step step;
  step.line = std::string(line);
  const size_t space = line.find(' ');
  const std::string_view keyword = line.substr(0, space);
  // The rest keeps its spaces: answer texts and paths may hold them.
  const std::string_view rest =
      space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
  const std::vector<std::string_view> words = Words(rest);

  auto oneNumber = [&](StepKind kind) {
    if (words.size() != 1) return Invalid(std::move(step), "expected one number");
    const auto n = ParseInteger(words[0]);
    if (!n) return Invalid(std::move(step), "expected one number");
    step.kind = kind;
    step.numbers.push_back(*n);
    return step;
  };

  if (keyword == "sleep") {
    step = oneNumber(StepKind::Sleep);
    if (step.kind == StepKind::Sleep && step.numbers[0] < 0) {
      return Invalid(std::move(step), "negative sleep");
    }
    return step;
  }
  if (keyword == "wait" || keyword == "wait-new") {
    step.kind = keyword == "wait" ? StepKind::Wait : StepKind::WaitNew;
    return ParseWait(std::move(step), rest);
  }
  if (keyword == "click") {
    if (rest.empty()) return Invalid(std::move(step), "click needs a target");
    step.kind = StepKind::Click;
    step.target = std::string(rest);
    return step;
  }
  if (keyword == "hover") {
    // Trailing whole numbers are the states; what stands before them is the
    // target, which may itself hold spaces (text=...).
    size_t states = 0;
    while (states + 1 < words.size() && ParseInteger(words[words.size() - 1 - states])) ++states;
    if (states == 0) return Invalid(std::move(step), "hover needs a target and states");
    const std::string_view lastTargetWord = words[words.size() - 1 - states];
    const size_t targetEnd =
        static_cast<size_t>(lastTargetWord.data() - rest.data()) + lastTargetWord.size();
    for (size_t i = words.size() - states; i < words.size(); ++i) {
      step.numbers.push_back(*ParseInteger(words[i]));
    }
    step.kind = StepKind::Hover;
    step.target = std::string(rest.substr(0, targetEnd));
    return step;
  }
  if (keyword == "toolbar") return oneNumber(StepKind::Toolbar);
  if (keyword == "select") return oneNumber(StepKind::Select);
  if (keyword == "answer-box") return oneNumber(StepKind::AnswerBox);
  if (keyword == "answer-input") {
    step.kind = StepKind::AnswerInput;
    step.text = std::string(rest);
    return step;
  }
  if (keyword == "answer-browse") {
    step.kind = StepKind::AnswerBrowse;
    step.text = std::string(rest);
    return step;
  }
  auto bare = [&](StepKind kind) {
    if (!words.empty()) return Invalid(std::move(step), "takes no arguments");
    step.kind = kind;
    return step;
  };
  if (keyword == "answer-input-dismiss") return bare(StepKind::AnswerInputDismiss);
  if (keyword == "answer-browse-cancel") return bare(StepKind::AnswerBrowseCancel);
  if (keyword == "close") return bare(StepKind::Close);
  return Invalid(std::move(step), "unknown step");
}

namespace {

// "busy <click or close step>".
Step ParseBusyStep(std::string_view line) {
  std::string_view inner = line.substr(line.find(' ') + 1);
  Step step = ParseStep(inner);
  step.line = std::string(line);
  if (step.kind != StepKind::Click && step.kind != StepKind::Close &&
      step.kind != StepKind::Invalid) {
    step.kind = StepKind::Invalid;
    step.text = "busy takes a click or a close";
  }
  step.whileBusy = true;
  return step;
}

}  // namespace

std::vector<Step> ParseScript(std::string_view content) {
  std::vector<Step> steps;
  size_t pos = 0;
  while (pos < content.size()) {
    size_t end = content.find('\n', pos);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(' ') == std::string_view::npos || line.front() == '#') continue;
    steps.push_back(line.starts_with("busy ") ? ParseBusyStep(line) : ParseStep(line));
  }
  return steps;
}

}  // namespace tw::scripted
