// The published properties and events of TVaComm, in their published order,
// as the window definition streams them.
#include <limits>

#include "comm/VaComm.h"
#include "toolkit/exceptions.h"
#include "toolkit/streaming.h"

namespace comm {
namespace {

constexpr int64_t kIntMin = std::numeric_limits<int32_t>::min();
constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();

tk::PublishedProperty Property(const char* name, std::function<std::string()> get,
                               std::function<void(const std::string&)> set,
                               std::optional<std::string> stored_default) {
  tk::PublishedProperty p;
  p.name = name;
  p.get = std::move(get);
  p.set = std::move(set);
  p.stored_default = std::move(stored_default);
  return p;
}

tk::PublishedProperty SubObject(const char* name, tk::TPersistent& object) {
  tk::PublishedProperty p;
  p.name = name;
  p.sub_object = &object;
  return p;
}

template <class E>
tk::PublishedProperty EnumProperty(const char* name, std::span<const char* const> names,
                                   std::function<E()> get, std::function<void(E)> set,
                                   E stored_default) {
  return Property(
      name, [names, get] { return EnumToText(names, get()); },
      [names, set](const std::string& v) { set(TextToEnum<E>(names, v)); },
      EnumToText(names, stored_default));
}

tk::PublishedProperty BoolProperty(const char* name, std::function<bool()> get,
                                   std::function<void(bool)> set, bool stored_default) {
  return Property(
      name, [get] { return tk::BoolToText(get()); },
      [set](const std::string& v) { set(tk::TextToBool(v)); }, tk::BoolToText(stored_default));
}

}  // namespace

TVaComm::TVaComm(tk::TComponent* owner) : TVaCustomComm(owner) {}

// An event set from a window definition binds the named handler; the name is
// kept so that the definition can be written back.
template <class Handler, class Adapt>
tk::PublishedProperty TVaComm::EventProperty(const char* name, Handler& member, Adapt adapt) {
  tk::PublishedProperty p;
  p.name = name;
  p.bind_event = [this, name, &member, adapt](const std::string& handler_name,
                                              const tk::MethodLookup& lookup) {
    tk::TNotifyEvent handler = lookup ? lookup(handler_name) : tk::TNotifyEvent{};
    if (!handler) throw tk::EConvertError("Unknown handler '" + handler_name + "' for " + name);
    member = adapt(std::move(handler));
    bound_handler_names_[name] = handler_name;
  };
  p.event_name = [this, name, &member]() -> std::string {
    if (!member) return {};
    const auto it = bound_handler_names_.find(name);
    return it == bound_handler_names_.end() ? std::string() : it->second;
  };
  return p;
}

tk::PropertyList TVaComm::PublishedProperties() {
  const auto plain = [](tk::TNotifyEvent h) { return h; };
  tk::PropertyList list{
      BoolProperty(
          "AutoOpen", [this] { return AutoOpen(); }, [this](bool v) { SetAutoOpen(v); }, false),
      EnumProperty<TVaBaudrate>(
          "Baudrate", BaudrateNames(), [this] { return Baudrate(); },
          [this](TVaBaudrate v) { SetBaudrate(v); }, br1200),
      EnumProperty<TVaParity>(
          "Parity", ParityNames(), [this] { return Parity(); },
          [this](TVaParity v) { SetParity(v); }, paNone),
      EnumProperty<TVaDatabits>(
          "Databits", DatabitsNames(), [this] { return Databits(); },
          [this](TVaDatabits v) { SetDatabits(v); }, db8),
      EnumProperty<TVaStopbits>(
          "Stopbits", StopbitsNames(), [this] { return Stopbits(); },
          [this](TVaStopbits v) { SetStopbits(v); }, sb1),
      SubObject("EventChars", EventChars()),
      SubObject("FlowControl", FlowControl()),
      Property(
          "Options", [this] { return BitsToSetText(CommOptionNames(), Options().ToBits()); },
          [this](const std::string& v) {
            SetOptions(TVaCommOptions::FromBits(
                static_cast<uint8_t>(SetTextToBits(CommOptionNames(), v))));
          },
          "[]"),
      Property(
          "PortNum", [this] { return std::to_string(PortNum()); },
          [this](const std::string& v) { SetPortNum(TextToInt(v, 0, kIntMax)); }, "0"),
      Property(
          "DeviceName", [this] { return tk::QuoteString(DeviceName()); },
          [this](const std::string& v) { SetDeviceName(tk::UnquoteString(v)); }, std::nullopt),
      Property(
          "MonitorEvents",
          [this] { return BitsToSetText(CommEventNames(), MonitorEvents().ToBits()); },
          [this](const std::string& v) {
            SetMonitorEvents(
                TVaCommEvents::FromBits(static_cast<uint16_t>(SetTextToBits(CommEventNames(), v))));
          },
          BitsToSetText(CommEventNames(), TVaCommEvents{ceError, ceRxChar, ceTxEmpty}.ToBits())),
      SubObject("Buffers", Buffers()),
      EnumProperty<tk::TThreadPriority>(
          "EventPriority", ThreadPriorityNames(), [this] { return EventPriority(); },
          [this](tk::TThreadPriority v) { SetEventPriority(v); }, tk::TThreadPriority::tpNormal),
      EnumProperty<tk::TThreadPriority>(
          "WritePriority", ThreadPriorityNames(), [this] { return WritePriority(); },
          [this](tk::TThreadPriority v) { SetWritePriority(v); }, tk::TThreadPriority::tpHighest),
      BoolProperty(
          "DirectWrite", [this] { return DirectWrite(); }, [this](bool v) { SetDirectWrite(v); },
          false),
      BoolProperty(
          "UpdateDCB", [this] { return UpdateDCB(); }, [this](bool v) { SetUpdateDCB(v); }, true),
      Property(
          "UserBaudrate", [this] { return std::to_string(UserBaudrate()); },
          [this](const std::string& v) { SetUserBaudrate(TextToInt(v, kIntMin, kIntMax)); }, "0"),
      EventProperty("OnOpen", OnOpen, plain),
      EventProperty("OnClose", OnClose, plain),
      EventProperty("OnCts", OnCts, plain),
      EventProperty("OnDsr", OnDsr, plain),
      EventProperty("OnRlsd", OnRlsd, plain),
      EventProperty("OnRing", OnRing, plain),
      EventProperty("OnBreak", OnBreak, plain),
      // Handlers named in a definition take the sender only; the flags,
      // counts and data of these events are read from the port.
      EventProperty("OnError", OnError,
                    [](tk::TNotifyEvent h) -> TVaCommErrorEvent {
                      return [h](tk::TObject* s, int32_t) { h(s); };
                    }),
      EventProperty("OnRxChar", OnRxChar,
                    [](tk::TNotifyEvent h) -> TVaCommRxCharEvent {
                      return [h](tk::TObject* s, int32_t) { h(s); };
                    }),
      EventProperty("OnRxBuf", OnRxBuf,
                    [](tk::TNotifyEvent h) -> TVaCommRxBufEvent {
                      return [h](tk::TObject* s, const uint8_t*, int32_t) { h(s); };
                    }),
      EventProperty("OnRxFlag", OnRxFlag, plain),
      EventProperty("OnTxEmpty", OnTxEmpty, plain),
      EventProperty("OnPErr", OnPErr, plain),
      EventProperty("OnRx80Full", OnRx80Full, plain),
      EventProperty("OnEvent1", OnEvent1, plain),
      EventProperty("OnEvent2", OnEvent2, plain),
  };
  // A component link: the name of a display owned by the same owner; none
  // is not written.
  list.push_back(Property(
      "Display", [this] { return Display() ? Display()->Name() : std::string(); },
      [this](const std::string& v) {
        if (v.empty()) {
          SetDisplay(nullptr);
          return;
        }
        auto* display = Owner() ? dynamic_cast<TVaDisplay*>(Owner()->FindComponent(v)) : nullptr;
        if (!display) throw tk::EConvertError("Invalid property value '" + v + "' for Display");
        SetDisplay(display);
      },
      std::string()));
  return list;
}

}  // namespace comm
