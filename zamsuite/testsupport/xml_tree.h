// A small element tree built with expat, for checking the reports in tests.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zamsuite_test {

struct element {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;  // all character data directly inside this element
  std::vector<std::unique_ptr<element>> children;

  std::vector<const element*> all(const std::string& child_name) const;  // direct children
  const element* first(const std::string& child_name) const;
  std::string attr(const std::string& key) const;
  // Every element below this one (any depth) with that name, in document order.
  std::vector<const element*> find_all(const std::string& name) const;
  // All text of this element and its descendants, in document order.
  std::string all_text() const;
};

// Parses a document; null with `error` set (line and expat's message) when it is not well-formed.
std::unique_ptr<element> parse_xml(const std::string& text, std::string* error);

}  // namespace zamsuite_test
