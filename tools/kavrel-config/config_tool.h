// kavrel-config: the settings tool of installers and support staff.
//
//   kavrel-config [--file PATH] get KEY [--plain]
//   kavrel-config [--file PATH] set KEY VALUE [--plain]
//   kavrel-config encipher TEXT
//   kavrel-config decipher HEX
//   kavrel-config [--file PATH] init --server URL [--server URL]...
//       [--player-auth URL]... [--stats URL] [--home URL] [--store URL]
//       [--client URL] [--feedback MAIL] [--renew URL]
//
// Without --file the tool works on config.ini in its own folder, as the
// client does. Values are enciphered and deciphered with the client's own
// settings cipher unless --plain is given.
#pragma once

#include <string>
#include <vector>

#include "common/platform/text.h"

namespace kavrel {

enum ConfigToolStatus { kToolOk = 0, kToolFailed = 1, kToolBadUse = 2 };

// Runs the tool on `args` (without the program name). What it prints goes to
// `out` (UTF-8, one line per value); a failure or bad use leaves one line in
// `err`. Answers the exit status.
int RunConfigTool(const std::vector<Text>& args, std::string& out, std::string& err);

}  // namespace kavrel
