// The two 16-byte keys of the client, in one place.
//
// The settings key-encryption key wraps the enciphered values of config.ini;
// the stream key deciphers the stream addresses the service sends. Both are
// build configuration (CMake cache variables KAVREL_SETTINGS_KEY and
// KAVREL_STREAM_KEY, 32 hexadecimal digits each) so an operator can match the
// service. The program holds them only masked and builds the plain key at run
// time, on every call.
#pragma once

#include <array>
#include <cstdint>

namespace kavrel {

using CipherKey = std::array<uint8_t, 16>;

CipherKey SettingsKeyEncryptionKey();
CipherKey StreamKey();

}  // namespace kavrel
