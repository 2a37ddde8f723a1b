// The words a run's progress and result are told in: one place decides them
// and their plurals, so the window's status line and the command line's
// summary say the same thing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/index_run.h"

namespace pelorin {

// "1 folder", "2 folders": the singular for exactly one.
std::string CountOf(std::int64_t count, std::string_view singular);

// The line while a run goes on, the count first so that a narrow status line
// never loses it: "Indexed 197 folders, 13 thumbnails made".
std::string ProgressLine(std::int64_t folders, bool thumbnails, std::int64_t thumbnails_made);

// The status line on a terminal: the progress line, the time since the run
// started and the folders per second: "Indexed 197 folders (2.4 s, 82
// folders/s)".
std::string TimedProgressLine(std::string_view progress, double seconds, std::int64_t folders);

// The whole result, as the command line prints it: "Indexed 3 folders:
// 3 pages written, 0 unchanged, 1 failed", the picture pages and thumbnails
// when the run made them, picture failures apart from folder failures, then
// a stop and the folders it left, and a template changed during the run.
std::string SummaryLine(const RunSummary& summary);

// The result in short, for a status line: "Indexed 202 folders, 13 picture
// pages, 13 thumbnails, 1 failed" ("Stopped after ..." when stopped).
std::string ShortSummaryLine(const RunSummary& summary);

}  // namespace pelorin
