#include "engine/run_report.h"

#include <algorithm>
#include <cstdio>

namespace pelorin {

namespace {

std::int64_t PictureFailures(const RunSummary& summary) {
  return std::count_if(summary.failures.begin(), summary.failures.end(),
                       [](const Failure& failure) { return failure.picture; });
}

}  // namespace

std::string CountOf(std::int64_t count, std::string_view singular) {
  std::string text = std::to_string(count);
  text += ' ';
  text += singular;
  if (count != 1) text += 's';
  return text;
}

std::string ProgressLine(std::int64_t folders, bool thumbnails, std::int64_t thumbnails_made) {
  std::string line = "Indexed " + CountOf(folders, "folder");
  if (thumbnails) line += ", " + CountOf(thumbnails_made, "thumbnail") + " made";
  return line;
}

std::string TimedProgressLine(std::string_view progress, double seconds, std::int64_t folders) {
  char timing[64];
  // The rate waits for a tenth of a second: before that it says nothing.
  if (seconds >= 0.1) {
    std::snprintf(timing, sizeof timing, " (%.1f s, %.0f folders/s)", seconds,
                  static_cast<double>(folders) / seconds);
  } else {
    std::snprintf(timing, sizeof timing, " (%.1f s)", seconds);
  }
  return std::string(progress) + timing;
}

std::string SummaryLine(const RunSummary& summary) {
  const std::int64_t picture_failures = PictureFailures(summary);
  const std::int64_t folder_failures =
      static_cast<std::int64_t>(summary.failures.size()) - picture_failures;
  std::string line = "Indexed " + CountOf(summary.folders_indexed, "folder") + ": " +
                     CountOf(summary.pages_written, "page") + " written, " +
                     std::to_string(summary.pages_unchanged) + " unchanged, ";
  if (summary.picture_pages) {
    line += CountOf(summary.picture_pages_written, "picture page") + " written, " +
            CountOf(summary.picture_pages_unchanged, "picture page") + " unchanged, ";
  }
  if (summary.thumbnails) {
    line += CountOf(summary.thumbnails_made, "thumbnail") + " made, " +
            std::to_string(summary.thumbnails_up_to_date) + " up to date, ";
  }
  line += std::to_string(folder_failures) + " failed";
  if (picture_failures > 0) line += ", " + CountOf(picture_failures, "picture") + " failed";
  if (summary.stopped) {
    line += summary.folders_not_reached > 0
                ? " (stopped; " + CountOf(summary.folders_not_reached, "folder") +
                      " and what is below them not reached)"
                : " (stopped)";
  }
  if (summary.template_changed) {
    line += "; the template changed during the run; run again to use the new one";
  }
  return line;
}

std::string ShortSummaryLine(const RunSummary& summary) {
  std::string line = summary.stopped ? "Stopped after " : "Indexed ";
  line += CountOf(summary.folders_indexed, "folder");
  if (summary.picture_pages) line += ", " + CountOf(summary.picture_pages_written, "picture page");
  if (summary.thumbnails) line += ", " + CountOf(summary.thumbnails_made, "thumbnail");
  if (!summary.failures.empty()) line += ", " + std::to_string(summary.failures.size()) + " failed";
  return line;
}

}  // namespace pelorin
