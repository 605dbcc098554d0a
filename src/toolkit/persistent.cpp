#include "toolkit/persistent.h"

#include "toolkit/exceptions.h"

namespace tk {

PublishedProperty ValueProperty(std::string name, std::function<std::string()> get,
                                std::function<void(const std::string&)> set,
                                std::optional<std::string> stored_default) {
  PublishedProperty p;
  p.name = std::move(name);
  p.get = std::move(get);
  p.set = std::move(set);
  p.stored_default = std::move(stored_default);
  return p;
}

PublishedProperty SubObjectProperty(std::string name, TPersistent* sub_object) {
  PublishedProperty p;
  p.name = std::move(name);
  p.sub_object = sub_object;
  return p;
}

PublishedProperty EventProperty(
    std::string name,
    std::function<void(const std::string& handler_name, const MethodLookup& lookup)> bind,
    std::function<std::string()> current_name) {
  PublishedProperty p;
  p.name = std::move(name);
  p.bind_event = std::move(bind);
  p.event_name = std::move(current_name);
  return p;
}

void TPersistent::Assign(const TPersistent* source) {
  if (source == nullptr) throw EConvertError("Cannot assign a nil to a " + ClassName());
  // The source may know how to copy itself into this class.
  source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) const {
  throw EConvertError("Cannot assign a " + ClassName() + " to a " + dest->ClassName());
}

}  // namespace tk
