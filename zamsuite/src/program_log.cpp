// Tag-by-tag scan of a compliance program's XML test log.
#include "program_log.h"

#include <cstdlib>
#include <sstream>

#include "platform/fs.h"

namespace zamsuite {
namespace {

constexpr const char* free_text_tags[] = {"INFO", "FAIL", "SUCCESS", "WARNING", "ABORT"};

bool at(const std::string& text, std::size_t pos, const std::string& what) {
  return text.compare(pos, what.size(), what) == 0;
}

// The value of `name = "..."` (blanks around '=' allowed) inside one tag.
std::string attribute(const std::string& tag, const std::string& name) {
  std::size_t pos = tag.find(name);
  if (pos == std::string::npos) return {};
  pos = tag.find('"', pos + name.size());
  if (pos == std::string::npos) return {};
  const std::size_t end = tag.find('"', pos + 1);
  return tag.substr(pos + 1, end == std::string::npos ? std::string::npos : end - pos - 1);
}

// Text from `from` up to `closing`; the rest of the file when the log was cut before it.
// Returns the position after the closing tag, or npos.
std::size_t body_until(const std::string& text, std::size_t from, const std::string& closing, std::string* body) {
  const std::size_t end = text.find(closing, from);
  *body = text.substr(from, end == std::string::npos ? std::string::npos : end - from);
  return end == std::string::npos ? std::string::npos : end + closing.size();
}

// The trace dump: "<INFO> <ActionCount> N ..." or "<INFO> <TBContents> ... <TBData> words </TBData>".
std::size_t read_trace_part(const std::string& text, std::size_t pos, program_log* log) {
  std::string body;
  const std::size_t next = body_until(text, pos, "</INFO>", &body);
  if (const std::size_t count = body.find("<ActionCount>"); count != std::string::npos) {
    log->action_count = std::atoi(body.c_str() + count + 13);
  }
  if (const std::size_t data = body.find("<TBData>"); data != std::string::npos) {
    log->trace_dump_starts.push_back(log->trace_words.size());
    std::istringstream words(body.substr(data + 8, body.find("</TBData>") - data - 8));
    std::string word;
    while (words >> word) {
      if (word.rfind("0x", 0) == 0) log->trace_words.push_back(static_cast<uint32_t>(std::strtoul(word.c_str(), nullptr, 16)));
    }
  }
  return next;
}

}  // namespace

program_log parse_program_log(const std::string& text) {
  program_log log;
  log.found = true;
  std::size_t pos = text.find('<');
  while (pos != std::string::npos && pos < text.size()) {
    std::size_t next = pos + 1;
    if (at(text, pos, "<ASSERTTAG")) {
      const std::size_t tag_end = text.find('>', pos);
      const std::string tag = text.substr(pos, tag_end == std::string::npos ? std::string::npos : tag_end - pos);
      log_entry entry{attribute(tag, "status"), attribute(tag, "assertion"), {}};
      std::size_t body_start = tag_end == std::string::npos ? text.size() : tag_end + 1;
      if (body_start < text.size() && text[body_start] == '\n') ++body_start;
      next = body_until(text, body_start, "</ASSERTTAG>", &entry.text);
      log.entries.push_back(std::move(entry));
    } else if (at(text, pos, "<INFO> <")) {
      next = read_trace_part(text, pos + 7, &log);
    } else if (at(text, pos, "<VEXOTest")) {
      log.test_started = true;
    } else if (at(text, pos, "</VEXOXMLLog>")) {
      log.complete = true;
    } else {
      for (const char* tag : free_text_tags) {
        const std::string open = std::string("<") + tag + ">\n";
        if (!at(text, pos, open)) continue;
        log_entry entry{tag, {}, {}};
        next = body_until(text, pos + open.size(), std::string("</") + tag + ">\n", &entry.text);
        log.entries.push_back(std::move(entry));
        break;
      }
    }
    if (next == std::string::npos) break;  // cut off inside an entry
    pos = text.find('<', next);
  }
  return log;
}

program_log read_program_log(const std::string& path) {
  std::string text;
  if (!platform::read_text_file(path, &text)) return {};  // written in text mode
  return parse_program_log(text);
}

}  // namespace zamsuite
