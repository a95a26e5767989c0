#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "text/charset_names.h"
#include "text/convert.h"

namespace tw {

namespace {

// iconv_open reports failure as this very value.
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)

// Opening a converter loads conversion modules through the dynamic loader,
// which is slow and not meant to race with other threads doing the same; each
// thread therefore keeps the converters it has opened.
class ConverterCache {
 public:
  ~ConverterCache() {
    for (auto& [names, cd] : open_) {
      if (cd != kNoConverter) iconv_close(cd);
    }
  }

  iconv_t Get(const char* to, const char* from) {
    auto key = std::make_pair(std::string(to), std::string(from));
    if (auto it = open_.find(key); it != open_.end()) return it->second;
    const iconv_t cd = iconv_open(to, from);
    // Charset names can come from web pages: keep the cache small.
    if (open_.size() < kLimit)
      open_.emplace(std::move(key), cd);
    else
      spare_.Replace(cd);
    return cd;
  }

 private:
  static constexpr std::size_t kLimit = 32;
  // Holds the one uncached converter in use beyond the limit.
  struct Spare {
    iconv_t cd = kNoConverter;
    void Replace(iconv_t next) {
      if (cd != kNoConverter) iconv_close(cd);
      cd = next;
    }
    ~Spare() { Replace(kNoConverter); }
  } spare_;
  std::map<std::pair<std::string, std::string>, iconv_t> open_;
};

class Converter {
 public:
  Converter(const char* to, const char* from) {
    thread_local ConverterCache cache;
    cd_ = cache.Get(to, from);
    if (ok()) iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // initial state
  }

  bool ok() const { return cd_ != kNoConverter; }

  // Converts all of `in`. An input sequence that cannot be read or written is
  // skipped by `skip` bytes and `substitute` is written in its place.
  std::string Run(std::string_view in, std::size_t skip, std::string_view substitute) {
    std::string out;
    out.resize(in.size() * 2 + 16);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    std::size_t written = 0;
    while (inLeft > 0) {
      char* outPtr = out.data() + written;
      std::size_t outLeft = out.size() - written;
      const std::size_t r = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
      written = out.size() - outLeft;
      if (r != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
      } else if (errno == EILSEQ || errno == EINVAL) {
        const std::size_t n = std::min(skip, inLeft);
        inPtr += n;
        inLeft -= n;
        if (out.size() - written < substitute.size())
          out.resize(out.size() * 2 + substitute.size());
        std::memcpy(out.data() + written, substitute.data(), substitute.size());
        written += substitute.size();
      } else {
        break;
      }
    }
    // Flush any shift state.
    char* outPtr = out.data() + written;
    std::size_t outLeft = out.size() - written;
    iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
    out.resize(out.size() - outLeft);
    return out;
  }

 private:
  iconv_t cd_;
};

constexpr std::string_view kQuestionUtf16{"?\0", 2};
constexpr char kGbk[] = "CP936";
constexpr char kUtf16[] = "UTF-16LE";

std::string_view AsBytes(std::u16string_view s) {
  return {reinterpret_cast<const char*>(s.data()), s.size() * sizeof(char16_t)};
}

std::u16string FromBytes(const std::string& bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * sizeof(char16_t));
  return out;
}

// UTF-16 code units that GBK cannot hold are replaced one unit at a time; a
// surrogate pair therefore gives "??", as the platform conversion does.
Text Utf16BytesToGbk(std::string_view utf16) {
  Converter c(kGbk, kUtf16);
  return c.Run(utf16, 2, "?");
}

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) {
  Converter c(kUtf16, kGbk);
  return FromBytes(c.Run(gbk, 1, kQuestionUtf16));
}

Text Utf16ToGbk(std::u16string_view utf16) { return Utf16BytesToGbk(AsBytes(utf16)); }

std::string GbkToUtf8(std::string_view gbk) {
  Converter c("UTF-8", kGbk);
  return c.Run(gbk, 1, "?");
}

Text Utf8ToGbk(std::string_view utf8) { return *DecodeToGbk(utf8, "UTF-8"); }

std::optional<Text> DecodeToGbk(std::string_view bytes, const char* charset) {
  Converter toUtf16(kUtf16, ConverterCharsetName(charset).c_str());
  if (!toUtf16.ok()) return std::nullopt;
  return Utf16BytesToGbk(toUtf16.Run(bytes, 1, kQuestionUtf16));
}

}  // namespace tw
