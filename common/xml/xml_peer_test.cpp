// Reads real documents that Debian packages install (iso-codes, xkb-data,
// D-Bus interfaces, AppStream metadata) with XmlDocument and with pugixml and
// compares every element's name, text and attribute values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "common/xml/xml_document.h"

namespace kavrel {
namespace {

namespace fs = std::filesystem;

// pugixml set up to read what XmlDocument reads: references decoded, CDATA
// kept, whitespace-only text kept only when it is an element's only content,
// and no newline or attribute-whitespace normalisation.
constexpr unsigned kPeerOptions =
    pugi::parse_cdata | pugi::parse_escapes | pugi::parse_ws_pcdata_single;

struct Totals {
  int documents = 0;
  long elements = 0;
  long attributes = 0;
  long texts = 0;
};

std::string PeerText(const pugi::xml_node& node) {
  std::string text;
  for (const pugi::xml_node& child : node.children()) {
    if (child.type() == pugi::node_element) return std::string();
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
  }
  return text;
}

// `doc`'s main position is the element `peer`. Returns false at the first
// difference so that one broken reader does not flood the output.
bool CompareElement(const pugi::xml_node& peer, XmlDocument& doc, const std::string& where,
                    Totals& totals) {
  ++totals.elements;
  const std::string name = TextToUtf8(Text(doc.TagName(doc.MainPosition())));
  EXPECT_EQ(name, peer.name()) << where;
  if (name != peer.name()) return false;
  const std::string path = where + "/" + name;
  for (const pugi::xml_attribute& a : peer.attributes()) {
    ++totals.attributes;
    const std::string ours = TextToUtf8(doc.AttributeValue(Utf8ToText(a.name())));
    EXPECT_EQ(ours, a.value()) << path << " @" << a.name();
    if (ours != a.value()) return false;
  }
  const std::string text = TextToUtf8(doc.ElementText());
  EXPECT_EQ(text, PeerText(peer)) << path;
  if (text != PeerText(peer)) return false;
  if (!text.empty()) ++totals.texts;
  for (const pugi::xml_node& child : peer.children(  )) {
    if (child.type() != pugi::node_element) continue;
    EXPECT_TRUE(doc.FindChildElement()) << path << ": child " << child.name() << " missing";
    if (!doc.ChildPosition()) return false;
    doc.EnterElement();
    const bool same = CompareElement(child, doc, path, totals);
    doc.LeaveElement();
    if (!same) return false;
  }
  EXPECT_FALSE(doc.FindChildElement()) << path << ": more children than the peer reads";
  return true;
}

std::vector<fs::path> RealDocuments() {
  std::vector<fs::path> files;
  const char* const folders[] = {"/usr/share/xml/iso-codes", "/usr/share/X11/xkb/rules",
                                 "/usr/share/dbus-1/interfaces", "/usr/share/metainfo"};
  for (const char* folder : folders) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      if (entry.is_regular_file() && entry.path().extension() == ".xml" && !entry.is_symlink())
        files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(XmlPeer, EveryElementTextAndAttributeMatchesPugixml) {
  Totals totals;
  for (const fs::path& file : RealDocuments()) {
    pugi::xml_document peer;
    if (!peer.load_file(file.c_str(), kPeerOptions)) continue;  // not well-formed, or empty
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(Utf8ToText(file.string()))) << file;
    ++totals.documents;
    ASSERT_TRUE(doc.FindElement()) << file;
    const pugi::xml_node root = peer.document_element();
    const bool same = CompareElement(root, doc, file.string(), totals);
    EXPECT_TRUE(same) << file;
    EXPECT_TRUE(doc.CheckWellFormed()) << file << ": " << TextToUtf8(doc.ResultLog());
  }
  std::printf("compared %d documents: %ld elements, %ld attributes, %ld texts\n", totals.documents,
              totals.elements, totals.attributes, totals.texts);
  // iso-codes alone installs more than this; a machine without the data
  // must not pass by comparing nothing.
  EXPECT_GE(totals.documents, 5);
  EXPECT_GE(totals.elements, 10000);
}

}  // namespace
}  // namespace kavrel
