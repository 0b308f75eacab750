#include <pugixml.hpp>
#include <sstream>

#include "platform/xml_document.h"

namespace zlv {

namespace {
pugi::xml_node Node(void* node) {
  return pugi::xml_node(static_cast<pugi::xml_node_struct*>(node));
}
}  // namespace

struct XmlDocument::Impl {
  pugi::xml_document doc;
};

XmlElement XmlElement::AppendChild(std::string_view name) {
  return XmlElement(Node(node_).append_child(std::string(name).c_str()).internal_object());
}

void XmlElement::SetText(std::string_view text) {
  Node(node_).text().set(std::string(text).c_str());
}

XmlDocument::XmlDocument() : impl_(std::make_unique<Impl>()) {}
XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;

XmlElement XmlDocument::AppendChild(std::string_view name) {
  return XmlElement(impl_->doc.append_child(std::string(name).c_str()).internal_object());
}

std::string XmlDocument::Write() const {
  std::ostringstream out;
  impl_->doc.save(out, "",
                  pugi::format_raw | pugi::format_no_declaration |
                      pugi::format_no_empty_element_tags | pugi::format_skip_control_chars);
  return out.str();
}

}  // namespace zlv
