// CDialogBuilder: builds a control tree from a skin file (see README.md for
// the format). A skin that cannot be read, is not well-formed XML, has no
// <Window> top element or no root control fails the build: Create answers
// null and LastError() says why. Smaller faults (an unknown element or
// attribute, a value that does not parse) skip that piece and are listed in
// Warnings(). The tree is not attached; the caller hands it to its manager.
#pragma once

#include <functional>
#include <vector>

#include "common/platform/text.h"
#include "ui/controls.h"

namespace kavrel {

class CControlManagerUI;
class XmlDocument;

class CDialogBuilder {
 public:
  // Makes the control of a tag the toolkit does not know (null: unknown).
  using CustomFactory = std::function<CControlUI*(TextView tag)>;

  // The nesting the builder follows; deeper skins are refused.
  static constexpr int kMaxDepth = 64;

  // `skinFile` is resolved against the resource path. The window attributes
  // and fonts of the skin go to `manager` when it is not null.
  CControlUI* Create(TextView skinFile, CControlManagerUI* manager, CustomFactory custom = nullptr);
  // The same from the skin's text.
  CControlUI* CreateFromText(TextView skinText, CControlManagerUI* manager, CustomFactory custom = nullptr);

  const Text& LastError() const { return lastError_; }
  const std::vector<Text>& Warnings() const { return warnings_; }

  // A new control for a skin tag ("Button", "List", ...), null for an
  // unknown tag.
  static CControlUI* CreateControl(TextView tag);

 private:
  CControlUI* Build(XmlDocument& doc, CControlManagerUI* manager);
  bool BuildChildren(XmlDocument& doc, CControlUI* parent, int depth);
  void ApplyAttributes(XmlDocument& doc, CControlUI* control, bool child);
  void ApplyWindowAttributes(XmlDocument& doc, CControlManagerUI* manager);
  void ApplyFont(XmlDocument& doc, CControlManagerUI* manager);
  void Warn(Text text) { warnings_.push_back(std::move(text)); }

  CustomFactory custom_;
  Text lastError_;
  std::vector<Text> warnings_;
};

// The names of the attributes written in an element's start tag, in order,
// without repeats. `tag` is the whole start tag, from "<" to ">".
std::vector<Text> StartTagAttributeNames(TextView tag);

}  // namespace kavrel
