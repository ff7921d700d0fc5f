// Reading XML documents from files: encoding detection and conversion to
// UTF-16. XmlDocument::LoadFile uses these; they are public so that tools and
// tests can ask the same questions of a file.
//
// Detection order: a byte-order mark (UTF-8, UTF-16LE, UTF-16BE); else the
// charset declared in an XML declaration or an HTML meta element; else UTF-8
// when the file starts with "<" or its bytes look like UTF-8; else the
// process's ANSI code page. Every step adds a record to the result log.
//
// All functions are thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/platform/text.h"

namespace kavrel {

// Code page returned for names that begin with "UTF-32": a value of this
// reader's own, not a Windows code page.
constexpr int kCodePageUtf32 = 65005;

// Reads `path` into `text` (UTF-16) and appends the file records to `log`.
// `flags` are document flags: on return they carry the byte-order-mark flag
// of the file (0x01, 0x04 or 0x80) and never the read bit 0x10. False when
// the file cannot be read (text empty, a "file_error" record logged).
bool ReadDocumentFile(const Text& path, std::int32_t& flags, Text& text, Text& log);

// The charset named by an XML declaration at the start of `text`, or by an
// HTML meta http-equiv="Content-Type" element in its head; empty when none.
Text FindDeclaredCharset(TextView text);

// True when the bytes up to `length` or the first zero byte form UTF-8 lead
// and continuation sequences (lenient: continuation bytes need only be 0x80
// or above). On false, `cutByEnd` (if given) says whether the failing
// sequence was cut by the end of the buffer.
bool LooksLikeUtf8(const char* bytes, std::size_t length, bool* cutByEnd = nullptr);

// Windows code page for a charset name (ASCII case ignored): 0 for the empty
// name (the ANSI code page), kCodePageUtf32 for names beginning "UTF-32",
// -1 for unknown names.
int CodePageForCharset(TextView name);

}  // namespace kavrel
