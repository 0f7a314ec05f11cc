#pragma once
// A small XML reader for the tests: enough to check that an SVG file is
// well-formed and to walk its elements. Comments, processing instructions
// and a DOCTYPE without an internal subset are skipped; the five predefined
// entities and numeric character references are decoded.

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvek::testing {

struct XmlError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct XmlElement {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::vector<std::unique_ptr<XmlElement>> children;
  std::string text;  // all character data directly inside, concatenated

  std::string attribute(const std::string& key) const {
    const auto it = attributes.find(key);
    return it == attributes.end() ? std::string() : it->second;
  }
  // Every element below this one (not itself) in document order.
  std::vector<const XmlElement*> descendants() const;
};

// The document's root element; XmlError (with the byte offset) when the
// text is not well-formed.
std::unique_ptr<XmlElement> parse_xml(const std::string& text);

}  // namespace tarvek::testing
