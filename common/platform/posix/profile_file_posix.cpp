// Our own profile files, matching the Windows functions for what the programs
// do with them. The file is decoded as a whole (UTF-16LE or UTF-8 when it
// starts with that byte-order mark, otherwise the ANSI code page, as Windows
// reads it), edited as a list of lines, and written back in its encoding with
// CRLF line ends. A new file is written in the ANSI code page.
#include <cstdio>
#include <vector>

#include "common/platform/code_page.h"
#include "common/platform/files.h"
#include "common/platform/profile_file.h"

namespace kavrel {
namespace {

enum class Encoding { kAnsi, kUtf8Bom, kUtf16LeBom };

struct ProfileLines {
  Encoding encoding = Encoding::kAnsi;
  std::vector<Text> lines;
};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

TextView Trim(TextView t) {
  while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  return t;
}

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool SameName(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

bool ReadLines(const Text& path, ProfileLines& out) {
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return false;
  Text text;
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    out.encoding = Encoding::kUtf16LeBom;
    text = BytesToText(std::string_view(bytes).substr(2), kCodePageUtf16Le);
  } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    out.encoding = Encoding::kUtf8Bom;
    text = BytesToText(std::string_view(bytes).substr(3), kCodePageUtf8);
  } else {
    out.encoding = Encoding::kAnsi;
    text = BytesToText(bytes, kCodePageAnsi);
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(u'\n', start);
    const size_t next = end == Text::npos ? text.size() : end + 1;
    if (end == Text::npos) end = text.size();
    if (end > start && text[end - 1] == u'\r') --end;
    out.lines.emplace_back(text, start, end - start);
    start = next;
  }
  return true;
}

bool WriteLines(const Text& path, const ProfileLines& profile) {
  Text text;
  for (const Text& line : profile.lines) {
    text += line;
    text += u"\r\n";
  }
  std::string bytes;
  switch (profile.encoding) {
    case Encoding::kUtf16LeBom:
      bytes = "\xFF\xFE" + TextToBytes(text, kCodePageUtf16Le);
      break;
    case Encoding::kUtf8Bom:
      bytes = "\xEF\xBB\xBF" + TextToBytes(text, kCodePageUtf8);
      break;
    case Encoding::kAnsi:
      bytes = TextToBytes(text, kCodePageAnsi);
      break;
  }
  return WriteFileBytes(path, bytes);
}

// "[name]" with blanks allowed around the brackets and the name.
bool SectionHeader(TextView line, TextView& name) {
  line = Trim(line);
  if (line.empty() || line.front() != u'[') return false;
  line.remove_prefix(1);
  const size_t close = line.find(u']');
  name = Trim(close == TextView::npos ? line : line.substr(0, close));
  return true;
}

// "name=value"; comment lines (';') and lines without '=' are no keys.
bool KeyLine(TextView line, TextView& name, TextView& value) {
  line = Trim(line);
  if (line.empty() || line.front() == u';') return false;
  const size_t eq = line.find(u'=');
  if (eq == TextView::npos) return false;
  name = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return true;
}

// The extent of a section: its header line and the index past its last line.
struct Place {
  size_t header = 0, end = 0, key = 0;
  bool sectionFound = false, keyFound = false;
};

Place Locate(const ProfileLines& profile, const Text& section, const Text& key) {
  Place place;
  const std::vector<Text>& lines = profile.lines;
  for (size_t i = 0; i < lines.size(); ++i) {
    TextView name;
    if (!SectionHeader(lines[i], name) || !SameName(name, section)) continue;
    size_t end = i + 1;
    TextView sub;
    while (end < lines.size() && !SectionHeader(lines[end], sub)) ++end;
    if (!place.sectionFound) {
      place.sectionFound = true;
      place.header = i;
      place.end = end;
    }
    for (size_t k = i + 1; k < end; ++k) {
      TextView keyName, value;
      if (KeyLine(lines[k], keyName, value) && SameName(keyName, key)) {
        place.keyFound = true;
        place.key = k;
        return place;
      }
    }
    i = end - 1;
  }
  return place;
}

TextView Unquote(TextView value) {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

Text Cut(TextView value) { return Text(value.substr(0, kProfileValueMax)); }

}  // namespace

Text GetProfileText(const Text& path, const Text& section, const Text& key, const Text& fallback) {
  // As the system does, the fallback loses its trailing blanks.
  TextView def = fallback;
  while (!def.empty() && IsBlank(def.back())) def.remove_suffix(1);
  ProfileLines profile;
  if (!ReadLines(path, profile)) return Cut(def);
  const Place place = Locate(profile, section, key);
  if (!place.keyFound) return Cut(def);
  TextView name, value;
  KeyLine(profile.lines[place.key], name, value);
  return Cut(Unquote(value));
}

bool SetProfileText(const Text& path, const Text& section, const Text& key, const Text& value) {
  ProfileLines profile;
  ReadLines(path, profile);  // a missing file starts empty
  const Text line = key + u"=" + value;
  const Place place = Locate(profile, section, key);
  std::vector<Text>& lines = profile.lines;
  if (place.keyFound) {
    lines[place.key] = line;
  } else if (place.sectionFound) {
    // After the section's last non-blank line, so a blank line that separates
    // it from the next section stays where it is.
    size_t at = place.end;
    while (at > place.header + 1 && Trim(lines[at - 1]).empty()) --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line);
  } else {
    lines.push_back(u"[" + section + u"]");
    lines.push_back(line);
  }
  return WriteLines(path, profile);
}

bool RemoveProfileKey(const Text& path, const Text& section, const Text& key) {
  ProfileLines profile;
  if (!ReadLines(path, profile)) return true;
  const Place place = Locate(profile, section, key);
  if (!place.keyFound) return true;
  profile.lines.erase(profile.lines.begin() + static_cast<std::ptrdiff_t>(place.key));
  return WriteLines(path, profile);
}

}  // namespace kavrel
