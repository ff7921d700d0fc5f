#include "ui/builder.h"

#include <map>

#include "common/xml/xml_document.h"
#include "ui/manager.h"

namespace kavrel {
namespace {

bool IsTagSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

using Factory = CControlUI* (*)();

template <typename T>
CControlUI* Make() {
  return new T();
}

// Skin tag -> control. New kinds are added here and nowhere else.
const std::map<Text, Factory>& Factories() {
  static const auto* table = new std::map<Text, Factory>{
      {u"Control", &Make<CControlUI>},
      {u"Container", &Make<CContainerUI>},
      {u"VerticalLayout", &Make<CVerticalLayoutUI>},
      {u"HorizontalLayout", &Make<CHorizontalLayoutUI>},
      {u"TabLayout", &Make<CTabLayoutUI>},
      {u"Label", &Make<CLabelUI>},
      {u"Text", &Make<CTextUI>},
      {u"Button", &Make<CButtonUI>},
      {u"Option", &Make<COptionUI>},
      {u"Edit", &Make<CEditUI>},
      {u"ScrollBar", &Make<CScrollBarUI>},
      {u"List", &Make<CListUI>},
      {u"ListLabelElement", &Make<CListLabelElementUI>},
      {u"ListTextElement", &Make<CListTextElementUI>},
      {u"Combo", &Make<CComboUI>},
      {u"ActiveX", &Make<CActiveXUI>},
      {u"WebBrowser", &Make<CWebBrowserUI>},
  };
  return *table;
}

Text Quote(TextView t) { return u"\"" + Text(t) + u"\""; }

}  // namespace

std::vector<Text> StartTagAttributeNames(TextView tag) {
  std::vector<Text> names;
  size_t i = 1;
  while (i < tag.size() && !IsTagSpace(tag[i]) && tag[i] != u'/' && tag[i] != u'>') ++i;
  while (i < tag.size()) {
    while (i < tag.size() && IsTagSpace(tag[i])) ++i;
    if (i >= tag.size() || tag[i] == u'/' || tag[i] == u'>') break;
    size_t start = i;
    while (i < tag.size() && !IsTagSpace(tag[i]) && tag[i] != u'=' && tag[i] != u'/' && tag[i] != u'>') ++i;
    Text name(tag.substr(start, i - start));
    while (i < tag.size() && IsTagSpace(tag[i])) ++i;
    if (i < tag.size() && tag[i] == u'=') {
      ++i;
      while (i < tag.size() && IsTagSpace(tag[i])) ++i;
      if (i < tag.size() && (tag[i] == u'"' || tag[i] == u'\'')) {
        size_t end = tag.find(tag[i], i + 1);
        i = end == TextView::npos ? tag.size() : end + 1;
      } else {
        while (i < tag.size() && !IsTagSpace(tag[i]) && tag[i] != u'>') ++i;
      }
    }
    if (name.empty()) {
      ++i;  // a stray character; step over it
      continue;
    }
    bool seen = false;
    for (const Text& n : names) seen = seen || n == name;
    if (!seen) names.push_back(std::move(name));
  }
  return names;
}

CControlUI* CDialogBuilder::CreateControl(TextView tag) {
  auto it = Factories().find(Text(tag));
  return it == Factories().end() ? nullptr : it->second();
}

CControlUI* CDialogBuilder::Create(TextView skinFile, CControlManagerUI* manager, CustomFactory custom) {
  lastError_.clear();
  warnings_.clear();
  custom_ = std::move(custom);
  XmlDocument doc;
  Text path = CControlManagerUI::ResolveResource(skinFile);
  if (skinFile.empty() || !doc.LoadFile(path)) {
    lastError_ = u"cannot read the skin file " + Quote(path);
    return nullptr;
  }
  return Build(doc, manager);
}

CControlUI* CDialogBuilder::CreateFromText(TextView skinText, CControlManagerUI* manager, CustomFactory custom) {
  lastError_.clear();
  warnings_.clear();
  custom_ = std::move(custom);
  XmlDocument doc(skinText);
  return Build(doc, manager);
}

CControlUI* CDialogBuilder::Build(XmlDocument& doc, CControlManagerUI* manager) {
  if (!doc.CheckWellFormed()) {
    lastError_ = u"the skin is not well-formed XML";
    return nullptr;
  }
  if (!doc.FindElement(u"Window")) {
    lastError_ = u"the skin has no <Window> element";
    return nullptr;
  }
  if (manager) ApplyWindowAttributes(doc, manager);
  // A holder collects the one root control; it never reaches the caller.
  CContainerUI holder;
  if (!BuildChildren(doc, &holder, 1)) {
    // lastError_ is set; the holder deletes what was built.
    return nullptr;
  }
  if (holder.GetCount() == 0) {
    lastError_ = u"the skin has no root control";
    return nullptr;
  }
  if (holder.GetCount() > 1) Warn(u"only the first root control is used");
  CControlUI* root = holder.DetachAt(0);
  return root;
}

bool CDialogBuilder::BuildChildren(XmlDocument& doc, CControlUI* parent, int depth) {
  if (depth > kMaxDepth) {
    lastError_ = u"the skin nests controls too deeply";
    return false;
  }
  auto* container = dynamic_cast<CContainerUI*>(parent);
  while (doc.FindChildElement()) {
    Text tag(doc.TagName(doc.ChildPosition()));
    if (depth == 1 && tag == u"Font") {
      // Fonts belong to the window; handled by ApplyWindowAttributes.
      continue;
    }
    if (depth == 1 && tag == u"Default") continue;
    CControlUI* control = custom_ ? custom_(tag) : nullptr;
    if (!control) control = CreateControl(tag);
    if (!control) {
      Warn(u"unknown element <" + tag + u"> skipped");
      continue;
    }
    if (!container) {
      Warn(u"<" + tag + u"> inside a control that holds no children skipped");
      delete control;
      continue;
    }
    ApplyAttributes(doc, control, true);
    container->Add(control);
    if (!doc.EnterElement()) continue;
    bool ok = BuildChildren(doc, control, depth + 1);
    doc.LeaveElement();
    if (!ok) return false;
  }
  return true;
}

void CDialogBuilder::ApplyAttributes(XmlDocument& doc, CControlUI* control, bool child) {
  std::int32_t index = child ? doc.ChildPosition() : doc.MainPosition();
  const ElementRecord& record = doc.Record(index);
  TextView text = doc.DocumentText();
  if (record.start >= text.size()) return;
  TextView tag = text.substr(record.start, record.StartTagLength());
  for (const Text& name : StartTagAttributeNames(tag)) {
    Text value = child ? doc.ChildAttributeValue(name) : doc.AttributeValue(name);
    if (!control->SetAttribute(name, value)) {
      Warn(u"attribute " + name + u"=" + Quote(value) + u" of <" + Text(doc.TagName(index)) + u"> ignored");
    }
  }
}

void CDialogBuilder::ApplyWindowAttributes(XmlDocument& doc, CControlManagerUI* manager) {
  const ElementRecord& record = doc.Record(doc.MainPosition());
  TextView text = doc.DocumentText();
  TextView tag = text.substr(record.start, record.StartTagLength());
  for (const Text& name : StartTagAttributeNames(tag)) {
    Text value = doc.AttributeValue(name);
    UiSize size;
    UiRect rect;
    bool ok = false;
    if (name == u"size") {
      if ((ok = ParseUiSize(value, &size))) manager->SetInitSize(size);
    } else if (name == u"roundcorner") {
      if ((ok = ParseUiSize(value, &size))) manager->SetRoundCorner(size);
    } else if (name == u"mininfo") {
      if ((ok = ParseUiSize(value, &size))) manager->SetMinInfo(size);
    } else if (name == u"maxinfo") {
      if ((ok = ParseUiSize(value, &size))) manager->SetMaxInfo(size);
    } else if (name == u"sizebox") {
      if ((ok = ParseUiRect(value, &rect))) manager->SetSizeBox(rect);
    } else if (name == u"caption") {
      if ((ok = ParseUiRect(value, &rect))) manager->SetCaptionRect(rect);
    }
    if (!ok) Warn(u"window attribute " + name + u"=" + Quote(value) + u" ignored");
  }
  // Fonts are the <Font> children of <Window>, numbered from 0 in order.
  while (doc.FindChildElement(u"Font")) ApplyFont(doc, manager);
  doc.ResetMainPosition();
  doc.FindElement(u"Window");
}

void CDialogBuilder::ApplyFont(XmlDocument& doc, CControlManagerUI* manager) {
  UiFont font;
  Text face = doc.ChildAttributeValue(u"name");
  if (!face.empty()) font.face = face;
  int size = 0;
  if (ParseUiInt(doc.ChildAttributeValue(u"size"), &size) && size > 0 && size <= 200) font.size = size;
  bool flag = false;
  if (ParseUiBool(doc.ChildAttributeValue(u"bold"), &flag)) font.bold = flag;
  if (ParseUiBool(doc.ChildAttributeValue(u"italic"), &flag)) font.italic = flag;
  if (ParseUiBool(doc.ChildAttributeValue(u"underline"), &flag)) font.underline = flag;
  manager->AddFont(font);
  if (ParseUiBool(doc.ChildAttributeValue(u"default"), &flag) && flag) manager->SetDefaultFont(font);
}

}  // namespace kavrel
