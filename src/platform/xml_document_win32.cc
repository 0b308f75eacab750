// Plain C++ with no system call: the writer is compiled and tested on Linux as well, against
// the same expectations as the pugixml build.
#include <list>

#include "platform/xml_document.h"

namespace zlv {

namespace {

struct Node {
  std::string name;
  std::string text;
  std::list<Node> children;  // a list keeps every node where it is as it grows
};

Node* AsNode(void* node) { return static_cast<Node*>(node); }

std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

Node* Append(Node& parent, std::string_view name) {
  return &parent.children.emplace_back(Node{std::string(UpToNul(name)), {}, {}});
}

void WriteText(std::string_view text, std::string* out) {
  for (const char c : text) {
    switch (c) {
      case '&':
        *out += "&amp;";
        break;
      case '<':
        *out += "&lt;";
        break;
      case '>':
        *out += "&gt;";
        break;
      case '\t':
      case '\n':
      case '\r':
        *out += c;
        break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20) *out += c;
    }
  }
}

void WriteNode(const Node& node, std::string* out) {
  *out += '<';
  *out += node.name;
  *out += '>';
  WriteText(node.text, out);
  for (const Node& child : node.children) WriteNode(child, out);
  *out += "</";
  *out += node.name;
  *out += '>';
}

}  // namespace

struct XmlDocument::Impl {
  Node top;  // holds the top-level elements; not written itself
};

XmlElement XmlElement::AppendChild(std::string_view name) {
  return XmlElement(Append(*AsNode(node_), name));
}

void XmlElement::SetText(std::string_view text) { AsNode(node_)->text = UpToNul(text); }

XmlDocument::XmlDocument() : impl_(std::make_unique<Impl>()) {}
XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;

XmlElement XmlDocument::AppendChild(std::string_view name) {
  return XmlElement(Append(impl_->top, name));
}

std::string XmlDocument::Write() const {
  std::string out;
  for (const Node& child : impl_->top.children) WriteNode(child, &out);
  return out;
}

}  // namespace zlv
