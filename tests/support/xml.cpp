#include "support/xml.hpp"

#include <cstdint>

namespace tarvek::testing {
namespace {

bool is_name_char(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == ':' || c == '-' || c == '.';
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

void append_utf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}

  std::unique_ptr<XmlElement> document() {
    skip_misc();
    if (!at("<")) fail("no root element");
    auto root = element();
    skip_misc();
    if (k_ != s_.size()) fail("content after the root element");
    return root;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw XmlError("XML error at byte " + std::to_string(k_) + ": " + what);
  }
  bool at(const char* prefix) const { return s_.compare(k_, std::char_traits<char>::length(prefix), prefix) == 0; }
  void expect(const char* prefix) {
    if (!at(prefix)) fail(std::string("expected ") + prefix);
    k_ += std::char_traits<char>::length(prefix);
  }
  void skip_spaces() {
    while (k_ < s_.size() && is_space(s_[k_])) ++k_;
  }
  void skip_past(const char* end) {
    const auto found = s_.find(end, k_);
    if (found == std::string::npos) fail(std::string("unterminated, no ") + end);
    k_ = found + std::char_traits<char>::length(end);
  }
  // Spaces, comments, processing instructions and a DOCTYPE.
  void skip_misc() {
    for (;;) {
      skip_spaces();
      if (at("<?")) skip_past("?>");
      else if (at("<!--")) skip_past("-->");
      else if (at("<!DOCTYPE")) skip_past(">");
      else return;
    }
  }
  std::string name() {
    const std::size_t start = k_;
    while (k_ < s_.size() && is_name_char(s_[k_])) ++k_;
    if (k_ == start) fail("expected a name");
    return s_.substr(start, k_ - start);
  }
  // Character data up to `stop`, with references decoded; "<" is an error.
  std::string characters(char stop) {
    std::string out;
    while (k_ < s_.size() && s_[k_] != stop) {
      const char c = s_[k_];
      if (c == '<') fail("\"<\" in character data");
      if (c != '&') {
        out += c;
        ++k_;
        continue;
      }
      const auto semicolon = s_.find(';', k_);
      if (semicolon == std::string::npos) fail("unterminated reference");
      const std::string ref = s_.substr(k_ + 1, semicolon - k_ - 1);
      if (ref == "amp") out += '&';
      else if (ref == "lt") out += '<';
      else if (ref == "gt") out += '>';
      else if (ref == "quot") out += '"';
      else if (ref == "apos") out += '\'';
      else if (ref.size() > 1 && ref[0] == '#') {
        const bool hex = ref[1] == 'x';
        const std::string digits = ref.substr(hex ? 2 : 1);
        if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
          fail("bad character reference &" + ref + ";");
        append_utf8(out, static_cast<std::uint32_t>(std::stoul(digits, nullptr, hex ? 16 : 10)));
      } else {
        fail("unknown entity &" + ref + ";");
      }
      k_ = semicolon + 1;
    }
    return out;
  }
  std::unique_ptr<XmlElement> element() {
    expect("<");
    auto e = std::make_unique<XmlElement>();
    e->name = name();
    for (;;) {
      const bool spaced = k_ < s_.size() && is_space(s_[k_]);
      skip_spaces();
      if (at("/>")) {
        k_ += 2;
        return e;
      }
      if (at(">")) {
        ++k_;
        break;
      }
      if (!spaced) fail("attributes must be separated by blanks");
      const std::string key = name();
      skip_spaces();
      expect("=");
      skip_spaces();
      if (k_ >= s_.size() || (s_[k_] != '"' && s_[k_] != '\'')) fail("unquoted attribute value");
      const char quote = s_[k_++];
      std::string value = characters(quote);
      expect(quote == '"' ? "\"" : "'");
      if (!e->attributes.emplace(key, std::move(value)).second) fail("attribute " + key + " given twice");
    }
    for (;;) {
      if (k_ >= s_.size()) fail("element <" + e->name + "> is not closed");
      if (at("</")) {
        k_ += 2;
        if (name() != e->name) fail("closing tag does not match <" + e->name + ">");
        skip_spaces();
        expect(">");
        return e;
      }
      if (at("<!--")) skip_past("-->");
      else if (at("<![CDATA[")) {
        k_ += 9;
        const auto end = s_.find("]]>", k_);
        if (end == std::string::npos) fail("unterminated CDATA");
        e->text += s_.substr(k_, end - k_);
        k_ = end + 3;
      } else if (at("<?")) skip_past("?>");
      else if (at("<")) e->children.push_back(element());
      else e->text += characters('<');
    }
  }

  const std::string& s_;
  std::size_t k_ = 0;
};

void collect(const XmlElement& e, std::vector<const XmlElement*>& out) {
  for (const auto& child : e.children) {
    out.push_back(child.get());
    collect(*child, out);
  }
}

}  // namespace

std::vector<const XmlElement*> XmlElement::descendants() const {
  std::vector<const XmlElement*> out;
  collect(*this, out);
  return out;
}

std::unique_ptr<XmlElement> parse_xml(const std::string& text) { return Parser(text).document(); }

}  // namespace tarvek::testing
