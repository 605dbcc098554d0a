#pragma once
// TPersistent: an object that can be assigned from another and streamed through
// its published properties.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/object.h"

namespace tk {

class TPersistent;

// Resolves a handler name of a window definition (e.g. "VaCommRxFlag") to the
// handler; an empty function when the name is unknown.
using MethodLookup = std::function<TNotifyEvent(const std::string& name)>;

// One published property. Values travel as text in the window-definition
// syntax: integers in decimal, True/False, enumeration members by name, sets as
// [a, b], characters as #n, strings in single quotes, events by handler name.
struct PublishedProperty {
  std::string name;
  std::function<std::string()> get;
  std::function<void(const std::string& value)> set;
  // Written only when the value differs; a property without one is always written.
  std::optional<std::string> stored_default;
  // A published sub-object (e.g. EventChars): streamed as name.sub = value.
  TPersistent* sub_object = nullptr;
  // An event: set by handler name through a MethodLookup.
  std::function<void(const std::string& handler_name, const MethodLookup& lookup)> bind_event;
  std::function<std::string()> event_name;  // empty text when unassigned
};

using PropertyList = std::vector<PublishedProperty>;

// Makers for the three kinds (they spare the partial aggregate initialisers
// that -Wextra warns about). `stored_default` empty: always written.
PublishedProperty ValueProperty(std::string name, std::function<std::string()> get,
                                std::function<void(const std::string&)> set,
                                std::optional<std::string> stored_default = std::nullopt);
PublishedProperty SubObjectProperty(std::string name, TPersistent* sub_object);
// `bind` receives the handler name and the lookup; `current_name` reports the
// bound handler's name, or empty text when none is assigned.
PublishedProperty EventProperty(
    std::string name,
    std::function<void(const std::string& handler_name, const MethodLookup& lookup)> bind,
    std::function<std::string()> current_name);

class TPersistent : public TObject {
 public:
  std::string ClassName() const override { return "TPersistent"; }

  // Copies `source` into this object. The base refuses every source (none
  // included) with EConvertError "Cannot assign a X to a Y".
  virtual void Assign(const TPersistent* source);

  // The published properties, in published order.
  virtual PropertyList PublishedProperties() { return {}; }

 protected:
  virtual void AssignTo(TPersistent* dest) const;
};

}  // namespace tk
