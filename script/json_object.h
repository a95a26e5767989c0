// One JSON document held inside a private engine heap and reached by paths.
// The object keeps no tree of its own: the document is the engine global named
// by the root name ("da"), every operation is a short script built from the
// caller's path and values, and serialising is the engine's JSON.stringify.
// Paths are member expressions relative to the root: names joined by dots,
// bracketed indexes or quoted keys, or the empty path for the root itself.
// Any other path gives the empty result without running anything, and string
// values go to the engine as values: neither can make the object run script.
// Only Parse, SetJson and the `json` / `raw` flags take script source.
//
// Parse evaluates its text as script, so whatever it is given runs under the
// heap's limits: no access outside the heap, a time budget per evaluation and
// a memory cap. An evaluation that fails for any reason gives the empty
// result (empty text, false, 0) and the object stays usable.
//
// String values written by SetValue are stored with every backslash replaced
// by U+2400; every read that returns text turns the marker back. Values that
// came in through Parse keep real backslashes.
//
// Copies share the engine, hence the document, until one of them parses anew.
// Texts are GBK at this interface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/text.h"

namespace tw {

class ScriptHeap;

class JsonObject {
 public:
  // Types reported by GetType.
  static constexpr int32_t kMissing = 0;  // absent, null or undefined
  static constexpr int32_t kBoolean = 1;
  static constexpr int32_t kNumber = 2;
  static constexpr int32_t kObject = 4;
  static constexpr int32_t kArray = 5;
  static constexpr int32_t kString = 6;
  static constexpr int32_t kOther = -1;  // functions, dates, failed evaluations

  JsonObject();
  // Shares `engine` and the document in it (see GetEngine).
  explicit JsonObject(std::shared_ptr<ScriptHeap> engine);
  ~JsonObject();
  JsonObject(const JsonObject&);
  JsonObject& operator=(const JsonObject&);

  // Replaces the engine with a fresh one holding an empty document.
  void CreateEngine();
  // Evaluates `text` into a fresh engine: as an expression handed to eval, or
  // with `literal` as the initialiser's source itself. False when the result
  // is null or the evaluation failed.
  bool Parse(const Text& text, bool literal = false);
  bool Clear();
  Text ToText();
  // Without `json` the value is stored as a string. With it, `value` is script
  // source: merged into an existing object at the path, otherwise replacing
  // what is there; an empty value stands for {}.
  bool SetValue(const Text& path, const Text& value, bool json = false);
  bool SetJson(const Text& path, const Text& text);
  // Rewrites `path` into an expression rooted at the document and tells
  // whether it denotes a value. The rewrite happens either way, so that
  // setters can create members; only a path that is no member expression is
  // left as it was (and gives false).
  bool ResolvePath(Text& path);
  bool Exists(const Text& path);
  int32_t GetType(const Text& path);
  Text GetValue(const Text& path, bool json = false);
  // Names of a plain object's members (none for arrays and scalars).
  int32_t GetMemberNames(std::vector<Text>& names, const Text& path = Text());
  // Length of an array, 0 for anything else.
  int32_t GetArrayCount(const Text& path = Text());
  // A new, independent object holding a copy of the value at `path`.
  JsonObject GetObject(const Text& path = Text());
  // Without `raw` the value is pushed as a string, exactly the text given;
  // a member that is not an array becomes one first.
  bool ArrayPush(const Text& value, const Text& path = Text(), bool raw = false);
  JsonObject GetArrayObject(int32_t index, const Text& path = Text());
  // Without `json`, non-string elements are converted as GetValue converts.
  Text GetArrayValue(int32_t index, const Text& path = Text(), bool json = false);
  bool SetArrayValue(int32_t index, const Text& path, const Text& value, bool raw = false);
  bool ArrayRemove(int32_t index, const Text& path = Text());
  bool Delete(const Text& path);
  // Stored with 13 significant digits.
  bool SetNumber(const Text& path, double number);
  double GetNumber(const Text& path);
  Text GetJsonText(const Text& path = Text());
  std::shared_ptr<ScriptHeap> GetEngine() const;
  // Every string, number and boolean member, in enumeration order; with
  // `recursive`, depth-first through nested objects and arrays.
  int32_t GetNodeValues(std::vector<Text>& values, const Text& path = Text(),
                        bool recursive = false);

  const Text& rootName() const { return rootName_; }

 private:
  enum class Want { kNothing, kText, kBool, kNumber };
  struct Result {
    bool ok = false;
    Text text;
    bool truth = false;
    double number = 0;
  };

  // `value`, when given, is UTF-8 that the source reads as the string global
  // named in json_object.cpp.
  Result Evaluate(const Text& source, Want want, const std::string* value = nullptr);
  // The path as an expression rooted at the document, and whether it denotes
  // a value; empty when the path is not a member expression.
  Text Rooted(const Text& path, bool* exists = nullptr);
  bool Exec(const Text& source);
  Text EvalText(const Text& source);
  bool EvalBool(const Text& source);
  double EvalNumber(const Text& source);
  JsonObject ObjectOf(const Text& expression);

  Text rootName_;
  std::shared_ptr<ScriptHeap> engine_;
  // Nothing has run in the engine since CreateEngine, so Parse may keep it
  // instead of building another one.
  mutable bool pristine_ = false;
};

}  // namespace tw
