#pragma once
#include <functional>
#include <string>

namespace tk {

// Root of the object tree: something that can be a sender of a notification.
class TObject {
 public:
  virtual ~TObject() = default;
  virtual std::string ClassName() const { return "TObject"; }
};

using TNotifyEvent = std::function<void(TObject* sender)>;

}  // namespace tk
