// Charset names as web pages write them, read the way the platform reads
// them: without regard to letter case, with the GB 2312 / GBK family all
// decoded as code page 936, which holds every character of its members.
#pragma once

#include <string>
#include <string_view>

namespace tw {

// "gbk", "GB2312", "cp936", "x-gbk", "EUC-CN", ... in any letter case.
bool IsGbkCharset(std::string_view name);

// The name to hand the converter for `name`: "CP936" for the GBK family,
// otherwise `name` itself.
std::string ConverterCharsetName(std::string_view name);

}  // namespace tw
