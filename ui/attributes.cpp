#include "ui/attributes.h"

#include <vector>

namespace kavrel {
namespace {

constexpr long kMaxMagnitude = 1000000;

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

TextView Trim(TextView t) {
  while (!t.empty() && IsSpace(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsSpace(t.back())) t.remove_suffix(1);
  return t;
}

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

bool EqualsAscii(TextView a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    if (Lower(a[i]) != char16_t(b[i])) return false;
  }
  return i == a.size() && b[i] == 0;
}

// Splits on commas; answers false unless exactly `count` integers are read.
bool ParseInts(TextView text, int* out, size_t count) {
  std::vector<int> values;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(u',', start);
    TextView part = text.substr(start, comma == TextView::npos ? TextView::npos : comma - start);
    int v = 0;
    if (!ParseUiInt(part, &v)) return false;
    values.push_back(v);
    if (values.size() > count) return false;
    if (comma == TextView::npos) break;
    start = comma + 1;
  }
  if (values.size() != count) return false;
  for (size_t i = 0; i < count; ++i) out[i] = values[i];
  return true;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  c = Lower(c);
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

}  // namespace

bool ParseUiInt(TextView text, int* value) {
  text = Trim(text);
  if (text.empty()) return false;
  bool negative = false;
  size_t i = 0;
  if (text[0] == u'-' || text[0] == u'+') {
    negative = text[0] == u'-';
    i = 1;
  }
  if (i == text.size()) return false;
  long v = 0;
  for (; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + (c - u'0');
    if (v > kMaxMagnitude) return false;
  }
  *value = static_cast<int>(negative ? -v : v);
  return true;
}

bool ParseUiBool(TextView text, bool* value) {
  text = Trim(text);
  if (EqualsAscii(text, "true") || text == u"1") {
    *value = true;
    return true;
  }
  if (EqualsAscii(text, "false") || text == u"0") {
    *value = false;
    return true;
  }
  return false;
}

bool ParseUiRect(TextView text, UiRect* value) {
  int v[4];
  if (!ParseInts(text, v, 4)) return false;
  *value = UiRect{v[0], v[1], v[2], v[3]};
  return true;
}

bool ParseUiSize(TextView text, UiSize* value) {
  int v[2];
  if (!ParseInts(text, v, 2)) return false;
  *value = UiSize{v[0], v[1]};
  return true;
}

bool ParseUiColor(TextView text, UiColor* value) {
  text = Trim(text);
  if (!text.empty() && text[0] == u'#') {
    text.remove_prefix(1);
  } else if (text.size() > 2 && text[0] == u'0' && Lower(text[1]) == u'x') {
    text.remove_prefix(2);
  }
  if (text.size() != 6 && text.size() != 8) return false;
  UiColor c = 0;
  for (char16_t ch : text) {
    int d = HexDigit(ch);
    if (d < 0) return false;
    c = (c << 4) | static_cast<UiColor>(d);
  }
  if (text.size() == 6) c |= 0xFF000000u;
  *value = c;
  return true;
}

bool ParseUiImage(TextView text, UiImage* value) {
  TextView t = Trim(text);
  if (t.empty()) return false;
  if (t.find(u'=') == TextView::npos) {
    *value = UiImage{Text(t), UiRect{}, UiRect{}};
    return true;
  }
  UiImage image;
  size_t i = 0;
  while (i < t.size()) {
    while (i < t.size() && IsSpace(t[i])) ++i;
    size_t eq = t.find(u'=', i);
    if (eq == TextView::npos) break;
    TextView key = Trim(t.substr(i, eq - i));
    size_t q = eq + 1;
    while (q < t.size() && IsSpace(t[q])) ++q;
    if (q >= t.size() || (t[q] != u'\'' && t[q] != u'"')) return false;
    char16_t quote = t[q];
    size_t end = t.find(quote, q + 1);
    if (end == TextView::npos) return false;
    TextView val = t.substr(q + 1, end - q - 1);
    if (EqualsAscii(key, "file")) {
      image.file = Text(val);
    } else if (EqualsAscii(key, "source")) {
      if (!ParseUiRect(val, &image.source)) return false;
    } else if (EqualsAscii(key, "corner")) {
      if (!ParseUiRect(val, &image.corner)) return false;
    }
    i = end + 1;
  }
  if (image.file.empty()) return false;
  *value = image;
  return true;
}

bool ParseUiAlign(TextView text, unsigned* flags) {
  text = Trim(text);
  unsigned horizontal;
  if (EqualsAscii(text, "left")) {
    horizontal = kAlignLeft;
  } else if (EqualsAscii(text, "center")) {
    horizontal = kAlignCenter;
  } else if (EqualsAscii(text, "right")) {
    horizontal = kAlignRight;
  } else {
    return false;
  }
  *flags = (*flags & ~unsigned(kAlignCenter | kAlignRight)) | horizontal;
  return true;
}

}  // namespace kavrel
