// Cost of the script services' engine heaps. HttpFetch makes a RegexObject per
// request and the share-link resolution a JsonObject per verify answer, so
// these figures bound what the engine adds to one request. With --hostile it
// measures instead the longest time inputs that run into a limit take.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "script/json_object.h"
#include "script/regex_object.h"
#include "script/script_heap.h"

namespace {

using Clock = std::chrono::steady_clock;

void Measure(const char* name, int rounds, const std::function<void()>& once) {
  for (int i = 0; i < rounds / 10 + 1; ++i) once();  // warm the allocator
  std::vector<double> micros;
  micros.reserve(rounds);
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    once();
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::sort(micros.begin(), micros.end());
  double sum = 0;
  for (double m : micros) sum += m;
  std::printf("%-44s median %8.1f us   p90 %8.1f us   mean %8.1f us   (%d rounds)\n", name,
              micros[micros.size() / 2], micros[micros.size() * 9 / 10], sum / micros.size(),
              rounds);
}

// Longest wall time of `rounds` runs, for the inputs that run into a limit:
// these bound how long one hostile answer can hold the calling thread.
void Worst(const char* name, int rounds, const std::function<void()>& once) {
  double worst = 0;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    once();
    worst =
        std::max(worst, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::printf("%-52s worst %8.1f ms   (%d rounds)\n", name, worst, rounds);
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

void MeasureHostile() {
  const std::string classes = Repeat("[\\\\u0000-\\\\uffff]", 10000);
  const int rounds = 5;
  Worst("Parse: endless loop", rounds, [] {
    tw::JsonObject json;
    json.Parse("(function () { for (;;) {} })()");
  });
  Worst("Parse: 10000 case-insensitive classes", rounds, [&] {
    tw::JsonObject json;
    json.Parse("new RegExp('" + classes + "', 'i')");
  });
  Worst("Parse: compile cut off, caught, compiled again", rounds, [&] {
    tw::JsonObject json;
    json.Parse("(function () { for (;;) { try { new RegExp('" + classes +
               "', 'i'); } catch (e) {} } })()");
  });
  Worst("Parse: root accessor that never returns", rounds, [] {
    tw::JsonObject json;
    json.Parse(
        "(function () { Object.defineProperty(this, 'da', {get: function () { for (;;) {} }, "
        "set: function () { for (;;) {} }}); return 1; }).call(this)");
  });
  Worst("Eval: SetValue with an endless JSON value", rounds, [] {
    tw::JsonObject json;
    json.SetValue("b", "(function () { for (;;) {} })()", true);
  });
  Worst("Eval: GetValue through an endless getter", rounds, [] {
    tw::JsonObject json;
    json.SetJson("g",
                 "(function () { var o = {}; Object.defineProperty(o, 'x', "
                 "{get: function () { for (;;) {} }}); return o; })()");
    json.GetValue("g.x");
  });
  Worst("RegexObject::Create: 2 KiB of classes", rounds, [] {
    tw::RegexObject regex;
    regex.Create(Repeat("[\\u0000-\\uffff]", 136), "subject");
  });
  Worst("RegexObject::Create: 60000 classes", rounds, [] {
    tw::RegexObject regex;
    regex.Create(Repeat("[\\u0000-\\uffff]", 60000), "subject");
  });
  Worst("RegexObject::Create: backtracking", rounds, [] {
    tw::RegexObject regex;
    regex.Create("(a+)+b", std::string(40, 'a'));
  });
  Worst("Parse + destroy: heap filled to its cap", rounds, [] {
    auto json = std::make_unique<tw::JsonObject>();
    json->Parse(
        "(function () { var a = []; for (;;) a.push({k: [a.length, 'x' + a.length]}); })()");
    const auto start = Clock::now();
    json.reset();
    std::printf("  (destruction alone %.1f ms)\n",
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  });
  Worst("Parse + destroy: a finalizer asked for", rounds, [] {
    tw::JsonObject json;
    json.Parse("(function () { Duktape.fin({}, function () { for (;;) {} }); return 1; })()");
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--hostile") {
    MeasureHostile();
    return 0;
  }
  std::string page = R"(<html><head><meta http-equiv="Content-Type" content="text/html; )"
                     R"(charset=utf-8"><title>share</title></head><body>)";
  while (page.size() < 1024) page += "<div class=\"row\">text text text</div>";
  page.resize(1024);
  const std::string verify =
      R"({"res_code":0,"res_message":"ok","fileName":"x.iso","fileSize":5304123392,)"
      R"("longDownloadUrl":"https://download.example/file/abc?sig=0123456789abcdef"})";

  volatile std::size_t sink = 0;
  Measure("engine heap: create + destroy", 2000, [&] {
    auto heap = tw::ScriptHeap::Create();
    sink = sink + heap->BytesInUse();
  });
  Measure("RegexObject: charset search in 1 KiB page", 2000, [&] {
    tw::RegexObject regex;
    regex.Create(R"(<meta.+?charset=[^\w]?([-\w]+))", page);
    sink = sink + regex.GetSubMatchText(1, 1).size();
  });
  Measure("RegexObject: file-name clean-up", 2000, [&] {
    tw::RegexObject regex;
    regex.Create(R"(\\|\||\/|\*|\?|\<|\>|\:|\")", "win10 2004: x64 <zh>?");
    sink = sink + regex.Replace("_").size();
  });
  Measure("JsonObject: construct + parse + 2 reads", 1000, [&] {
    tw::JsonObject json;
    json.Parse(verify);
    sink = sink + json.GetValue("fileSize").size() + json.GetValue("longDownloadUrl").size();
  });
  {
    auto heap = tw::ScriptHeap::Create();
    std::printf("fresh heap holds %zu bytes\n", heap->BytesInUse());
  }
  return sink == 0 ? 1 : 0;
}
