#include <windows.h>

#include <cstdio>

#include "tools/kavrel-config/config_tool.h"

// The arguments arrive as UTF-16 from the system; the output is UTF-8.
int wmain(int argc, wchar_t** argv) {
  std::vector<kavrel::Text> args;
  for (int i = 1; i < argc; ++i) args.push_back(kavrel::FromWide(argv[i]));
  std::string out, err;
  const int status = kavrel::RunConfigTool(args, out, err);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fwrite(err.data(), 1, err.size(), stderr);
  return status;
}
