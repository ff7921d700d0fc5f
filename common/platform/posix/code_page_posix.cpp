// Code pages through iconv. Windows numbers are mapped to iconv's names.
#include <errno.h>
#include <iconv.h>

#include <atomic>
#include <cstring>

#include "common/platform/code_page_internal.h"

namespace kavrel {
namespace {

struct CodePageName {
  unsigned codePage;
  const char* iconvName;
};

// Windows code page numbers and the iconv name of the same character set.
constexpr CodePageName kCodePageNames[] = {
    {37, "IBM037"},        {437, "CP437"},         {500, "IBM500"},
    {708, "ISO-8859-6"},   {720, "CP720"},         {737, "CP737"},
    {775, "CP775"},        {850, "CP850"},         {852, "CP852"},
    {855, "CP855"},        {857, "CP857"},         {858, "CP858"},
    {860, "CP860"},        {861, "CP861"},         {862, "CP862"},
    {863, "CP863"},        {864, "CP864"},         {865, "CP865"},
    {866, "CP866"},        {869, "CP869"},         {874, "CP874"},
    {875, "CP875"},        {932, "CP932"},         {936, "CP936"},
    {949, "CP949"},        {950, "CP950"},         {1026, "IBM1026"},
    {1250, "CP1250"},      {1251, "CP1251"},       {1252, "CP1252"},
    {1253, "CP1253"},      {1254, "CP1254"},       {1255, "CP1255"},
    {1256, "CP1256"},      {1257, "CP1257"},       {1258, "CP1258"},
    {1361, "JOHAB"},       {10000, "MACINTOSH"},   {10007, "MAC-CYRILLIC"},
    {20127, "ASCII"},      {20866, "KOI8-R"},      {20932, "EUC-JP"},
    {20936, "GB2312"},     {21866, "KOI8-U"},      {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"}, {28593, "ISO-8859-3"},  {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"}, {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"}, {28599, "ISO-8859-9"},  {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"}, {38598, "ISO-8859-8"}, {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"}, {50222, "ISO-2022-JP"}, {50225, "ISO-2022-KR"},
    {51932, "EUC-JP"},     {51936, "GB2312"},      {51949, "EUC-KR"},
    {52936, "HZ"},         {54936, "GB18030"},     {65000, "UTF-7"},
    {65001, "UTF-8"},
};

std::atomic<unsigned> gAnsiCodePage{1252};

const char* IconvName(unsigned codePage) {
  if (codePage == kCodePageAnsi) codePage = gAnsiCodePage.load();
  for (const auto& e : kCodePageNames)
    if (e.codePage == codePage) return e.iconvName;
  return nullptr;
}

unsigned Resolve(unsigned codePage) {
  return codePage == kCodePageAnsi ? gAnsiCodePage.load() : codePage;
}

// One iconv conversion descriptor, closed on scope exit.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

Text BytesToText(std::string_view bytes, unsigned codePage) {
  const unsigned cp = Resolve(codePage);
  if (cp == kCodePageUtf8) return Utf8ToText(bytes);
  if (cp == kCodePageUtf16Le || cp == kCodePageUtf16Be)
    return internal::Utf16BytesToText(bytes, cp == kCodePageUtf16Be);
  const char* name = IconvName(cp);
  if (!name) return Text();
  Iconv cd("UTF-16LE", name);
  if (!cd.ok()) return Text();

  std::string out;
  out.reserve(bytes.size() * 2 + 8);
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char buffer[4096];
  auto appendReplacement = [&out] { out.append("\xFD\xFF", 2); };
  while (inLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    const size_t r = iconv(cd.get(), &in, &inLeft, &dst, &dstLeft);
    out.append(buffer, dst - buffer);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ: an invalid byte, skipped. EINVAL: a sequence cut off at the end.
    appendReplacement();
    if (errno == EINVAL) break;
    ++in;
    --inLeft;
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);  // reset shift state
  }
  return internal::Utf16BytesToText(out, false);
}

std::string TextToBytes(TextView text, unsigned codePage) {
  const unsigned cp = Resolve(codePage);
  if (cp == kCodePageUtf8) return TextToUtf8(text);
  if (cp == kCodePageUtf16Le || cp == kCodePageUtf16Be)
    return internal::TextToUtf16Bytes(text, cp == kCodePageUtf16Be);
  const char* name = IconvName(cp);
  if (!name) return std::string();
  Iconv cd(name, "UTF-16LE");
  if (!cd.ok()) return std::string();

  std::string out;
  out.reserve(text.size() + 8);
  char buffer[4096];
  // One character (or surrogate pair) at a time once a failure shows up, so a
  // character the code page lacks becomes exactly one '?'.
  size_t i = 0;
  while (i < text.size()) {
    size_t units = 1;
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF)
      units = 2;
    std::string chunk = internal::TextToUtf16Bytes(text.substr(i, units), false);
    char* in = chunk.data();
    size_t inLeft = chunk.size();
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    const size_t r = iconv(cd.get(), &in, &inLeft, &dst, &dstLeft);
    if (r == static_cast<size_t>(-1)) {
      iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
      out.push_back('?');
    } else {
      out.append(buffer, dst - buffer);
    }
    i += units;
  }
  // Stateful encodings (ISO-2022) need their closing shift sequence.
  char* dst = buffer;
  size_t dstLeft = sizeof buffer;
  iconv(cd.get(), nullptr, nullptr, &dst, &dstLeft);
  out.append(buffer, dst - buffer);
  return out;
}

bool IsCodePageSupported(unsigned codePage) {
  const unsigned cp = Resolve(codePage);
  if (cp == kCodePageUtf8 || cp == kCodePageUtf16Le || cp == kCodePageUtf16Be) return true;
  const char* name = IconvName(cp);
  if (!name) return false;
  Iconv cd("UTF-16LE", name);
  return cd.ok();
}

unsigned AnsiCodePage() { return gAnsiCodePage.load(); }

bool SetAnsiCodePage(unsigned codePage) {
  if (codePage == kCodePageAnsi || !IsCodePageSupported(codePage)) return false;
  gAnsiCodePage.store(codePage);
  return true;
}

}  // namespace kavrel
