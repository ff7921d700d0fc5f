// Indexing and walking generated service answers with XmlDocument, against
// parsing and walking the same answers with pugixml, in one run:
//   a 2,000-channel catalogue (pcTv.action) and a 500-channel guide for three
//   days (pcTvNotice.action, one answer per day).
// XmlDocument indexes the UTF-16 text the client holds; pugixml parses the
// UTF-8 bytes that arrive from the network.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "common/xml/xml_document.h"

namespace kavrel {
namespace {

std::string Catalogue() {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root><status>1</status><groups>\n";
  int channel = 0;
  for (int g = 0; g < 40; ++g) {
    s += "<group name=\"Group " + std::to_string(g) + "\" id=\"" + std::to_string(100 + g) +
         "\" isGroup=\"1\" classifyCode=\"C" + std::to_string(g) + "\">\n";
    for (int c = 0; c < 50; ++c, ++channel) {
      const std::string n = std::to_string(channel);
      s += "  <channel><id>" + n + "</id><resId>" + std::to_string(channel % 7) + "</resId><code>ch" + n +
           "</code><name>Channel &amp; " + n + "</name><status>1</status><isCharge>" +
           std::to_string(channel % 3 == 0) + "</isCharge></channel>\n";
    }
    s += "</group>\n";
  }
  return s + "</groups></root>\n";
}

std::string GuideDay(int day) {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n";
  for (int c = 0; c < 500; ++c) {
    const std::string n = std::to_string(c);
    s += "<tv><tvId>" + n + "</tvId><resId>" + std::to_string(c % 7) + "</resId><tvName>Channel " + n +
         "</tvName>\n";
    for (int h = 0; h < 24; ++h) {
      char time[16];
      std::snprintf(time, sizeof time, "%02d:00:00", h);
      s += "  <tvItem><title>Programme " + std::to_string(h) + " on " + n + "</title><startDate>2026-12-" +
           std::to_string(11 + day) + "</startDate><endDate>2026-12-" + std::to_string(11 + day) +
           "</endDate><startTime>" + time + "</startTime></tvItem>\n";
    }
    s += "</tv>\n";
  }
  return s + "</root>\n";
}

const std::string& CatalogueUtf8() {
  static const std::string s = Catalogue();
  return s;
}
const std::vector<std::string>& GuideUtf8() {
  static const std::vector<std::string> days = {GuideDay(0), GuideDay(1), GuideDay(2)};
  return days;
}

std::size_t WalkCatalogue(XmlDocument& doc) {
  std::size_t bytes = 0;
  if (!doc.FindElement(u"root") || !doc.FindChildElement(u"groups") || !doc.EnterElement()) return 0;
  while (doc.FindChildElement(u"group")) {
    bytes += doc.ChildAttributeValue(u"name").size() + doc.ChildAttributeValue(u"id").size();
    bytes += doc.ChildAttributeValue(u"isGroup").size() + doc.ChildAttributeValue(u"classifyCode").size();
    doc.EnterElement();
    while (doc.FindChildElement(u"channel")) {
      doc.EnterElement();
      for (const char16_t* name : {u"id", u"resId", u"code", u"name", u"status", u"isCharge"})
        if (doc.FindChildElement(name)) bytes += doc.ChildElementText().size();
      doc.LeaveElement();
    }
    doc.LeaveElement();
  }
  return bytes;
}

std::size_t WalkCatalogue(const pugi::xml_document& doc) {
  std::size_t bytes = 0;
  for (pugi::xml_node group : doc.child("root").child("groups").children("group")) {
    for (const char* name : {"name", "id", "isGroup", "classifyCode"})
      bytes += std::char_traits<char>::length(group.attribute(name).value());
    for (pugi::xml_node channel : group.children("channel"))
      for (const char* name : {"id", "resId", "code", "name", "status", "isCharge"})
        bytes += std::char_traits<char>::length(channel.child(name).child_value());
  }
  return bytes;
}

std::size_t WalkGuide(XmlDocument& doc) {
  std::size_t bytes = 0;
  if (!doc.FindElement()) return 0;
  while (doc.FindChildElement(u"tv")) {
    doc.EnterElement();
    for (const char16_t* name : {u"tvId", u"resId", u"tvName"})
      if (doc.FindChildElement(name)) bytes += doc.ChildElementText().size();
    while (doc.FindChildElement(u"tvItem")) {
      doc.EnterElement();
      for (const char16_t* name : {u"title", u"startDate", u"endDate", u"startTime"})
        if (doc.FindChildElement(name)) bytes += doc.ChildElementText().size();
      doc.LeaveElement();
    }
    doc.LeaveElement();
  }
  return bytes;
}

std::size_t WalkGuidePeer(const pugi::xml_document& doc) {
  std::size_t bytes = 0;
  for (pugi::xml_node tv : doc.document_element().children("tv")) {
    for (const char* name : {"tvId", "resId", "tvName"})
      bytes += std::char_traits<char>::length(tv.child(name).child_value());
    for (pugi::xml_node item : tv.children("tvItem"))
      for (const char* name : {"title", "startDate", "endDate", "startTime"})
        bytes += std::char_traits<char>::length(item.child(name).child_value());
  }
  return bytes;
}

void SetMemoryCounters(benchmark::State& state, const XmlDocument& doc, std::size_t inputBytes) {
  state.counters["elements"] = doc.ElementCount();
  state.counters["index_bytes_per_element"] =
      32.0 * doc.IndexCapacity() / (doc.ElementCount() ? doc.ElementCount() : 1);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * inputBytes));
}

