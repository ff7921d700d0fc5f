// Fuzzes reading a document from a file: byte-order marks, declared
// charsets, UTF-8 detection and conversion, then indexing and a short walk.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/platform/code_page.h"
#include "common/platform/files.h"
#include "common/xml/xml_document.h"
#include "common/xml/xml_file.h"

namespace {

// One scratch file per fuzzing process, removed when the process ends.
struct ScratchFile {
  kavrel::Text path =
      kavrel::AsciiToText("/tmp/kavrel_xml_file_fuzz_" + std::to_string(getpid()) + ".xml");
  ~ScratchFile() { kavrel::DeleteFileAt(path); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ScratchFile scratch;
  const kavrel::Text& path = scratch.path;
  static const bool ansi = kavrel::SetAnsiCodePage(949);  // a multi-byte ANSI page
  (void)ansi;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (!kavrel::WriteFileBytes(path, bytes)) std::abort();

  kavrel::XmlDocument doc;
  if (!doc.LoadFile(path)) std::abort();  // the file exists, so it must read
  const std::int32_t marks = kavrel::XmlDocument::kFlagUtf16LeFile |
                             kavrel::XmlDocument::kFlagUtf8BomFile |
                             kavrel::XmlDocument::kFlagUtf16BeFile;
  if (doc.DocumentFlags() & ~marks) std::abort();
  while (doc.FindElement()) {
    doc.AttributeValue(u"encoding");
    while (doc.FindChildElement()) doc.ChildElementText();
  }

  bool cut = false;
  kavrel::LooksLikeUtf8(bytes.data(), bytes.size(), &cut);
  const kavrel::Text asText = kavrel::BytesToText(bytes, kavrel::kCodePageUtf8);
  kavrel::FindDeclaredCharset(asText);
  kavrel::CodePageForCharset(asText.substr(0, 120));
  return 0;
}
