#include "script/json_object.h"

#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "script/script_heap.h"
#include "text/convert.h"
#include "text/system_texts.h"

namespace tw {

namespace {

// Helpers every engine holds. Functions found on a value are never listed,
// counted or merged. A merge takes the source's value wherever the target's
// member is a scalar, null or missing, or where the source's member is not an
// object itself; only object meets object (or array meets array) recursively.
constexpr std::string_view kPrelude = R"JS(
function get__nodeValue(str_json, recursion) {
  for (var key in str_json) {
    var value = str_json[key];
    var kind = Object.prototype.toString.call(value);
    if (kind == '[object Object]' || kind == '[object Array]') {
      if (recursion) get__nodeValue(value, recursion);
    } else if (kind == '[object String]' || kind == '[object Number]' ||
               kind == '[object Boolean]') {
      str_all.push(value);
    }
  }
  return str_all;
}
function get__count(c) {
  return Object.prototype.toString.call(c) == '[object Array]' ? c.length : 0;
}
function get__name_All(a) {
  if (Object.prototype.toString.call(a) != '[object Object]') return '';
  var names = [];
  for (var key in a) {
    if (typeof a[key] != 'function') names.push(key);
  }
  return names.join('\r\n');
}
function get__extend(target, source) {
  if (Object.prototype.toString.call(target) == '[object Array]') {
    for (var i = 0; i < source.length; i++) target.push(source[i]);
    return target;
  }
  for (var key in source) {
    var mine = target[key], theirs = source[key];
    if (typeof mine == 'function') continue;
    if (mine !== null && typeof mine == 'object' && theirs !== null && typeof theirs == 'object') {
      target[key] = get__extend(mine, theirs);
    } else {
      target[key] = theirs;
    }
  }
  return target;
}
)JS";

// Reads text back with the backslash marker turned into a backslash again.
constexpr std::string_view kUnmark = ".replace(str_reg, '\\\\')";

enum Want : int { kWantNothing, kWantText, kWantBool, kWantNumber };

// Caller's values reach the script as this global, set just for the one
// evaluation that reads it, so that no value is ever taken for source text.
constexpr const char* kValueName = "str_value";

struct EvalJob {
  std::string_view source;
  int want;
  const std::string* value;  // nullptr: the source reads no value
};

duk_ret_t EvalBody(duk_context* ctx, void* udata) {
  auto* job = static_cast<EvalJob*>(udata);
  if (job->value != nullptr) {
    duk_push_global_object(ctx);
    duk_push_lstring(ctx, job->value->data(), job->value->size());
    duk_put_prop_string(ctx, -2, kValueName);
    duk_pop(ctx);
  }
  const duk_int_t rc = duk_peval_lstring(ctx, job->source.data(), job->source.size());
  if (job->value != nullptr) {
    duk_push_global_object(ctx);
    duk_del_prop_string(ctx, -1, kValueName);
    duk_pop(ctx);
  }
  if (rc != 0) return duk_throw(ctx);
  if (job->want == kWantBool) {
    duk_to_boolean(ctx, -1);
  } else if (!duk_is_null_or_undefined(ctx, -1)) {
    if (job->want == kWantText) duk_to_string(ctx, -1);
    if (job->want == kWantNumber) duk_to_number(ctx, -1);
  }
  return 1;
}

Text Index(int32_t index) { return std::to_string(index); }

Text Stringified(const Text& expression) {
  return "JSON.stringify(" + expression + ")" + Text(kUnmark);
}

// A string value as SetValue stores it: every backslash becomes the marker.
std::string Marked(const Text& value) {
  std::string utf8 = GbkToUtf8(value);
  std::string marked;
  marked.reserve(utf8.size());
  for (char c : utf8) {
    if (c == '\\') {
      marked += "\xE2\x90\x80";  // U+2400
    } else {
      marked += c;
    }
  }
  return marked;
}

bool IsNameByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c >= 0x80;
}

// True when `path` (UTF-8) is a member expression: names joined by dots,
// bracketed decimal indexes and bracketed quoted keys, nothing else. Such a
// path can name and read members but can call, assign or declare nothing, so
// a path is never a way to run script.
bool IsMemberPath(std::string_view path) {
  // Line terminators outside ASCII would let a statement end inside the path.
  if (path.find("\xE2\x80\xA8") != std::string_view::npos ||
      path.find("\xE2\x80\xA9") != std::string_view::npos) {
    return false;
  }
  std::size_t i = 0;
  const std::size_t n = path.size();
  auto name = [&] {
    const std::size_t start = i;
    while (i < n && IsNameByte(static_cast<unsigned char>(path[i]))) ++i;
    return i > start;
  };
  if (n > 0 && path[0] != '[' && !name()) return false;
  while (i < n) {
    if (path[i] == '.') {
      ++i;
      if (!name()) return false;
      continue;
    }
    if (path[i++] != '[') return false;
    if (i < n && (path[i] == '\'' || path[i] == '"')) {
      const char quote = path[i++];
      while (i < n && path[i] != quote) {
        if (path[i] == '\\') ++i;
        if (i >= n || path[i] == '\n' || path[i] == '\r') return false;
        ++i;
      }
      if (i++ >= n) return false;
    } else {
      const std::size_t start = i;
      while (i < n && path[i] >= '0' && path[i] <= '9') ++i;
      if (i == start) return false;
    }
    if (i >= n || path[i++] != ']') return false;
  }
  return true;
}

}  // namespace

