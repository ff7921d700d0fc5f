// TextTable: every user-visible text by key, from the language file
// <program folder>languages\language.xml.
//
// The file's top element is LANGUAGE; each of its children is one entry whose
// tag name is the key (compared exactly) and whose text content is the text.
// The file may be in any encoding XmlDocument::LoadFile reads.
//
// There is no cache: every Lookup reads and indexes the whole file afresh, so
// a replaced language file takes effect at once. Lookup shares nothing
// between calls and may run on any thread at the same time. The instance is
// made on first use (on the main thread at start-up) and never destroyed.
#pragma once

#include "common/platform/text.h"

namespace kavrel {

class TextTable {
 public:
  static TextTable& Instance();

  // The entry's text; the empty text when the program folder, the file, the
  // LANGUAGE element or the entry is missing, or the entry has child
  // elements. Never fails otherwise.
  Text Lookup(TextView key) const;

 private:
  TextTable() = default;
};

}  // namespace kavrel
