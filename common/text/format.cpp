#include "common/text/format.h"

#include <algorithm>

namespace kavrel {
namespace {

struct FieldSpec {
  bool left = false, plus = false, space = false, alternate = false, zero = false;
  int width = 0;
  int precision = -1;  // -1: none given
};

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int ReadNumber(TextView f, size_t& i) {
  long long n = 0;
  while (i < f.size() && IsDigit(f[i])) {
    n = std::min<long long>(n * 10 + (f[i] - u'0'), kMaxFieldWidth);
    ++i;
  }
  return static_cast<int>(n);
}

// Appends `body` padded to the field width; `prefix` (sign, 0x) stays in front
// of zero padding.
void Pad(Text& out, const FieldSpec& field, TextView prefix, TextView body, bool zeroPadAllowed) {
  const size_t len = prefix.size() + body.size();
  const size_t fill = field.width > 0 && static_cast<size_t>(field.width) > len ? field.width - len : 0;
  if (field.left) {
    out.append(prefix);
    out.append(body);
    out.append(fill, u' ');
  } else if (field.zero && zeroPadAllowed) {
    out.append(prefix);
    out.append(fill, u'0');
    out.append(body);
  } else {
    out.append(fill, u' ');
    out.append(prefix);
    out.append(body);
  }
}

Text Digits(std::uint64_t v, unsigned base, bool upper) {
  const char16_t* set = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
  Text d;
  do {
    d.push_back(set[v % base]);
    v /= base;
  } while (v != 0);
  std::reverse(d.begin(), d.end());
  return d;
}

// The value as the unsigned type of its own width, as printf shows a negative
// int under %u or %x.
std::uint64_t AsUnsigned(const FormatArg& a) {
  if (a.kind() != FormatArg::Kind::kSigned) return a.unsignedValue();
  const auto v = static_cast<std::uint64_t>(a.signedValue());
  return a.bytes() >= 8 ? v : v & ((std::uint64_t{1} << (a.bytes() * 8)) - 1);
}

void FormatInteger(Text& out, const FieldSpec& field, const FormatArg& a, char16_t conv) {
  bool negative = false;
  std::uint64_t magnitude;
  unsigned base = 10;
  bool upper = false;
  if (conv == u'd' || conv == u'i') {
    if (a.kind() == FormatArg::Kind::kSigned && a.signedValue() < 0) {
      negative = true;
      magnitude = 0 - static_cast<std::uint64_t>(a.signedValue());
    } else {
      magnitude = AsUnsigned(a);
    }
  } else {
    magnitude = AsUnsigned(a);
    if (conv == u'x') base = 16;
    if (conv == u'X') base = 16, upper = true;
    if (conv == u'o') base = 8;
  }

  Text body;
  if (!(field.precision == 0 && magnitude == 0)) body = Digits(magnitude, base, upper);
  if (field.precision > 0 && body.size() < static_cast<size_t>(field.precision))
    body.insert(0, field.precision - body.size(), u'0');
  if (conv == u'o' && field.alternate && (body.empty() || body[0] != u'0')) body.insert(0, 1, u'0');

  Text prefix;
  if (conv == u'd' || conv == u'i') {
    if (negative) prefix = u"-";
    else if (field.plus) prefix = u"+";
    else if (field.space) prefix = u" ";
  } else if (base == 16 && field.alternate && magnitude != 0) {
    prefix = upper ? u"0X" : u"0x";
  }
  // C ignores the 0 flag once a precision is given.
  Pad(out, field, prefix, body, field.precision < 0);
}

void FormatString(Text& out, const FieldSpec& field, TextView s) {
  if (field.precision >= 0 && s.size() > static_cast<size_t>(field.precision))
    s = s.substr(0, field.precision);
  Pad(out, field, TextView(), s, false);
}

}  // namespace

Text FormatArgs(TextView f, const FormatArg* args, std::size_t count) {
  Text out;
  out.reserve(f.size() + 16 * count);
  size_t next = 0;
  auto take = [&]() -> const FormatArg* { return next < count ? &args[next++] : nullptr; };

  size_t i = 0;
  while (i < f.size()) {
    const char16_t c = f[i];
    if (c != u'%') {
      out.push_back(c);
      ++i;
      continue;
    }
    const size_t start = i++;
    if (i < f.size() && f[i] == u'%') {
      out.push_back(u'%');
      ++i;
      continue;
    }
    FieldSpec field;
    for (; i < f.size(); ++i) {
      const char16_t g = f[i];
      if (g == u'-') field.left = true;
      else if (g == u'+') field.plus = true;
      else if (g == u' ') field.space = true;
      else if (g == u'#') field.alternate = true;
      else if (g == u'0') field.zero = true;
      else break;
    }
    auto starValue = [&]() {
      const FormatArg* a = take();
      if (!a || a->kind() == FormatArg::Kind::kText) return 0;
      const long long v = a->kind() == FormatArg::Kind::kSigned ? a->signedValue()
                                                                : static_cast<long long>(std::min<std::uint64_t>(a->unsignedValue(), kMaxFieldWidth));
      return static_cast<int>(std::clamp<long long>(v, -kMaxFieldWidth, kMaxFieldWidth));
    };
    if (i < f.size() && f[i] == u'*') {
      ++i;
      field.width = starValue();
      if (field.width < 0) field.left = true, field.width = -field.width;
    } else {
      field.width = ReadNumber(f, i);
    }
    if (i < f.size() && f[i] == u'.') {
      ++i;
      if (i < f.size() && f[i] == u'*') {
        ++i;
        const int p = starValue();
        field.precision = p < 0 ? -1 : p;
      } else {
        field.precision = ReadNumber(f, i);
      }
    }
    // Length modifiers: the argument knows its own size.
    while (i < f.size()) {
      if (f[i] == u'h' || f[i] == u'l' || f[i] == u'L' || f[i] == u'q' || f[i] == u'j' ||
          f[i] == u'z' || f[i] == u't' || f[i] == u'w') {
        ++i;
      } else if (f[i] == u'I' && f.substr(i, 3) == u"I64") {
        i += 3;
      } else if (f[i] == u'I' && f.substr(i, 3) == u"I32") {
        i += 3;
      } else if (f[i] == u'I') {
        ++i;
      } else {
        break;
      }
    }
    if (i >= f.size()) {  // a lone % at the end stays as written
      out.append(f.substr(start));
      break;
    }
    const char16_t conv = f[i++];
    switch (conv) {
      case u's':
      case u'S': {
        const FormatArg* a = take();
        if (!a) break;
        if (a->kind() == FormatArg::Kind::kText) {
          FormatString(out, field, a->text());
        } else if (a->kind() == FormatArg::Kind::kChar) {
          const char16_t ch = static_cast<char16_t>(a->unsignedValue());
          FormatString(out, field, TextView(&ch, 1));
        } else {
          FieldSpec number = field;
          number.precision = -1;
          FormatInteger(out, number, *a, u'd');
        }
        break;
      }
      case u'd': case u'i': case u'u': case u'x': case u'X': case u'o': {
        const FormatArg* a = take();
        if (!a) break;
        if (a->kind() == FormatArg::Kind::kText) {
          FormatString(out, FieldSpec{field.left, false, false, false, false, field.width, -1}, a->text());
        } else {
          FormatInteger(out, field, *a, conv);
        }
        break;
      }
      case u'c':
      case u'C': {
        const FormatArg* a = take();
        if (!a) break;
        char16_t ch = 0;
        if (a->kind() == FormatArg::Kind::kText) {
          if (!a->text().empty()) ch = a->text()[0];
        } else {
          ch = static_cast<char16_t>(AsUnsigned(*a) & 0xFFFF);
        }
        if (ch != 0) FormatString(out, FieldSpec{field.left, false, false, false, false, field.width, -1}, TextView(&ch, 1));
        break;
      }
      default:
        // %n, %p, %f and anything else: shown as written, no argument used.
        out.append(f.substr(start, i - start));
        break;
    }
  }
  return out;
}

}  // namespace kavrel
