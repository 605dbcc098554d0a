#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/child_process.h"
#include "platform/stop_request_win32.h"
#include "platform/stop_signal_watcher.h"
#include "platform/unique_handle_win32.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

// One argument as the C runtime of the child splits its command line:
// quotes around it, backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring text = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      text.append(backslashes * 2 + 1, L'\\');
    } else {
      text.append(backslashes, L'\\');
    }
    backslashes = 0;
    text += c;
  }
  text.append(backslashes * 2, L'\\');
  return text + L"\"";
}

struct Pipe {
  UniqueHandle read;
  UniqueHandle write;  // inherited by the child
};

Pipe MakePipe() {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!::CreatePipe(&read, &write, &inherit, 0)) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "CreatePipe");
  }
  Pipe pipe{UniqueHandle(read), UniqueHandle(write)};
  // Our end stays ours.
  ::SetHandleInformation(pipe.read.Get(), HANDLE_FLAG_INHERIT, 0);
  return pipe;
}

// A handle of this process that a child inherits and waits on: it tells the
// child when this process ends, however it ends.
UniqueHandle InheritableSelf() {
  HANDLE self = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &self,
                         SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0)) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "DuplicateHandle");
  }
  return UniqueHandle(self);
}

bool NamesVariable(std::wstring_view entry, std::wstring_view name) {
  if (entry.size() <= name.size() || entry[name.size()] != L'=') return false;
  // Names of the environment ignore case on Windows.
  return ::CompareStringOrdinal(entry.data(), static_cast<int>(name.size()), name.data(),
                                static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
}

// This process's environment, with kSupervisorVariable naming `self`.
std::wstring EnvironmentNaming(HANDLE self) {
  const std::wstring name = WideFromUtf8(kSupervisorVariable);
  std::wstring block = name + L"=" + std::to_wstring(reinterpret_cast<uintptr_t>(self)) + L":" +
                       std::to_wstring(::GetCurrentProcessId());
  block.push_back(L'\0');
  if (wchar_t* strings = ::GetEnvironmentStringsW()) {
    for (const wchar_t* entry = strings; *entry != L'\0';) {
      const std::wstring_view text(entry);
      if (!NamesVariable(text, name)) block.append(text).push_back(L'\0');
      entry += text.size() + 1;
    }
    ::FreeEnvironmentStringsW(strings);
  }
  block.push_back(L'\0');
  return block;
}

}  // namespace

struct ChildProcess::Impl {
  UniqueHandle process;
  DWORD id = 0;
  UniqueHandle output;
  UniqueHandle error;
  std::mutex mutex;
  std::optional<int> status;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args)
    : impl_(std::make_unique<Impl>()) {
  Pipe output = MakePipe();
  Pipe error = MakePipe();
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  UniqueHandle input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inherit, OPEN_EXISTING, 0, nullptr));

  std::wstring command = Quoted(WideFromUtf8(program));
  for (const std::string& arg : args) command += L" " + Quoted(WideFromUtf8(arg));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.Get();
  startup.hStdOutput = output.write.Get();
  startup.hStdError = error.write.Get();
  PROCESS_INFORMATION info{};
  const UniqueHandle self = InheritableSelf();
  std::wstring environment = EnvironmentNaming(self.Get());
  // A group of its own: the console's Ctrl-C reaches the parent alone, which
  // passes a stop on as Ctrl-Break to this group.
  const std::wstring wide_program = WideFromUtf8(program);
  if (!::CreateProcessW(wide_program.c_str(), command.data(), nullptr, nullptr, TRUE,
                        CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT, environment.data(),
                        nullptr, &startup, &info)) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "cannot start " + program);
  }
  ::CloseHandle(info.hThread);
  impl_->process.Reset(info.hProcess);
  impl_->id = info.dwProcessId;
  impl_->output = std::move(output.read);
  impl_->error = std::move(error.read);
  // The write ends close here: the pipes end when the child does.
}

ChildProcess::~ChildProcess() {
  bool ended = false;
  {
    std::lock_guard lock(impl_->mutex);
    ended = impl_->status.has_value();
  }
  if (!ended) {
    Kill();
    Wait();
  }
}

size_t ChildProcess::Read(Stream stream, char* buffer, size_t size) {
  const HANDLE handle = stream == Stream::kOutput ? impl_->output.Get() : impl_->error.Get();
  DWORD got = 0;
  if (!::ReadFile(handle, buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;
  return got;
}

void ChildProcess::RequestStop(int stop_signal) {
  std::lock_guard lock(impl_->mutex);
  if (impl_->status) return;
  // Ctrl-Break is the one console event that a new process group receives.
  (void)stop_signal;
  ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, impl_->id);
}

void ChildProcess::Kill() {
  std::lock_guard lock(impl_->mutex);
  if (!impl_->status) ::TerminateProcess(impl_->process.Get(), 128 + 9);
}

int ChildProcess::Wait() {
  ::WaitForSingleObject(impl_->process.Get(), INFINITE);
  std::lock_guard lock(impl_->mutex);
  if (!impl_->status) {
    DWORD code = 127;
    ::GetExitCodeProcess(impl_->process.Get(), &code);
    impl_->status = static_cast<int>(code);
  }
  return *impl_->status;
}

long ChildProcess::Id() const {
  return static_cast<long>(impl_->id);
}

std::string OwnProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                              "cannot find the running program");
    }
    if (length < path.size()) {
      path.resize(length);
      return Utf8FromWide(path);
    }
    path.resize(path.size() * 2);
  }
}

void StopWhenParentEnds() {
  const std::wstring name = WideFromUtf8(kSupervisorVariable);
  wchar_t value[64] = {};
  const DWORD length = ::GetEnvironmentVariableW(name.c_str(), value, 64);
  ::SetEnvironmentVariableW(name.c_str(), nullptr);
  unsigned long long handle_value = 0;
  unsigned long parent_id = 0;
  if (length == 0 || length >= 64 ||
      std::swscanf(value, L"%llu:%lu", &handle_value, &parent_id) != 2) {
    return;
  }
  // The handle was inherited with the variable; one that names another
  // process (a variable that outlived its parent) is not waited on.
  UniqueHandle parent(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle_value)));
  if (::GetProcessId(parent.Get()) != parent_id) {
    parent.Release();
    return;
  }
  // The handle is signalled when the parent ends, also when it ended before
  // this call: no moment is missed.
  std::thread([parent = std::move(parent)] {
    ::WaitForSingleObject(parent.Get(), INFINITE);
    if (!PostStopRequest(kStopSignalTerminate)) {
      ::TerminateProcess(::GetCurrentProcess(), 128 + kStopSignalTerminate);
    }
    // The program stops its run and ends itself; one that hangs is ended
    // here, as it would be by a job object that ends its processes with it.
    ::Sleep(kLastResortSeconds * 1000);
    ::TerminateProcess(::GetCurrentProcess(), 128 + 9);
  }).detach();
}

}  // namespace platform
