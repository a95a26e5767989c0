// A regular expression applied to one subject text. Create matches once and
// keeps every match, its UTF-16 index and its groups, so the reads that follow
// are plain lookups; Replace runs the expression again in the object's own
// engine heap. Texts are GBK at this interface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/text.h"

namespace tw {

class ScriptHeap;

class RegexObject {
 public:
  RegexObject();
  ~RegexObject();
  // Copies share the engine heap until either side runs Create again.
  RegexObject(const RegexObject&);
  RegexObject& operator=(const RegexObject&);

  // `quoteEscape` turns every quote marker (Texts().quoteMarker) in the
  // pattern into a double quote, for callers that cannot write one. False when the pattern does not
  // compile or the engine could not run it; every read is empty then.
  bool Create(const Text& pattern, const Text& subject, bool caseSensitive = false,
              bool multiLine = true, bool global = true, bool quoteEscape = false);
  Text GetPattern() const;
  // The subject with the matches replaced ($1, $& and the like are expanded);
  // all of them when the expression is global, otherwise the first.
  Text Replace(const Text& replacement);
  int32_t GetMatchCount();
  // Numbers are 1-based. `position`, when given, receives the byte offset of
  // the text in the subject, or -2 when it cannot be found there.
  Text GetMatchText(int32_t match, int32_t* position = nullptr);
  // A group that took no part in the match gives empty text.
  Text GetSubMatchText(int32_t match, int32_t subMatch, int32_t* position = nullptr);
  // Number of groups, read from the first match; 0 without matches.
  int32_t GetSubMatchCount();

 private:
  struct Match {
    Text text;
    int32_t index = 0;  // UTF-16 index in the subject
    std::vector<Text> groups;
  };

  int32_t PositionOf(const Text& found, int32_t index) const;
  const Match* MatchAt(int32_t match) const;

  std::shared_ptr<ScriptHeap> engine_;
  Text pattern_;
  Text subject_;
  std::string patternUtf8_;
  std::string subjectUtf8_;
  std::string flags_;
  bool ignoreCase_ = true;
  bool created_ = false;  // the last Create obtained matches
  std::vector<Match> matches_;
};

}  // namespace tw
