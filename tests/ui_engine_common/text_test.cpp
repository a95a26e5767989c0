#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "ui_engine_common/captions.h"
#include "ui_engine_common/text_buffer.h"

namespace tw::engine {
namespace {

using Pieces = std::vector<std::u16string>;

TEST(SplitCaptions, SplitsAtEveryPairOfAmpersandsAndKeepsEmptyPieces) {
  EXPECT_EQ(SplitCaptions(u"确定&&取消"), (Pieces{u"确定", u"取消"}));
  EXPECT_EQ(SplitCaptions(u"OK"), (Pieces{u"OK"}));
  EXPECT_EQ(SplitCaptions(u""), (Pieces{u""}));
  EXPECT_EQ(SplitCaptions(u"a&&&&b&&"), (Pieces{u"a", u"", u"b", u""}));
  // A lone "&" stays in its caption; of three, the first two split.
  EXPECT_EQ(SplitCaptions(u"R&D&&&x"), (Pieces{u"R&D", u"&x"}));
}

struct Free {
  void operator()(UiText* text) const { std::free(text); }
};
using Buffer = std::unique_ptr<UiText, Free>;

// A buffer laid out by hand, as a caller other than the engine may make it.
Buffer Raw(std::u16string units, uint32_t byteLength) {
  Buffer text(static_cast<UiText*>(std::malloc(sizeof(UiText) + units.size() * 2 + 2)));
  text->reserved = 0;
  text->byteLength = byteLength;
  for (size_t i = 0; i < units.size(); ++i) text->units[i] = units[i];
  text->units[units.size()] = 0;
  return text;
}

TEST(TextBuffer, ReadsTheUnitsItsLengthCountsWithOrWithoutTheEndingZero) {
  EXPECT_EQ(ReadUnits(Raw(u"ab", 6).get()), u"ab");
  EXPECT_EQ(ReadUnits(Raw(u"ab", 4).get()), u"ab");
  EXPECT_EQ(ReadUnits(Raw(u"abc", 4).get()), u"ab");
  EXPECT_EQ(ReadUnits(Raw(std::u16string(u"a\0b", 3), 8).get()), std::u16string(u"a\0b", 3));
  // A length of 2 or less is the empty text, whatever the units hold.
  EXPECT_EQ(ReadUnits(Raw(u"x", 2).get()), u"");
  EXPECT_EQ(ReadUnits(Raw(u"x", 0).get()), u"");
  EXPECT_EQ(ReadUnits(nullptr), u"");
  EXPECT_EQ(ReadByteView(Raw(u"ab", 6).get()), std::string_view("a\0b\0", 4));
}

TEST(TextBuffer, NewBuffersCountTheirEndingZero) {
  const Buffer text(NewTextBuffer(u"汉字"));
  EXPECT_EQ(text->byteLength, 6u);
  EXPECT_EQ(text->units[2], 0);
  EXPECT_EQ(ReadUnits(text.get()), u"汉字");
  const Buffer empty(NewTextBuffer(nullptr, 5));
  EXPECT_EQ(empty->byteLength, 2u);
  EXPECT_EQ(empty->units[0], 0);
}

}  // namespace
}  // namespace tw::engine
