#pragma once
// How Quarnel writes JSON: one object a line, compact, and bytes that are no
// UTF-8 (line noise a target sent) replaced rather than a reason to stop;
// times in UTC with milliseconds, or on the station's own clock with its
// offset.
#include <chrono>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace quarnel::station {

// The object as one line, without the line end.
std::string JsonLine(const nlohmann::json& value);

// "2026-12-09T04:05:06.789Z"
std::string UtcTimeText(std::chrono::system_clock::time_point when);
// Reads what UtcTimeText writes; none for anything else.
std::optional<std::chrono::system_clock::time_point> ParseUtcTimeText(std::string_view text);
// "2026-12-09T05:05:06.789+0100"; empty when the system cannot say.
std::string LocalTimeText(std::chrono::system_clock::time_point when);

}  // namespace quarnel::station
