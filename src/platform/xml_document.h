// XmlDocument: the XML document object outgoing messages are built with (the router's order
// message). Elements hold text or further elements and are written as one line: no
// declaration, no indentation, an empty element as a start and an end tag ("<a></a>", the
// form every receiving parser reads), '&', '<' and '>' escaped, and the control characters
// that XML 1.0 cannot hold at all (all below 0x20 but tab, LF and CR) left out. A text ends at
// its first NUL. Names are written as given.
//
// POSIX: pugixml. Windows: the same output from a writer of the platform layer's own, as
// Debian has no pugixml for the Windows build (both are held to the same tests).
//
// Owns its elements; an XmlElement is a handle valid while its document lives. One thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace zlv {

class XmlElement {
 public:
  // A new last child element.
  XmlElement AppendChild(std::string_view name);
  // The element's text, in place of any text it had.
  void SetText(std::string_view text);

 private:
  friend class XmlDocument;
  explicit XmlElement(void* node) : node_(node) {}
  void* node_;
};

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;
  XmlDocument(XmlDocument&&) noexcept;
  XmlDocument& operator=(XmlDocument&&) noexcept;

  // A new top-level element (a message has one: its root).
  XmlElement AppendChild(std::string_view name);
  std::string Write() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zlv
