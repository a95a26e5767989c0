#include "script/json_object.h"

#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "script/script_heap.h"
#include "text/convert.h"
#include "text/texts.h"

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

struct EvalJob {
  std::string_view source;
  int want;
};

duk_ret_t EvalBody(duk_context* ctx, void* udata) {
  auto* job = static_cast<EvalJob*>(udata);
  duk_eval_lstring(ctx, job->source.data(), job->source.size());
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

// For a single-quoted script literal. The scan is two-byte-aware, so a GBK
// trail byte that happens to equal a backslash or a quote is left alone.
Text EscapeForLiteral(const Text& value) {
  Text escaped = ReplaceText(value, "\\", "\\\\");
  escaped = ReplaceText(escaped, "'", "\\'");
  escaped = ReplaceText(escaped, "\"", "\\\"");
  escaped = ReplaceText(escaped, "\r", "\\r");
  return ReplaceText(escaped, "\n", "\\n");
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
  rootName_ = other.rootName_;
  engine_ = other.engine_;
  pristine_ = false;
  other.pristine_ = false;
  return *this;
}

JsonObject::Result JsonObject::Evaluate(const Text& source, Want want) {
  Result result;
  if (!engine_) return result;
  pristine_ = false;
  const std::string utf8 = GbkToUtf8(source);
  EvalJob job{utf8, want == Want::kText     ? kWantText
                    : want == Want::kBool   ? kWantBool
                    : want == Want::kNumber ? kWantNumber
                                            : kWantNothing};
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
  engine_ = ScriptHeap::Create();
  if (!engine_) return;
  Exec(Text(kPrelude));
  Exec("var " + rootName_ +
       " = {}, str_Code = String.fromCharCode(9216), str_reg = new RegExp(str_Code, 'g')");
  pristine_ = true;
}

bool JsonObject::Parse(const Text& text, bool literal) {
  // Every parse starts from an empty document in an engine of its own; copies
  // keep the engine they shared.
  if (!pristine_ || engine_.use_count() != 1) CreateEngine();
  if (!engine_) return false;
  Exec("var " + rootName_ + " = null");
  Exec("var " + rootName_ + " = " + (literal ? text : "eval(" + text + ")"));
  return EvalBool(rootName_ + " != null");
}

bool JsonObject::Clear() { return EvalBool(rootName_ + " = {}"); }

Text JsonObject::ToText() { return EvalText(Stringified(rootName_)); }

bool JsonObject::SetValue(const Text& path, const Text& value, bool json) {
  Text p = path;
  const bool exists = ResolvePath(p);
  Text code;
  if (json) {
    const Text source = value.empty() ? Text("{}") : value;
    const Text kind = EvalText("Object.prototype.toString.call(" + p + ")");
    if (exists && kind == "[object Object]") {
      code = p + " = get__extend(" + p + ", " + source + ")";
    } else {
      code = p + " = eval(" + source + ")";
    }
  } else {
    code = p + " = '" + EscapeForLiteral(value) + "'.replace(/\\\\/g, str_Code)";
  }
  return EvalBool(code);
}

bool JsonObject::SetJson(const Text& path, const Text& text) {
  Text p = path;
  ResolvePath(p);
  return EvalBool(p + " = eval(" + text + ")");
}

bool JsonObject::ResolvePath(Text& path) {
  if (StartsWithText(path, rootName_) && EvalBool(path + " != null")) return true;
  if (path.empty()) {
    path = rootName_;
  } else if (path.front() == '[') {
    path = rootName_ + path;
  } else {
    path = rootName_ + "." + path;
  }
  return EvalBool(path + " != null");
}

bool JsonObject::Exists(const Text& path) {
  Text p = path;
  return ResolvePath(p);
}

int32_t JsonObject::GetType(const Text& path) {
  Text p = path;
  ResolvePath(p);
  if (EvalBool(p + " == null")) return kMissing;
  const Text kind = EvalText("Object.prototype.toString.call(" + p + ")");
  if (kind == "[object String]") return kString;
  if (kind == "[object Array]") return kArray;
  if (kind == "[object Object]") return kObject;
  if (kind == "[object Number]") return kNumber;
  if (kind == "[object Boolean]") return kBoolean;
  return kOther;
}

Text JsonObject::GetValue(const Text& path, bool json) {
  Text p = path;
  ResolvePath(p);
  return EvalText(json ? Stringified(p) : p + ".toString()" + Text(kUnmark));
}

int32_t JsonObject::GetMemberNames(std::vector<Text>& names, const Text& path) {
  Text p = path;
  ResolvePath(p);
  names = SplitText(EvalText("get__name_All(" + p + ")"), "\r\n");
  return static_cast<int32_t>(names.size());
}

int32_t JsonObject::GetArrayCount(const Text& path) {
  Text p = path;
  ResolvePath(p);
  const double count = EvalNumber("get__count(" + p + ")");
  if (!(count > 0)) return 0;
  return count >= std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                      : static_cast<int32_t>(count);
}

// The copy travels as JSON text into a fresh engine, so the result shares
// nothing with this document.
JsonObject JsonObject::ObjectOf(const Text& expression) {
  JsonObject copy;
  copy.Parse(EvalText(Stringified(expression)), false);
  return copy;
}

JsonObject JsonObject::GetObject(const Text& path) {
  Text p = path;
  ResolvePath(p);
  return ObjectOf(p);
}

bool JsonObject::ArrayPush(const Text& value, const Text& path, bool raw) {
  Text p = path;
  ResolvePath(p);
  const Text item = raw ? value : "'" + value + "'";
  return EvalBool("if (Object.prototype.toString.call(" + p + ") != '[object Array]') { " + p +
                  " = new Array() } " + p + ".push(" + item + ")");
}

JsonObject JsonObject::GetArrayObject(int32_t index, const Text& path) {
  Text p = path;
  ResolvePath(p);
  return ObjectOf(p + "[" + Index(index) + "]");
}

Text JsonObject::GetArrayValue(int32_t index, const Text& path, bool json) {
  Text p = path;
  ResolvePath(p);
  const Text element = p + "[" + Index(index) + "]";
  return EvalText(json ? Stringified(element) : element + ".toString()" + Text(kUnmark));
}

bool JsonObject::SetArrayValue(int32_t index, const Text& path, const Text& value, bool raw) {
  Text p = path;
  ResolvePath(p);
  const Text item = raw ? value : "'" + value + "'";
  return EvalBool(p + "[" + Index(index) + "] = " + item);
}

bool JsonObject::ArrayRemove(int32_t index, const Text& path) {
  Text p = path;
  ResolvePath(p);
  return EvalBool(p + ".splice(" + Index(index) + ", 1)");
}

bool JsonObject::Delete(const Text& path) {
  Text p = path;
  ResolvePath(p);
  return EvalBool("delete " + p);
}

bool JsonObject::SetNumber(const Text& path, double number) {
  Text p = path;
  ResolvePath(p);
  return EvalBool(p + " = " + FormatNumber(number));
}

double JsonObject::GetNumber(const Text& path) {
  Text p = path;
  ResolvePath(p);
  return EvalNumber(p);
}

Text JsonObject::GetJsonText(const Text& path) {
  Text p = path;
  ResolvePath(p);
  return EvalText(Stringified(p));
}

std::shared_ptr<ScriptHeap> JsonObject::GetEngine() const {
  pristine_ = false;
  return engine_;
}

int32_t JsonObject::GetNodeValues(std::vector<Text>& values, const Text& path, bool recursive) {
  Text p = path;
  ResolvePath(p);
  Exec("var str_all = new Array()");
  Exec("get__nodeValue(" + p + ", " + (recursive ? "true" : "false") + ")");
  const Text& separator = Texts().nodeSeparator;
  values = SplitText(EvalText("str_all.join('" + separator + "')"), separator);
  return static_cast<int32_t>(values.size());
}

}  // namespace tw
