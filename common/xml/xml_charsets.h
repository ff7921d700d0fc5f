// The charset table behind CodePageForCharset, exposed for its tests.
#pragma once

namespace kavrel {
namespace xml {

constexpr int kCharsetBuckets = 155;
extern const char* const kCharsetTable[kCharsetBuckets];

}  // namespace xml
}  // namespace kavrel