void BM_Catalogue_Index(benchmark::State& state) {
  const Text text = Utf8ToText(CatalogueUtf8());
  XmlDocument doc;
  for (auto _ : state) benchmark::DoNotOptimize(doc.SetText(text));
  SetMemoryCounters(state, doc, CatalogueUtf8().size());
}

void BM_Catalogue_PugiParse(benchmark::State& state) {
  const std::string& s = CatalogueUtf8();
  for (auto _ : state) {
    pugi::xml_document doc;
    benchmark::DoNotOptimize(doc.load_buffer(s.data(), s.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size()));
}

void BM_Catalogue_IndexAndWalk(benchmark::State& state) {
  const Text text = Utf8ToText(CatalogueUtf8());
  for (auto _ : state) {
    XmlDocument doc(text);
    benchmark::DoNotOptimize(WalkCatalogue(doc));
  }
}

void BM_Catalogue_PugiParseAndWalk(benchmark::State& state) {
  const std::string& s = CatalogueUtf8();
  for (auto _ : state) {
    pugi::xml_document doc;
    doc.load_buffer(s.data(), s.size());
    benchmark::DoNotOptimize(WalkCatalogue(doc));
  }
}

void BM_Guide_Index(benchmark::State& state) {
  std::vector<Text> days;
  std::size_t bytes = 0;
  for (const std::string& d : GuideUtf8()) days.push_back(Utf8ToText(d)), bytes += d.size();
  XmlDocument doc;
  for (auto _ : state)
    for (const Text& day : days) benchmark::DoNotOptimize(doc.SetText(day));
  SetMemoryCounters(state, doc, bytes);
}

void BM_Guide_PugiParse(benchmark::State& state) {
  std::size_t bytes = 0;
  for (const std::string& d : GuideUtf8()) bytes += d.size();
  for (auto _ : state)
    for (const std::string& day : GuideUtf8()) {
      pugi::xml_document doc;
      benchmark::DoNotOptimize(doc.load_buffer(day.data(), day.size()));
    }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_Guide_IndexAndWalk(benchmark::State& state) {
  std::vector<Text> days;
  for (const std::string& d : GuideUtf8()) days.push_back(Utf8ToText(d));
  for (auto _ : state)
    for (const Text& day : days) {
      XmlDocument doc(day);
      benchmark::DoNotOptimize(WalkGuide(doc));
    }
}

void BM_Guide_PugiParseAndWalk(benchmark::State& state) {
  for (auto _ : state)
    for (const std::string& day : GuideUtf8()) {
      pugi::xml_document doc;
      doc.load_buffer(day.data(), day.size());
      benchmark::DoNotOptimize(WalkGuidePeer(doc));
    }
}

BENCHMARK(BM_Catalogue_Index)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Catalogue_PugiParse)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Catalogue_IndexAndWalk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Catalogue_PugiParseAndWalk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Guide_Index)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Guide_PugiParse)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Guide_IndexAndWalk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Guide_PugiParseAndWalk)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kavrel

BENCHMARK_MAIN();