JsonObject::JsonObject() : rootName_("da") { CreateEngine(); }

JsonObject::JsonObject(std::shared_ptr<ScriptHeap> engine)
    : rootName_("da"), engine_(std::move(engine)) {}

JsonObject::~JsonObject() = default;
// A shared engine can change behind either side's back, so neither may take it
// for untouched any more.
JsonObject::JsonObject(const JsonObject& other)
    : rootName_(other.rootName_), engine_(other.engine_) {
  other.pristine_ = false;
}

JsonObject& JsonObject::operator=(const JsonObject& other) {
  if (this == &other) return *this;
  rootName_ = other.rootName_;
  engine_ = other.engine_;
  pristine_ = false;
  other.pristine_ = false;
  return *this;
}

JsonObject::Result JsonObject::Evaluate(const Text& source, Want want, const std::string* value) {
  Result result;
  if (!engine_) return result;
  pristine_ = false;
  const std::string utf8 = GbkToUtf8(source);
  EvalJob job{utf8,
              want == Want::kText     ? kWantText
              : want == Want::kBool   ? kWantBool
              : want == Want::kNumber ? kWantNumber
                                      : kWantNothing,
              value};
  if (!engine_->Run(EvalBody, &job, 1)) return result;
  duk_context* ctx = engine_->context();
  result.ok = true;
  if (duk_is_string(ctx, -1)) {
    duk_size_t length = 0;
    const char* text = duk_get_lstring(ctx, -1, &length);
    result.text = Utf8ToGbk(std::string_view(text, length));
  } else if (duk_is_boolean(ctx, -1)) {
    result.truth = duk_get_boolean(ctx, -1) != 0;
  } else if (duk_is_number(ctx, -1)) {
    result.number = duk_get_number(ctx, -1);
    if (std::isnan(result.number)) result.number = 0;
  }
  duk_pop(ctx);
  return result;
}

bool JsonObject::Exec(const Text& source) { return Evaluate(source, Want::kNothing).ok; }
Text JsonObject::EvalText(const Text& source) { return Evaluate(source, Want::kText).text; }
bool JsonObject::EvalBool(const Text& source) { return Evaluate(source, Want::kBool).truth; }
double JsonObject::EvalNumber(const Text& source) { return Evaluate(source, Want::kNumber).number; }

void JsonObject::CreateEngine() {
  ScriptHeap::Budget budget;
  engine_ = ScriptHeap::Create();
  if (!engine_) return;
  Exec(Text(kPrelude));
  Exec("var " + rootName_ +
       " = {}, str_Code = String.fromCharCode(9216), str_reg = new RegExp(str_Code, 'g')");
  pristine_ = true;
}

bool JsonObject::Parse(const Text& text, bool literal) {
  ScriptHeap::Budget budget;
  // Every parse starts from an empty document in an engine of its own; copies
  // keep the engine they shared.
  if (!pristine_ || engine_.use_count() != 1) CreateEngine();
  if (!engine_) return false;
  Exec("var " + rootName_ + " = null");
  Exec("var " + rootName_ + " = " + (literal ? text : "eval(" + text + ")"));
  return EvalBool(rootName_ + " != null");
}

bool JsonObject::Clear() {
  ScriptHeap::Budget budget;
  return EvalBool(rootName_ + " = {}");
}

Text JsonObject::ToText() {
  ScriptHeap::Budget budget;
  return EvalText(Stringified(rootName_));
}

Text JsonObject::Rooted(const Text& path, bool* exists) {
  if (exists != nullptr) *exists = false;
  if (!IsMemberPath(GbkToUtf8(path))) return Text();
  if (StartsWithText(path, rootName_) && EvalBool(path + " != null")) {
    if (exists != nullptr) *exists = true;
    return path;
  }
  Text rooted;
  if (path.empty()) {
    rooted = rootName_;
  } else if (path.front() == '[') {
    rooted = rootName_ + path;
  } else {
    rooted = rootName_ + "." + path;
  }
  if (exists != nullptr) *exists = EvalBool(rooted + " != null");
  return rooted;
}

bool JsonObject::SetValue(const Text& path, const Text& value, bool json) {
  ScriptHeap::Budget budget;
  bool exists = false;
  const Text p = Rooted(path, &exists);
  if (p.empty()) return false;
  if (!json) {
    const std::string marked = Marked(value);
    return Evaluate(p + " = " + kValueName, Want::kBool, &marked).truth;
  }
  const Text source = value.empty() ? Text("{}") : value;
  const Text kind = EvalText("Object.prototype.toString.call(" + p + ")");
  if (exists && kind == "[object Object]") {
    return EvalBool(p + " = get__extend(" + p + ", " + source + ")");
  }
  return EvalBool(p + " = eval(" + source + ")");
}

