#include "script/regex_object.h"

#include <string_view>

#include "script/script_heap.h"
#include "text/convert.h"
#include "text/system_texts.h"

namespace tw {

namespace {

struct MatchJob {
  std::string_view pattern;
  std::string_view flags;
  std::string_view subject;
  bool global = false;
  std::vector<Text>* texts;           // per match: whole text, then each group
  std::vector<int32_t>* indexes;      // per match
  std::vector<int32_t>* groupCounts;  // per match
};

Text ReadGbk(duk_context* ctx, duk_idx_t index) {
  if (duk_is_undefined(ctx, index) || duk_is_null(ctx, index)) return Text();
  duk_size_t length = 0;
  const char* utf8 = duk_safe_to_lstring(ctx, index, &length);
  return Utf8ToGbk(std::string_view(utf8, length));
}

// Stack: [] -> [regexp]
void PushRegExp(duk_context* ctx, std::string_view pattern, std::string_view flags) {
  duk_get_global_string(ctx, "RegExp");
  duk_push_lstring(ctx, pattern.data(), pattern.size());
  duk_push_lstring(ctx, flags.data(), flags.size());
  duk_new(ctx, 2);
}

// Collects every match the way a global search does: after an empty match the
// search moves on by one so that it cannot stall.
duk_ret_t CollectMatches(duk_context* ctx, void* udata) {
  auto* job = static_cast<MatchJob*>(udata);
  PushRegExp(ctx, job->pattern, job->flags);                        // [re]
  duk_push_lstring(ctx, job->subject.data(), job->subject.size());  // [re s]
  for (;;) {
    duk_push_string(ctx, "exec");
    duk_dup(ctx, 1);
    duk_call_prop(ctx, 0, 1);  // [re s result]
    if (duk_is_null_or_undefined(ctx, -1)) break;
    const duk_idx_t result = duk_get_top_index(ctx);
    duk_get_prop_string(ctx, result, "index");
    job->indexes->push_back(duk_get_int(ctx, -1));
    duk_pop(ctx);
    const duk_size_t length = duk_get_length(ctx, result);
    const std::size_t first = job->texts->size();
    for (duk_size_t i = 0; i < length; ++i) {
      duk_get_prop_index(ctx, result, static_cast<duk_uarridx_t>(i));
      job->texts->push_back(ReadGbk(ctx, -1));
      duk_pop(ctx);
    }
    job->groupCounts->push_back(length == 0 ? 0 : static_cast<int32_t>(length - 1));
    if (!job->global) break;
    if (length > 0 && (*job->texts)[first].empty()) {
      duk_get_prop_string(ctx, 0, "lastIndex");
      const duk_double_t last = duk_get_number(ctx, -1);
      duk_pop(ctx);
      duk_push_number(ctx, last + 1);
      duk_put_prop_string(ctx, 0, "lastIndex");
    }
    duk_pop(ctx);
  }
  return 0;
}

struct ReplaceJob {
  std::string_view pattern;
  std::string_view flags;
  std::string_view subject;
  std::string_view replacement;
};

duk_ret_t ReplaceMatches(duk_context* ctx, void* udata) {
  auto* job = static_cast<ReplaceJob*>(udata);
  duk_push_lstring(ctx, job->subject.data(), job->subject.size());
  duk_push_string(ctx, "replace");
  PushRegExp(ctx, job->pattern, job->flags);
  duk_push_lstring(ctx, job->replacement.data(), job->replacement.size());
  duk_call_prop(ctx, -4, 2);
  return 1;
}

}  // namespace

RegexObject::RegexObject() = default;
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(const RegexObject&) = default;
RegexObject& RegexObject::operator=(const RegexObject&) = default;

bool RegexObject::Create(const Text& pattern, const Text& subject, bool caseSensitive,
                         bool multiLine, bool global, bool quoteEscape) {
  created_ = false;
  matches_.clear();
  // A copy may still be reading the shared heap; it keeps that one.
  if (!engine_ || engine_.use_count() > 1) engine_ = ScriptHeap::Create();
  pattern_ = quoteEscape ? ReplaceText(pattern, Texts().quoteMarker, "\"") : pattern;
  subject_ = subject;
  ignoreCase_ = !caseSensitive;
  patternUtf8_ = GbkToUtf8(pattern_);
  subjectUtf8_ = GbkToUtf8(subject_);
  flags_.clear();
  if (ignoreCase_) flags_ += 'i';
  if (multiLine) flags_ += 'm';
  if (global) flags_ += 'g';
  if (!engine_) return false;

  std::vector<Text> texts;
  std::vector<int32_t> indexes;
  std::vector<int32_t> groupCounts;
  MatchJob job{patternUtf8_, flags_, subjectUtf8_, global, &texts, &indexes, &groupCounts};
  if (!engine_->Run(CollectMatches, &job, 0)) return false;

  std::size_t next = 0;
  matches_.resize(indexes.size());
  for (std::size_t m = 0; m < indexes.size(); ++m) {
    Match& match = matches_[m];
    match.index = indexes[m];
    match.text = std::move(texts[next++]);
    for (int32_t g = 0; g < groupCounts[m]; ++g) match.groups.push_back(std::move(texts[next++]));
  }
  created_ = true;
  return true;
}

Text RegexObject::GetPattern() const { return engine_ ? pattern_ : Text(); }

Text RegexObject::Replace(const Text& replacement) {
  if (!engine_ || !created_) return Text();
  const std::string replacementUtf8 = GbkToUtf8(replacement);
  ReplaceJob job{patternUtf8_, flags_, subjectUtf8_, replacementUtf8};
  if (!engine_->Run(ReplaceMatches, &job, 1)) return Text();
  Text result = ReadGbk(engine_->context(), -1);
  duk_pop(engine_->context());
  return result;
}

int32_t RegexObject::GetMatchCount() { return static_cast<int32_t>(matches_.size()); }

const RegexObject::Match* RegexObject::MatchAt(int32_t match) const {
  if (match < 1 || static_cast<std::size_t>(match) > matches_.size()) return nullptr;
  return &matches_[match - 1];
}

// The engine counts UTF-16 units, the caller GBK bytes. A byte offset is never
// smaller than the unit index of the same place, so the text is searched for
// from that offset on.
int32_t RegexObject::PositionOf(const Text& found, int32_t index) const {
  const std::size_t from = index < 0 ? 0 : static_cast<std::size_t>(index);
  if (found.empty()) return from < subject_.size() ? 0 : -2;
  const std::size_t at = FindText(subject_, found, from, ignoreCase_);
  return at == kNotFound ? -2 : static_cast<int32_t>(at);
}

Text RegexObject::GetMatchText(int32_t match, int32_t* position) {
  const Match* m = MatchAt(match);
  if (m == nullptr) return Text();
  if (position != nullptr) *position = PositionOf(m->text, m->index);
  return m->text;
}

Text RegexObject::GetSubMatchText(int32_t match, int32_t subMatch, int32_t* position) {
  const Match* m = MatchAt(match);
  if (m == nullptr || subMatch < 1 || static_cast<std::size_t>(subMatch) > m->groups.size()) {
    return Text();
  }
  const Text& text = m->groups[subMatch - 1];
  if (position != nullptr) *position = PositionOf(text, m->index);
  return text;
}

int32_t RegexObject::GetSubMatchCount() {
  return matches_.empty() ? 0 : static_cast<int32_t>(matches_.front().groups.size());
}

}  // namespace tw
