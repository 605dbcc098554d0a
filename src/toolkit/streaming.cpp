#include "toolkit/streaming.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

#include "toolkit/exceptions.h"
#include "toolkit/same_text.h"

namespace tk {

namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

// Reads the decimal number after '#' at `pos`; moves `pos` past it.
char ReadCharCode(const std::string& text, size_t& pos) {
  ++pos;  // '#'
  const size_t start = pos;
  int code = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) != 0 &&
         pos - start < 4) {
    code = code * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == start || code > 255) throw Exception("Invalid character code in " + text);
  return static_cast<char>(static_cast<unsigned char>(code));
}

void WriteProperties(TPersistent& object, const std::string& prefix, std::ostringstream& out) {
  for (const PublishedProperty& p : object.PublishedProperties()) {
    if (p.sub_object != nullptr) {
      WriteProperties(*p.sub_object, prefix + p.name + ".", out);
      continue;
    }
    std::string value;
    if (p.event_name) {
      value = p.event_name();
      if (value.empty()) continue;  // an unassigned event is not written
    } else if (p.get) {
      value = p.get();
      if (p.stored_default && value == *p.stored_default) continue;
    } else {
      continue;  // nothing to write
    }
    out << "  " << prefix << p.name << " = " << value << '\n';
  }
}

const PublishedProperty* Find(const PropertyList& list, const std::string& name) {
  for (const PublishedProperty& p : list)
    if (SameText(p.name, name)) return &p;
  return nullptr;
}

class Reader {
 public:
  Reader(const std::string& text, const MethodLookup& lookup) : lookup_(lookup) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines_.push_back(line);
  }

  void ReadRoot(TComponent& component) {
    const std::string header = NextLine();
    if (header.empty()) throw Error("expected 'object Name: Class'");
    ReadObject(component, header);
    if (!NextLine().empty()) throw Error("text after the final 'end'");
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { throw Error(what); }

  Exception Error(const std::string& what) const {
    return Exception("Error reading component definition, line " + std::to_string(line_no_) + ": " +
                     what);
  }

  // The next line that is not blank; empty at the end of the text.
  std::string NextLine() {
    while (index_ < lines_.size()) {
      line_no_ = index_ + 1;
      std::string line = Trim(lines_[index_++]);
      if (!line.empty()) return line;
    }
    return {};
  }

  void ReadObject(TComponent& component, const std::string& header) {
    // "object Name: Class" (the class is the writer's; the target is given).
    if (header.rfind("object ", 0) != 0) Fail("expected 'object Name: Class'");
    const std::string rest = Trim(header.substr(7));
    const auto colon = rest.find(':');
    const std::string name = Trim(rest.substr(0, colon));
    if (name.empty() || colon == std::string::npos) Fail("expected 'object Name: Class'");
    if (component.Name().empty()) component.SetName(name);

    struct LoadingScope {
      TComponent& c;
      explicit LoadingScope(TComponent& comp) : c(comp) { c.SetLoading(true); }
      ~LoadingScope() { c.SetLoading(false); }
    } loading(component);

    for (;;) {
      const std::string line = NextLine();
      if (line.empty()) Fail("missing 'end' of " + name);
      if (line == "end") break;
      if (line.rfind("object ", 0) == 0) {
        ReadChild(component, line);
        continue;
      }
      const auto eq = line.find('=');
      if (eq == std::string::npos) Fail("expected 'Property = value': " + line);
      SetProperty(component, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    }
    component.Loaded();
  }

  void ReadChild(TComponent& owner, const std::string& header) {
    const std::string rest = Trim(header.substr(7));
    const std::string name = Trim(rest.substr(0, rest.find(':')));
    TComponent* child = owner.FindComponent(name);
    if (child == nullptr) Fail("unknown component '" + name + "' in " + owner.Name());
    ReadObject(*child, header);
  }

  void SetProperty(TComponent& component, const std::string& path, const std::string& value) {
    if (path.empty()) Fail("missing property name");
    // Sub-objects: walk Name.Sub.Leaf through the published sub-objects.
    TPersistent* target = &component;
    std::string rest = path;
    for (;;) {
      const auto dot = rest.find('.');
      const std::string part = rest.substr(0, dot);
      const PropertyList list = target->PublishedProperties();
      const PublishedProperty* p = Find(list, part);
      if (p == nullptr) Fail("unknown property '" + path + "' of " + component.Name());
      if (dot != std::string::npos) {
        if (p->sub_object == nullptr)
          Fail("'" + part + "' of " + component.Name() + " has no properties");
        target = p->sub_object;
        rest = rest.substr(dot + 1);
        continue;
      }
      if (p->bind_event) {
        TNotifyEvent handler = lookup_ ? lookup_(value) : TNotifyEvent{};
        if (!handler) Fail("unknown handler '" + value + "' for " + path);
        p->bind_event(value, lookup_);
      } else if (p->set) {
        p->set(value);
      } else {
        Fail("property '" + path + "' cannot be set");
      }
      return;
    }
  }

  const MethodLookup& lookup_;
  std::vector<std::string> lines_;
  size_t index_ = 0;
  size_t line_no_ = 0;
};

}  // namespace

std::string WriteComponent(TComponent& component) {
  std::ostringstream out;
  out << "object " << component.Name() << ": " << component.ClassName() << '\n';
  WriteProperties(component, "", out);
  out << "end\n";
  return out.str();
}

void ReadComponent(TComponent& component, const std::string& text, const MethodLookup& lookup) {
  Reader(text, lookup).ReadRoot(component);
}

std::string QuoteString(const std::string& s) {
  // Printable runs in quotes (a quote doubled), control characters as #n.
  std::string out;
  bool quoted = false;
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127) {
      if (quoted) out += '\'';
      quoted = false;
      out += '#' + std::to_string(u);
    } else {
      if (!quoted) out += '\'';
      quoted = true;
      if (c == '\'') out += '\'';
      out += c;
    }
  }
  if (quoted) out += '\'';
  return out.empty() ? "''" : out;
}

std::string UnquoteString(const std::string& value) {
  const std::string text = Trim(value);
  if (text.empty()) throw Exception("Missing string value");
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == '#') {
      out += ReadCharCode(text, pos);
    } else if (text[pos] == '\'') {
      ++pos;
      for (;;) {
        if (pos >= text.size()) throw Exception("Unterminated string: " + text);
        if (text[pos] == '\'') {
          if (pos + 1 < text.size() && text[pos + 1] == '\'') {
            out += '\'';
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        out += text[pos++];
      }
    } else {
      throw Exception("Invalid string value: " + text);
    }
  }
  return out;
}

std::string CharToText(char c) {
  return "#" + std::to_string(static_cast<unsigned char>(c));
}

char TextToChar(const std::string& value) {
  const std::string s = UnquoteString(value);
  if (s.size() != 1) throw Exception("Invalid character value: " + value);
  return s[0];
}

std::string BoolToText(bool b) {
  return b ? "True" : "False";
}

bool TextToBool(const std::string& value) {
  const std::string s = Trim(value);
  if (SameText(s, "True")) return true;
  if (SameText(s, "False")) return false;
  throw Exception("Invalid boolean value: " + value);
}

}  // namespace tk
