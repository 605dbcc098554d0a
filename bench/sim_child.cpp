#include "sim_child.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace bench {

SimChild::SimChild(const std::filesystem::path& work_dir, const std::vector<std::string>& args)
    : log_path_(work_dir / "sim.log") {
  const auto out_path = work_dir / "sim.out";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log_path_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> argv_text{QUARNEL_TARGET_SIM};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<std::string> env_text{"XDG_RUNTIME_DIR=" + work_dir.string()};
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0) env_text.emplace_back(*e);
  }
  std::vector<char*> argv, envp;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  const int spawned =
      ::posix_spawn(&pid_, QUARNEL_TARGET_SIM, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " QUARNEL_TARGET_SIM);

  for (int i = 0; i < 500 && port_.empty(); ++i) {
    std::ifstream out(out_path);
    std::string line;
    if (std::getline(out, line) && !out.eof()) port_ = line;
    if (port_.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (port_.empty()) {
    Stop();
    throw std::runtime_error("the simulator published no port");
  }
}

SimChild::~SimChild() {
  Stop();
}

void SimChild::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace bench
