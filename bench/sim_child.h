#pragma once
// quarnel-target-sim as a child process for the benchmark, in a private
// virtual-port directory, its verbose log kept in a file.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace bench {

class SimChild {
 public:
  SimChild(const std::filesystem::path& work_dir, const std::vector<std::string>& args);
  ~SimChild();
  SimChild(const SimChild&) = delete;
  SimChild& operator=(const SimChild&) = delete;

  const std::string& port() const { return port_; }
  // SIGTERM and wait; the simulator saves its image on the way out.
  void Stop();
  std::filesystem::path log_path() const { return log_path_; }

 private:
  pid_t pid_ = -1;
  std::string port_;
  std::filesystem::path log_path_;
};

}  // namespace bench