bool JsonObject::SetJson(const Text& path, const Text& text) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  return !p.empty() && EvalBool(p + " = eval(" + text + ")");
}

bool JsonObject::ResolvePath(Text& path) {
  ScriptHeap::Budget budget;
  bool exists = false;
  Text rooted = Rooted(path, &exists);
  if (!rooted.empty()) path = std::move(rooted);
  return exists;
}

bool JsonObject::Exists(const Text& path) {
  ScriptHeap::Budget budget;
  bool exists = false;
  Rooted(path, &exists);
  return exists;
}

int32_t JsonObject::GetType(const Text& path) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  if (p.empty() || EvalBool(p + " == null")) return kMissing;
  const Text kind = EvalText("Object.prototype.toString.call(" + p + ")");
  if (kind == "[object String]") return kString;
  if (kind == "[object Array]") return kArray;
  if (kind == "[object Object]") return kObject;
  if (kind == "[object Number]") return kNumber;
  if (kind == "[object Boolean]") return kBoolean;
  return kOther;
}

Text JsonObject::GetValue(const Text& path, bool json) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  if (p.empty()) return Text();
  return EvalText(json ? Stringified(p) : p + ".toString()" + Text(kUnmark));
}

int32_t JsonObject::GetMemberNames(std::vector<Text>& names, const Text& path) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  names = p.empty() ? std::vector<Text>() : SplitText(EvalText("get__name_All(" + p + ")"), "\r\n");
  return static_cast<int32_t>(names.size());
}

int32_t JsonObject::GetArrayCount(const Text& path) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  if (p.empty()) return 0;
  const double count = EvalNumber("get__count(" + p + ")");
  if (!(count > 0)) return 0;
  return count >= std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                      : static_cast<int32_t>(count);
}

// The copy travels as JSON text into a fresh engine, so the result shares
// nothing with this document.
JsonObject JsonObject::ObjectOf(const Text& expression) {
  JsonObject copy;
  if (!expression.empty()) copy.Parse(EvalText(Stringified(expression)), false);
  return copy;
}

JsonObject JsonObject::GetObject(const Text& path) {
  ScriptHeap::Budget budget;
  return ObjectOf(Rooted(path));
}

// Without `raw` the value is stored as the very text given: as a value handed
// to the script, never pasted into it.
bool JsonObject::ArrayPush(const Text& value, const Text& path, bool raw) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  if (p.empty()) return false;
  const Text code = "if (Object.prototype.toString.call(" + p + ") != '[object Array]') { " + p +
                    " = new Array() } " + p + ".push(";
  if (raw) return EvalBool(code + value + ")");
  const std::string utf8 = GbkToUtf8(value);
  return Evaluate(code + kValueName + ")", Want::kBool, &utf8).truth;
}

JsonObject JsonObject::GetArrayObject(int32_t index, const Text& path) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  return ObjectOf(p.empty() ? p : p + "[" + Index(index) + "]");
}

Text JsonObject::GetArrayValue(int32_t index, const Text& path, bool json) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  if (p.empty()) return Text();
  const Text element = p + "[" + Index(index) + "]";
  return EvalText(json ? Stringified(element) : element + ".toString()" + Text(kUnmark));
}

bool JsonObject::SetArrayValue(int32_t index, const Text& path, const Text& value, bool raw) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  if (p.empty()) return false;
  const Text element = p + "[" + Index(index) + "] = ";
  if (raw) return EvalBool(element + value);
  const std::string utf8 = GbkToUtf8(value);
  return Evaluate(element + kValueName, Want::kBool, &utf8).truth;
}

bool JsonObject::ArrayRemove(int32_t index, const Text& path) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  return !p.empty() && EvalBool(p + ".splice(" + Index(index) + ", 1)");
}

bool JsonObject::Delete(const Text& path) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  return !p.empty() && EvalBool("delete " + p);
}

bool JsonObject::SetNumber(const Text& path, double number) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  return !p.empty() && EvalBool(p + " = " + FormatNumber(number));
}

double JsonObject::GetNumber(const Text& path) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  return p.empty() ? 0 : EvalNumber(p);
}

Text JsonObject::GetJsonText(const Text& path) {
  ScriptHeap::Budget budget;
  const Text p = Rooted(path);
  return p.empty() ? Text() : EvalText(Stringified(p));
}

std::shared_ptr<ScriptHeap> JsonObject::GetEngine() const {
  pristine_ = false;
  return engine_;
}

int32_t JsonObject::GetNodeValues(std::vector<Text>& values, const Text& path, bool recursive) {
  ScriptHeap::Budget budget;
  values.clear();
  const Text p = Rooted(path);
  if (p.empty()) return 0;
  Exec("var str_all = new Array()");
  Exec("get__nodeValue(" + p + ", " + (recursive ? "true" : "false") + ")");
  const Text& separator = Texts().nodeSeparator;
  values = SplitText(EvalText("str_all.join('" + separator + "')"), separator);
  return static_cast<int32_t>(values.size());
}

}  // namespace tw
