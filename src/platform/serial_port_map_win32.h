#pragma once
// The registry's serial-port map (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM): every
// port driver enters the COM name of each port it has while the port exists.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace platform {

// An open registry key, closed when its owner goes.
class RegistryKey {
 public:
  RegistryKey() = default;
  explicit RegistryKey(HKEY key) : key_(key) {}
  ~RegistryKey() { Reset(); }
  RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  RegistryKey& operator=(RegistryKey&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.key_, nullptr));
    return *this;
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY get() const { return key_; }
  bool valid() const { return key_ != nullptr && key_ != INVALID_HANDLE_VALUE; }
  void Reset(HKEY key = nullptr) {
    if (valid()) ::RegCloseKey(key_);
    key_ = key;
  }

 private:
  HKEY key_ = nullptr;
};

// A string value of `key`; empty when it is missing or not a string.
std::wstring ReadRegistryString(HKEY key, const wchar_t* name);

// The map's key opened for `access`; not valid while no port driver has
// made it yet.
RegistryKey OpenSerialPortMap(REGSAM access);

// The COM names that the map holds, one per port driver entry, in the map's
// order (a name may come twice).
std::vector<std::string> MappedPortNames();

}  // namespace platform
