// Cost of the script services' engine heaps. HttpFetch makes a RegexObject per
// request and the share-link resolution a JsonObject per verify answer, so
// these figures bound what the engine adds to one request.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
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

}  // namespace

int main() {
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
