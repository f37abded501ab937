// Element tree from expat for the report tests.
#include "xml_tree.h"

#include <expat.h>

namespace zamsuite_test {
namespace {

struct builder {
  std::unique_ptr<element> root;
  std::vector<element*> open;
};

void on_start(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* b = static_cast<builder*>(data);
  auto e = std::make_unique<element>();
  e->name = name;
  for (int i = 0; attributes[i] != nullptr; i += 2) e->attributes[attributes[i]] = attributes[i + 1];
  element* raw = e.get();
  if (b->open.empty()) {
    b->root = std::move(e);
  } else {
    b->open.back()->children.push_back(std::move(e));
  }
  b->open.push_back(raw);
}

void on_end(void* data, const XML_Char*) { static_cast<builder*>(data)->open.pop_back(); }

void on_text(void* data, const XML_Char* text, int length) {
  auto* b = static_cast<builder*>(data);
  if (!b->open.empty()) b->open.back()->text.append(text, static_cast<std::size_t>(length));
}

void collect(const element& e, const std::string& name, std::vector<const element*>& out) {
  for (const auto& child : e.children) {
    if (child->name == name) out.push_back(child.get());
    collect(*child, name, out);
  }
}

}  // namespace

std::vector<const element*> element::all(const std::string& child_name) const {
  std::vector<const element*> out;
  for (const auto& child : children) {
    if (child->name == child_name) out.push_back(child.get());
  }
  return out;
}

const element* element::first(const std::string& child_name) const {
  for (const auto& child : children) {
    if (child->name == child_name) return child.get();
  }
  return nullptr;
}

std::string element::attr(const std::string& key) const {
  const auto it = attributes.find(key);
  return it == attributes.end() ? std::string() : it->second;
}

std::vector<const element*> element::find_all(const std::string& name) const {
  std::vector<const element*> out;
  collect(*this, name, out);
  return out;
}

std::string element::all_text() const {
  std::string out = text;
  for (const auto& child : children) out += child->all_text();
  return out;
}

std::unique_ptr<element> parse_xml(const std::string& text, std::string* error) {
  builder b;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &b);
  XML_SetElementHandler(parser, on_start, on_end);
  XML_SetCharacterDataHandler(parser, on_text);
  const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
  if (!ok && error) {
    *error = "line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ": " +
             XML_ErrorString(XML_GetErrorCode(parser));
  }
  XML_ParserFree(parser);
  return ok ? std::move(b.root) : nullptr;
}

}  // namespace zamsuite_test
