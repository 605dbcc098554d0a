#include "app/cli/command_line.h"

#include <fstream>
#include <iostream>
#include <variant>

#include "app/cli/cli_options.h"
#include "app/cli/guided_session.h"
#include "app/cli/help_text.h"
#include "app/cli/log_summary.h"
#include "app/cli/port_listing.h"
#include "app/cli/station.h"
#include "platform/port_list.h"
#include "quarnel_version.h"
#include "station/exit_status.h"

namespace quarnel::cli {
namespace {

int ListPorts() {
  for (const platform::PortEntry& entry : platform::ListSerialPorts()) {
    std::cout << entry.device << '\n';
  }
  std::cout << std::flush;
  return kExitOk;
}

int Summarize(const SummarizeRequest& request) {
  std::ifstream log(request.log, std::ios::binary);
  if (!log) {
    std::cerr << "quarnel-cli: cannot read the unit log " << request.log << " (exit status "
              << kExitCouldNotStart << ")" << std::endl;
    return kExitCouldNotStart;
  }
  const LogSummary summary = SummarizeLog(log);
  for (const std::string& damaged : summary.damaged) {
    std::cerr << "quarnel-cli: " << request.log << ":" << damaged << " (line skipped)\n";
  }
  std::cout << (request.csv ? FormatSummaryCsv(summary) : FormatSummaryTable(summary))
            << std::flush;
  return kExitOk;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args) {
  const ParsedCommandLine parsed = ParseCommandLine(args);
  if (std::holds_alternative<HelpRequest>(parsed)) {
    std::cout << HelpText() << std::flush;
    return kExitOk;
  }
  if (std::holds_alternative<VersionRequest>(parsed)) {
    std::cout << "quarnel-cli " << kVersion << std::endl;
    return kExitOk;
  }
  if (const auto* list = std::get_if<ListPortsRequest>(&parsed)) {
    return list->details ? ListPortDetails(list->json) : ListPorts();
  }
  if (const auto* summarize = std::get_if<SummarizeRequest>(&parsed)) return Summarize(*summarize);
  if (const auto* error = std::get_if<UsageError>(&parsed)) {
    std::cerr << "quarnel-cli: " << error->message << "\nTry 'quarnel-cli --help'." << std::endl;
    return kExitUsage;
  }
  try {
    const auto& request = std::get<ProgramRequest>(parsed);
    if (request.Supervised()) return RunStation(request);
    return RunGuidedSession(request);
  } catch (const std::exception& error) {
    std::cerr << "quarnel-cli: " << error.what() << std::endl;
    return kExitFailed;
  }
}

}  // namespace quarnel::cli
