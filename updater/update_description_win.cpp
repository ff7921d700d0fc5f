// The update description through the system's XML DOM document (COM).
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <msxml.h>

#include "updater/update_files.h"

namespace kavrel {
namespace {

// IID_IXMLDOMDocument; spelled out because the import libraries of the
// cross compiler do not all carry it.
const IID kIidXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// Owns one COM interface pointer.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T** Out() {
    Reset();
    return &p_;
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  void Swap(ComPtr& other) { std::swap(p_, other.p_); }

 private:
  T* p_ = nullptr;
};

// Owns one BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const Text& t) : b_(SysAllocStringLen(AsWideChars(t), static_cast<UINT>(t.size()))) {}
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR* Out() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  BSTR get() const { return b_; }
  Text ToText() const { return b_ ? FromWide(b_, SysStringLen(b_)) : Text(); }

 private:
  static const OLECHAR* AsWideChars(const Text& t) { return reinterpret_cast<const OLECHAR*>(t.c_str()); }
  BSTR b_ = nullptr;
};

// COM for the calling thread, for the length of one read.
class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }

 private:
  HRESULT hr_;
};

bool ReadWithDom(const Text& path, std::vector<DescribedFile>& files) {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument", &clsid))) return false;
  ComPtr<IXMLDOMDocument> doc;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument,
                              reinterpret_cast<void**>(doc.Out()))) ||
      !doc)
    return false;
  if (FAILED(doc->put_async(VARIANT_FALSE))) return false;

  Bstr pathText(path);
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_BSTR;
  source.bstrVal = pathText.get();  // still owned by pathText
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (FAILED(doc->load(source, &loaded)) || loaded != VARIANT_TRUE) return false;

  ComPtr<IXMLDOMElement> root;
  if (FAILED(doc->get_documentElement(root.Out())) || !root) return false;
  ComPtr<IXMLDOMNodeList> list;
  Bstr fileTag(Text(u"File"));
  if (FAILED(root->getElementsByTagName(fileTag.get(), list.Out())) || !list) return false;
  long count = 0;
  if (FAILED(list->get_length(&count))) return false;

  for (long i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> file;
    if (FAILED(list->get_item(i, file.Out())) || !file) continue;
    DescribedFile children;
    ComPtr<IXMLDOMNode> child;
    file->get_firstChild(child.Out());
    while (child) {
      DOMNodeType type = NODE_INVALID;
      child->get_nodeType(&type);
      if (type == NODE_ELEMENT) {
        Bstr name, text;
        child->get_nodeName(name.Out());
        child->get_text(text.Out());
        children.emplace_back(name.ToText(), text.ToText());
      }
      ComPtr<IXMLDOMNode> next;
      child->get_nextSibling(next.Out());
      child.Swap(next);
    }
    files.push_back(std::move(children));
  }
  return true;
}

}  // namespace

bool ReadDescriptionWithPlatform(const Text& path, std::vector<DescribedFile>& files) {
  files.clear();
  ComScope com;
  return ReadWithDom(path, files);
}

}  // namespace kavrel
