// The words a run's progress and result are told in: one place decides them
// and their plurals, so the window's status line and the command line's
// summary say the same thing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/index_run.h"

namespace pelorin {

// "1 folder", "2 folders": the singular for exactly one.
std::string CountOf(std::int64_t count, std::string_view singular);

// The line while a run goes on, the count first so that a narrow status line
// never loses it: "Indexed 197 folders, 13 thumbnails made".
std::string ProgressLine(const RunProgress& progress);

// The status line on a terminal: the progress line, the time since the run
// started and the folders per second: "Indexed 197 folders (2.4 s, 82
// folders/s)".
std::string TimedProgressLine(const RunProgress& progress, double seconds);

// The whole result, as the command line prints it: "Indexed 3 folders:
// 3 pages written, 0 unchanged, 1 failed", the picture pages and thumbnails
// when the run made them, picture failures apart from folder failures, then
// a stop and the folders it left, and a template changed during the run.
std::string SummaryLine(const RunSummary& summary);

// The result in short, for a status line: "Indexed 202 folders, 13 picture
// pages, 13 thumbnails, 1 failed" ("Stopped after ..." when stopped).
std::string ShortSummaryLine(const RunSummary& summary);

// What a dry run found, one line each, as both front ends show it:
// "Pages: 3 new, 1 changed, 8 unchanged", the picture pages and thumbnails
// when the run would make them, the existing files it would replace, and
// the collisions (the lines that follow, "  path: reason", name each).
std::vector<std::string> PreviewLines(const RunSummary& summary);

// One folder as a run (or a dry run) left it: "FOLDER: new page, 2 picture
// pages written, 3 thumbnails made" (dry run: "to write", "to make").
std::string FolderLine(const FolderReport& report, bool dry_run);

}  // namespace pelorin
