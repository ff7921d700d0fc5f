// Feeds arbitrary bytes as a skin to the builder and lays the result out and
// drives it with input: nothing may crash or leak.
#include <cstddef>
#include <cstdint>

#include "ui/builder.h"
#include "ui/manager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kavrel;
  Text skin = Utf8ToText(std::string_view(reinterpret_cast<const char*>(data), size));
  CControlManagerUI manager;
  CDialogBuilder builder;
  CControlUI* root = builder.CreateFromText(skin, &manager);
  if (!root) return 0;
  manager.SetClientSize({640, 480});
  manager.AttachDialog(root);
  for (int y = 0; y < 480; y += 37) {
    manager.MouseDown({y, y});
    manager.MouseUp({y, y});
    manager.DoubleClick({y + 5, y});
    manager.Char(u'a');
    manager.KeyDown(UiKey::kDown);
  }
  return 0;
}
