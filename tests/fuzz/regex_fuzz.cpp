// RegexObject fed a pattern, a replacement and a subject from the fuzzer.
// Every call returns within the budget, and the match texts and positions
// it reports agree with the subject.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_clock.h"
#include "script/regex_object.h"

namespace {

using tw::RegexObject;
using tw::Text;
using tw::fuzz::Require;
using tw::fuzz::Timed;

// A position is -2 (not found) or the byte offset where the text stands in
// the subject; without the case option the bytes there are the very text.
void CheckPosition(const Text& subject, const Text& text, int32_t position, bool caseSensitive) {
  if (position == -2) return;
  Require(position >= 0 && static_cast<std::size_t>(position) <= subject.size(), "position inside");
  if (text.empty()) return;
  Require(static_cast<std::size_t>(position) + text.size() <= subject.size(), "text inside");
  if (caseSensitive) Require(subject.compare(position, text.size(), text) == 0, "text at position");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool caseSensitive = in.ConsumeBool();
  const bool multiLine = in.ConsumeBool();
  const bool global = in.ConsumeBool();
  const bool quoteEscape = in.ConsumeBool();
  const Text pattern = in.ConsumeRandomLengthString(256);
  const Text replacement = in.ConsumeRandomLengthString(32);
  const Text subject = in.ConsumeRemainingBytesAsString();

  auto regex = std::make_unique<RegexObject>();
  const bool created = Timed("Create", [&] {
    return regex->Create(pattern, subject, caseSensitive, multiLine, global, quoteEscape);
  });
  Timed("Replace", [&] { return regex->Replace(replacement); });
  const int32_t count = regex->GetMatchCount();
  Require(created || count == 0, "no matches without a collection");
  Require(global || count <= 1, "one match without the global flag");
  for (int32_t m = 1; m <= std::min(count, 64); ++m) {
    int32_t position = 0;
    const Text text = regex->GetMatchText(m, &position);
    CheckPosition(subject, text, position, caseSensitive);
    for (int32_t g = 1; g <= std::min(regex->GetSubMatchCount(), 16); ++g) {
      const Text group = regex->GetSubMatchText(m, g, &position);
      CheckPosition(subject, group, position, caseSensitive);
    }
  }
  Require(regex->GetMatchText(count + 1).empty(), "no match past the count");
  RegexObject copy = *regex;
  Timed("Create again", [&] { return regex->Create("x", subject); });
  Require(copy.GetMatchCount() == count, "a copy keeps its matches");
  Timed("destroy", [&] {
    regex.reset();
    return 0;
  });
  return 0;
}
