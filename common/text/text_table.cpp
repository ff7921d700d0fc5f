#include "common/text/text_table.h"

#include "common/platform/program_folder.h"
#include "common/xml/xml_document.h"

namespace kavrel {
TextTable& TextTable::Instance() {
  // Made on first use and never destroyed, so no thread can outlive it.
  static TextTable* const instance = new TextTable();
  return *instance;
}

Text TextTable::Lookup(TextView key) const {
  XmlDocument document;
  const Text folder = ProgramFolder();
  if (folder.empty()) return Text();
  // A missing or unreadable file leaves an empty document; the finds below
  // then fail and the lookup answers the empty text.
  // The folder ends in the platform's separator; the same one joins the rest.
  const char16_t separator = folder.back();
  document.LoadFile(folder + u"languages" + separator + u"language.xml");
  document.ResetMainPosition();
  if (!document.FindElement(u"LANGUAGE")) return Text();
  if (key.empty() || !document.FindChildElement(key)) return Text();
  document.EnterElement();
  return document.ElementText();
}

}  // namespace kavrel
