#include "tools/kavrel-config/config_tool.h"

#include <memory>

#include "client/foundation/settings_file.h"

namespace kavrel {
namespace {

constexpr char16_t kSeparator[] = u"<EOF>";
constexpr size_t kMaxServers = 3;
constexpr size_t kPlayerAuthEntries = 3;  // one per server position, always all three

constexpr char kUsage[] =
    "usage: kavrel-config [--file PATH] get KEY [--plain] | set KEY VALUE [--plain] | "
    "encipher TEXT | decipher HEX | init --server URL... [options]";

struct Outcome {
  int status = kToolOk;
  std::string message;
};

Outcome BadUse(const std::string& why) { return {kToolBadUse, "kavrel-config: " + why}; }
Outcome Failed(const std::string& why) { return {kToolFailed, "kavrel-config: " + why}; }

// A list setting: every entry followed by the separator.
Text JoinEntries(const std::vector<Text>& entries) {
  Text out;
  for (const Text& e : entries) out += e + kSeparator;
  return out;
}

struct InitOptions {
  std::vector<Text> servers, playerAuth;
  Text stats, home, store, client, feedback, renew;
};

Outcome ParseInit(const std::vector<Text>& args, size_t at, InitOptions& o) {
  struct Single {
    const char16_t* name;
    Text* target;
  } singles[] = {{u"--stats", &o.stats},   {u"--home", &o.home},         {u"--store", &o.store},
                 {u"--client", &o.client}, {u"--feedback", &o.feedback}, {u"--renew", &o.renew}};
  for (; at < args.size(); ++at) {
    const Text& option = args[at];
    if (at + 1 >= args.size()) return BadUse(TextToUtf8(option) + " needs a value");
    const Text& value = args[++at];
    if (option == u"--server") {
      if (value.empty()) return BadUse("a server address cannot be empty");
      o.servers.push_back(value);
      continue;
    }
    if (option == u"--player-auth") {
      o.playerAuth.push_back(value);
      continue;
    }
    bool known = false;
    for (const Single& s : singles) {
      if (option == s.name) {
        *s.target = value;
        known = true;
      }
    }
    if (!known) return BadUse("unknown init option " + TextToUtf8(option));
  }
  if (o.servers.empty()) return BadUse("init needs at least one --server");
  if (o.servers.size() > kMaxServers) return BadUse("init takes at most 3 --server");
  if (o.playerAuth.size() > kPlayerAuthEntries) return BadUse("init takes at most 3 --player-auth");
  for (const std::vector<Text>* list : {&o.servers, &o.playerAuth})
    for (const Text& e : *list)
      if (e.find(kSeparator) != Text::npos) return BadUse("an address cannot contain <EOF>");
  return {};
}

Outcome RunInit(SettingsFile& settings, const InitOptions& o) {
  std::vector<Text> auth = o.playerAuth;
  auth.resize(kPlayerAuthEntries);
  const struct {
    const char16_t* key;
    Text value;
    bool enciphered;
  } writes[] = {
      {u"ServerUrl", JoinEntries(o.servers), true},
      {u"UerSetMeal", JoinEntries(auth), true},
      {u"BIServer", o.stats, true},
      {u"HomePage", o.home, false},
      {u"StorePage", o.store, false},
      {u"ClientPage", o.client, false},
      {u"FeedbackMail", o.feedback, false},
      {u"PayForUrlAppStore", o.renew, false},
  };
  for (const auto& w : writes) {
    // An empty value cannot be enciphered; written plain it reads as "not set"
    // in both forms.
    const bool plain = !w.enciphered || w.value.empty();
    if (!settings.WriteValue(w.key, w.value, plain)) {
      return Failed("cannot write " + TextToUtf8(w.key) + " to " + TextToUtf8(settings.Path()) +
                    (plain ? "" : " (or the value is too long)"));
    }
  }
  return {};
}

Outcome Run(const std::vector<Text>& args, std::string& out) {
  size_t at = 0;
  Text file;
  if (at < args.size() && args[at] == u"--file") {
    if (at + 1 >= args.size() || args[at + 1].empty()) return BadUse("--file needs a path");
    file = args[at + 1];
    at += 2;
  }
  if (at >= args.size()) return BadUse(std::string("no command; ") + kUsage);
  const Text command = args[at++];
  std::vector<Text> rest(args.begin() + static_cast<std::ptrdiff_t>(at), args.end());

  std::unique_ptr<SettingsFile> own;
  auto settings = [&]() -> SettingsFile& {
    if (file.empty()) return SettingsFile::Instance();
    if (!own) own = std::make_unique<SettingsFile>(file);
    return *own;
  };

  if (command == u"encipher" || command == u"decipher") {
    if (!file.empty()) return BadUse(TextToUtf8(command) + " takes no --file");
    if (rest.size() != 1) return BadUse(TextToUtf8(command) + " takes exactly one argument");
    if (command == u"encipher") {
      out += TextToUtf8(settings().Encipher(rest[0])) + "\n";
      return {};
    }
    const Text plain = settings().Decipher(rest[0]);
    if (plain.empty() && !rest[0].empty()) return Failed("not a valid enciphered value");
    out += TextToUtf8(plain) + "\n";
    return {};
  }

  if (command == u"get" || command == u"set") {
    bool plain = false;
    std::vector<Text> positional;
    for (const Text& a : rest) {
      if (a == u"--plain") {
        plain = true;
      } else {
        positional.push_back(a);
      }
    }
    const size_t wanted = command == u"get" ? 1 : 2;
    if (positional.size() != wanted)
      return BadUse(command == u"get" ? "usage: get KEY [--plain]" : "usage: set KEY VALUE [--plain]");
    if (positional[0].empty()) return BadUse("the key cannot be empty");
    if (command == u"get") {
      out += TextToUtf8(settings().ReadValue(positional[0], !plain)) + "\n";
      return {};
    }
    if (!plain && positional[1].empty()) return BadUse("an empty value is written with --plain");
    if (!settings().WriteValue(positional[0], positional[1], plain)) {
      return Failed("cannot write " + TextToUtf8(positional[0]) + " to " + TextToUtf8(settings().Path()) +
                    (plain ? "" : " (or the value is too long to encipher)"));
    }
    return {};
  }

  if (command == u"init") {
    InitOptions options;
    Outcome parsed = ParseInit(rest, 0, options);
    if (parsed.status != kToolOk) return parsed;
    return RunInit(settings(), options);
  }

  return BadUse("unknown command " + TextToUtf8(command) + "; " + kUsage);
}

}  // namespace

int RunConfigTool(const std::vector<Text>& args, std::string& out, std::string& err) {
  const Outcome outcome = Run(args, out);
  if (outcome.status != kToolOk) err += outcome.message + "\n";
  return outcome.status;
}

}  // namespace kavrel
