// clang-format off
#include <windows.h>
#include <setupapi.h>  // needs windows.h first
#include <cfgmgr32.h>
#include <devpropdef.h>
// clang-format on

#include <algorithm>
#include <map>

#include "platform/device_node_values_win32.h"
#include "platform/natural_order.h"
#include "platform/port_details.h"
#include "platform/port_location.h"
#include "platform/serial_port_map_win32.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

// The device setup class of serial and parallel ports ("Ports").
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
// DEVPKEY_Device_BusReportedDeviceDesc: the product string the device
// reported on its bus (Windows 7 and later).
constexpr DEVPROPKEY kBusReportedDeviceDesc = {
    {0x540b947e, 0x8b40, 0x45bc, {0xa8, 0xa2, 0x6a, 0x0b, 0x89, 0x4c, 0xbd, 0xa2}}, 4};
// How many USB nodes above a port's own one can still describe it: an FTDI
// channel lies below an interface of a multi-port adapter, below the device.
constexpr int kMostParents = 3;

class DeviceInfoList {
 public:
  explicit DeviceInfoList(HDEVINFO list) : list_(list) {}
  ~DeviceInfoList() {
    if (valid()) ::SetupDiDestroyDeviceInfoList(list_);
  }
  DeviceInfoList(const DeviceInfoList&) = delete;
  DeviceInfoList& operator=(const DeviceInfoList&) = delete;
  HDEVINFO get() const { return list_; }
  bool valid() const { return list_ != INVALID_HANDLE_VALUE; }

 private:
  HDEVINFO list_;
};

// A REG_SZ or REG_MULTI_SZ property of the device registry, as strings.
std::vector<std::string> RegistryProperty(HDEVINFO list, SP_DEVINFO_DATA& device, DWORD property) {
  DWORD type = 0;
  DWORD size = 0;
  ::SetupDiGetDeviceRegistryPropertyW(list, &device, property, &type, nullptr, 0, &size);
  if (size == 0 || (type != REG_SZ && type != REG_MULTI_SZ)) return {};
  std::wstring value(size / sizeof(wchar_t) + 2, L'\0');  // room for missing ends
  if (!::SetupDiGetDeviceRegistryPropertyW(
          list, &device, property, &type, reinterpret_cast<BYTE*>(value.data()),
          static_cast<DWORD>(value.size() * sizeof(wchar_t)), nullptr)) {
    return {};
  }
  return SplitMultiString(value);
}

std::string RegistryText(HDEVINFO list, SP_DEVINFO_DATA& device, DWORD property) {
  const auto strings = RegistryProperty(list, device, property);
  return strings.empty() ? std::string() : strings.front();
}

std::string BusReportedDescription(HDEVINFO list, SP_DEVINFO_DATA& device) {
  DEVPROPTYPE type = 0;
  DWORD size = 0;
  ::SetupDiGetDevicePropertyW(list, &device, &kBusReportedDeviceDesc, &type, nullptr, 0, &size, 0);
  if (size == 0 || type != DEVPROP_TYPE_STRING) return {};
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (!::SetupDiGetDevicePropertyW(
          list, &device, &kBusReportedDeviceDesc, &type, reinterpret_cast<BYTE*>(value.data()),
          static_cast<DWORD>(value.size() * sizeof(wchar_t)), nullptr, 0)) {
    return {};
  }
  value.resize(value.find(L'\0'));
  return Utf8FromWide(value);
}

std::string InstanceId(HDEVINFO list, SP_DEVINFO_DATA& device) {
  wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
  if (!::SetupDiGetDeviceInstanceIdW(list, &device, id, MAX_DEVICE_ID_LEN + 1, nullptr)) return {};
  return Utf8FromWide(id);
}

DeviceNodeValues ReadNode(HDEVINFO list, SP_DEVINFO_DATA& device) {
  DeviceNodeValues node;
  node.instance_id = InstanceId(list, device);
  node.hardware_ids = RegistryProperty(list, device, SPDRP_HARDWAREID);
  node.location_information = RegistryText(list, device, SPDRP_LOCATION_INFORMATION);
  node.location_paths = RegistryProperty(list, device, SPDRP_LOCATION_PATHS);
  node.bus_reported_description = BusReportedDescription(list, device);
  node.description = RegistryText(list, device, SPDRP_DEVICEDESC);
  node.manufacturer = RegistryText(list, device, SPDRP_MFG);
  node.friendly_name = RegistryText(list, device, SPDRP_FRIENDLYNAME);
  return node;
}

// The port's own node, then the USB nodes above it that describe it too.
std::vector<DeviceNodeValues> ReadChain(HDEVINFO list, SP_DEVINFO_DATA& device) {
  std::vector<DeviceNodeValues> chain{ReadNode(list, device)};
  DEVINST node = device.DevInst;
  for (int depth = 0; depth < kMostParents; ++depth) {
    DEVINST parent = 0;
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (::CM_Get_Parent(&parent, node, 0) != CR_SUCCESS ||
        ::CM_Get_Device_IDW(parent, id, MAX_DEVICE_ID_LEN + 1, 0) != CR_SUCCESS ||
        !ParentDescribesPort(chain.back().instance_id, Utf8FromWide(id))) {
      break;
    }
    const DeviceInfoList one(::SetupDiCreateDeviceInfoList(nullptr, nullptr));
    SP_DEVINFO_DATA parent_data{};
    parent_data.cbSize = sizeof parent_data;
    if (!one.valid() || !::SetupDiOpenDeviceInfoW(one.get(), id, nullptr, 0, &parent_data)) break;
    chain.push_back(ReadNode(one.get(), parent_data));
    node = parent;
  }
  return chain;
}

// "COM3" -> its node and those above it, for the present port devices.
std::map<std::string, std::vector<DeviceNodeValues>> PortChains() {
  std::map<std::string, std::vector<DeviceNodeValues>> chains;
  const DeviceInfoList devices(
      ::SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT));
  if (!devices.valid()) return chains;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; ::SetupDiEnumDeviceInfo(devices.get(), index, &device); ++index) {
    const RegistryKey key(
        ::SetupDiOpenDevRegKey(devices.get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
    if (!key.valid()) continue;
    const std::wstring port = ReadRegistryString(key.get(), L"PortName");
    if (port.empty()) continue;
    chains.emplace(Utf8FromWide(port), ReadChain(devices.get(), device));
  }
  return chains;
}

}  // namespace

// The ports are those of the serial-port map; the device setup functions add
// what they know. Ports of drivers without setup entries (and every port
// under Wine) keep their name alone.
std::vector<PortDetails> ReadPortDetails() {
  std::vector<std::string> names = MappedPortNames();
  std::sort(names.begin(), names.end(), NaturalLess);
  names.erase(std::unique(names.begin(), names.end()), names.end());
  const auto chains = PortChains();
  std::vector<PortDetails> ports;
  ports.reserve(names.size());
  for (std::string& name : names) {
    PortDetails port;
    port.device = std::move(name);
    port.description = port.device;
    if (const auto it = chains.find(port.device); it != chains.end()) {
      DescribePort(it->second, port);
    }
    ports.push_back(std::move(port));
  }
  AssignPlaces(ports);
  return ports;
}

}  // namespace platform
