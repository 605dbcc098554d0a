#include "station/station_setup.h"

#include <chrono>
#include <filesystem>
#include <sstream>

#include "platform/append_file.h"

namespace quarnel::station {

std::variant<StationImage, std::string> PrepareStationImage(const StationPlan& plan) {
  // The image is read once, here; every child programs this snapshot from a
  // private copy, whatever happens to the file meanwhile.
  std::error_code error;
  StationImage image;
  image.path = std::filesystem::absolute(plan.image, error).lexically_normal().string();
  auto taken = ImageSnapshot::Take(error ? plan.image : image.path);
  if (const auto* problem = std::get_if<ImageProblem>(&taken)) {
    return "image '" + plan.image + "' " + problem->reason;
  }
  image.snapshot = std::get<ImageSnapshotPtr>(std::move(taken));
  if (plan.image_sha256 && image.snapshot->Sha256() != *plan.image_sha256) {
    return "image " + image.path + " has SHA-256 " + image.snapshot->Sha256() + ", not the " +
           *plan.image_sha256 + " it must have: nothing was programmed";
  }
  std::vector<uint8_t> bytes(image.snapshot->Size());
  image.snapshot->CopyBlock(0, bytes);
  try {
    image.copy = std::make_unique<platform::PrivateFile>(
        std::filesystem::path(image.path).filename().string(), bytes);
  } catch (const std::exception& failure) {
    return std::string("cannot keep a private copy of the image: ") + failure.what();
  }
  return image;
}

RecordContext RunRecordContext(const StationPlan& plan) {
  return RecordContext{plan.station_name, plan.operator_name, plan.recipe, NewRunId(),
                       platform::HostName()};
}

std::vector<std::string> ChildArguments(const StationPlan& plan, const SlotPlan& slot,
                                        const StationImage& image) {
  std::vector<std::string> args{"--json",
                                "--port",
                                slot.port,
                                "--slot",
                                slot.name,
                                "--station-name",
                                plan.station_name,
                                "--operator",
                                plan.operator_name,
                                "--image-label",
                                image.path,
                                "--image-sha256",
                                image.snapshot->Sha256()};
  if (plan.capture_timeout_s) {
    std::ostringstream seconds;
    seconds << std::fixed << *plan.capture_timeout_s;
    args.insert(args.end(), {"--capture-timeout", seconds.str()});
  }
  if (!plan.target_ids.empty()) {
    std::string ids;
    for (const std::string& id : plan.target_ids) ids += (ids.empty() ? "" : ",") + id;
    args.insert(args.end(), {"--target-id", ids});
  }
  if (plan.wait_for_adapters) args.push_back("--wait-port");
  args.push_back(image.copy->path());
  return args;
}

bool LogRecords::Keep(const SlotPlan& slot, const UnitResult& result, std::string& error) {
  held_.push_back(
      log_.Entry(result, slot.name, slot.port, image_, std::chrono::system_clock::now()));
  return Retry(error);
}

bool LogRecords::Retry(std::string& error) {
  while (!held_.empty()) {
    if (!log_.Write(held_.front(), error)) {
      error = log_.path() + ": " + error;
      return false;
    }
    held_.pop_front();
  }
  return true;
}

std::vector<std::string> LogRecords::HeldBack() const {
  std::vector<std::string> lines;
  for (const UnitLogEntry& entry : held_) lines.push_back(log_.Line(entry));
  return lines;
}

}  // namespace quarnel::station
