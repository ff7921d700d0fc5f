// The stream cipher and the stream-address decoding.
//
// The service sends every channel's stream address enciphered: the address in
// the ANSI code page, padded with zero bytes to whole 8-byte blocks,
// enciphered with two-key triple DES in ECB mode under the client's stream key
// and written as hexadecimal. The DES here numbers the bits of a block and of
// a key least significant bit first within each byte (see des.h).
//
// The functions keep no state and are safe on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/platform/text.h"

namespace kavrel {

// The fee answer's "url" text to the stream address. The text is taken in the
// ANSI code page (at most 128 bytes) and read as pairs of hexadecimal digits
// (either case) up to the first pair that is not; every block decoded is
// deciphered (a zero byte in the cipher text ends nothing) and the address is
// the result up to its first zero byte (at most 128 characters). Text that is
// not hexadecimal gives the empty text.
Text DecodeStreamAddress(TextView enciphered);

// The inverse, as the service does it: upper-case hexadecimal of the
// enciphered address. An empty address gives the empty text. Addresses of
// more than 64 ANSI bytes (128 digits) cannot be decoded whole by the
// client.
Text EncodeStreamAddress(TextView address);

// The block layer under both, with an explicit 16-byte key (K1 = bytes 0-7,
// K2 = bytes 8-15). Input shorter than whole blocks is padded with zero bytes.
// Deciphering: DES-decrypt K1, DES-encrypt K2, DES-decrypt K1 per block;
// enciphering the reverse.
std::string StreamDecipher(std::string_view bytes, const uint8_t key[16]);
std::string StreamEncipher(std::string_view bytes, const uint8_t key[16]);

}  // namespace kavrel
