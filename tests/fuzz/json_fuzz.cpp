// JsonObject fed a document, a path and a value from the fuzzer. The document
// runs first and may leave anything behind in its heap; every later call on
// it must still return within the budget. The value also goes into a clean
// document, where it must read back exactly as it went in.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz_clock.h"
#include "script/json_object.h"
#include "text/convert.h"

namespace {

using tw::JsonObject;
using tw::Text;
using tw::fuzz::Require;
using tw::fuzz::Timed;

void OnTheDocument(const Text& document, bool literal, const Text& path, const Text& value) {
  auto json = Timed("construct", [] { return std::make_unique<JsonObject>(); });
  Timed("Parse", [&] { return json->Parse(document, literal); });
  Timed("GetValue", [&] { return json->GetValue(path); });
  Timed("GetValue json", [&] { return json->GetValue(path, true); });
  Timed("GetType", [&] { return json->GetType(path); });
  Timed("SetValue", [&] { return json->SetValue(path, value); });
  Timed("SetValue json", [&] { return json->SetValue(path, value, true); });
  Timed("ArrayPush", [&] { return json->ArrayPush(value, path); });
  Timed("GetArrayValue", [&] { return json->GetArrayValue(0, path); });
  Timed("GetArrayCount", [&] { return json->GetArrayCount(path); });
  Timed("GetNodeValues", [&] {
    std::vector<Text> values;
    return json->GetNodeValues(values, path, true);
  });
  Timed("GetMemberNames", [&] {
    std::vector<Text> names;
    return json->GetMemberNames(names, path);
  });
  Timed("ToText", [&] { return json->ToText(); });
  auto part =
      Timed("GetObject", [&] { return std::make_unique<JsonObject>(json->GetObject(path)); });
  Timed("destroy", [&] {
    part.reset();
    json.reset();
    return 0;
  });
}

void RoundTrip(const Text& value) {
  JsonObject json;
  const Text stored = tw::Utf8ToGbk(tw::GbkToUtf8(value));
  Require(Timed("SetValue", [&] { return json.SetValue("k", value); }) == !stored.empty(),
          "SetValue result");
  Require(json.GetValue("k") == stored, "SetValue round trip");
  Require(json.ArrayPush(value, "list"), "ArrayPush result");
  Require(json.GetArrayValue(0, "list") == stored, "ArrayPush round trip");
  Require(json.SetArrayValue(1, "list", value) == !stored.empty(), "SetArrayValue result");
  Require(json.GetArrayValue(1, "list") == stored, "SetArrayValue round trip");
  std::vector<Text> names;
  Require(json.GetMemberNames(names) == 2, "nothing but the values went in");
  // Reads turn the marker back into a backslash, so only a document without
  // backslashes serialises into text that parses back to the same values.
  if (value.find('\\') != Text::npos) return;
  JsonObject copy;
  Require(copy.Parse(json.ToText()) && copy.GetValue("k") == json.GetValue("k", false) &&
              copy.GetArrayValue(1, "list") == stored,
          "serialised document parses back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool literal = in.ConsumeBool();
  const Text path = in.ConsumeRandomLengthString(64);
  const Text value = in.ConsumeRandomLengthString(256);
  const Text document = in.ConsumeRemainingBytesAsString();
  OnTheDocument(document, literal, path, value);
  RoundTrip(value);
  return 0;
}
