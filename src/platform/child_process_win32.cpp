#include <windows.h>

#include <mutex>
#include <optional>
#include <system_error>

#include "platform/child_process.h"
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
  // A group of its own: the console's Ctrl-C reaches the parent alone, which
  // passes a stop on as Ctrl-Break to this group.
  const std::wstring wide_program = WideFromUtf8(program);
  if (!::CreateProcessW(wide_program.c_str(), command.data(), nullptr, nullptr, TRUE,
                        CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &info)) {
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
  // A job object of the supervisor's with "kill on close" would do this on
  // Windows; the supervisor ends its children itself meanwhile.
}

}  // namespace platform
