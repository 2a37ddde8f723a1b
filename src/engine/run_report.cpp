#include "engine/run_report.h"

#include <algorithm>
#include <cstdio>

#include "common/html_text.h"

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

std::string ProgressLine(const RunProgress& progress) {
  std::string line = "Indexed " + CountOf(progress.folders_reached, "folder");
  if (progress.thumbnails) line += ", " + CountOf(progress.thumbnails_made, "thumbnail") + " made";
  return line;
}

std::string TimedProgressLine(const RunProgress& progress, double seconds) {
  char timing[64];
  // The rate waits for a tenth of a second: before that it says nothing.
  if (seconds >= 0.1) {
    std::snprintf(timing, sizeof timing, " (%.1f s, %.0f folders/s)", seconds,
                  static_cast<double>(progress.folders_reached) / seconds);
  } else {
    std::snprintf(timing, sizeof timing, " (%.1f s)", seconds);
  }
  return ProgressLine(progress) + timing;
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
  if (summary.dry_run) {
    return "Preview of " + CountOf(summary.folders_reached, "folder") + ": nothing was written";
  }
  std::string line = summary.stopped ? "Stopped after " : "Indexed ";
  line += CountOf(summary.folders_indexed, "folder");
  if (summary.picture_pages) line += ", " + CountOf(summary.picture_pages_written, "picture page");
  if (summary.thumbnails) line += ", " + CountOf(summary.thumbnails_made, "thumbnail");
  if (!summary.failures.empty()) line += ", " + std::to_string(summary.failures.size()) + " failed";
  return line;
}

std::vector<std::string> PreviewLines(const RunSummary& summary) {
  const auto counts = [](std::int64_t written, std::int64_t made_new, std::int64_t unchanged) {
    return std::to_string(made_new) + " new, " + std::to_string(written - made_new) + " changed, " +
           std::to_string(unchanged) + " unchanged";
  };
  std::vector<std::string> lines;
  lines.push_back("Dry run over " + CountOf(summary.folders_reached, "folder") +
                  "; nothing was written.");
  lines.push_back("Pages: " +
                  counts(summary.pages_written, summary.pages_new, summary.pages_unchanged));
  if (summary.picture_pages) {
    lines.push_back("Picture pages: " + counts(summary.picture_pages_written,
                                               summary.picture_pages_new,
                                               summary.picture_pages_unchanged));
  }
  if (summary.thumbnails) {
    lines.push_back("Thumbnails: " + std::to_string(summary.thumbnails_made) + " to make, " +
                    std::to_string(summary.thumbnails_up_to_date) + " up to date");
  }
  lines.push_back("Existing files replaced: " + std::to_string(summary.files_replaced));
  lines.push_back("Collisions: " + std::to_string(summary.collisions.size()));
  for (const Failure& collision : summary.collisions) {
    lines.push_back("  " + PrintableText(collision.folder) + ": " + collision.reason);
  }
  lines.push_back("Failures: " + std::to_string(summary.failures.size()));
  return lines;
}

std::string FolderLine(const FolderReport& report, bool dry_run) {
  static constexpr std::string_view kPage[] = {"new page", "changed page", "page unchanged",
                                               "page failed"};
  const FolderTally& tally = report.tally;
  std::string line = PrintableText(report.path) + ": ";
  line += kPage[static_cast<int>(report.page)];
  if (tally.picture_pages_written > 0) {
    line += ", " + CountOf(tally.picture_pages_written, "picture page") +
            (dry_run ? " to write" : " written");
  }
  if (tally.thumbnails_made > 0) {
    line += ", " + CountOf(tally.thumbnails_made, "thumbnail") + (dry_run ? " to make" : " made");
  }
  if (tally.failed > 0) line += ", " + std::to_string(tally.failed) + " failed";
  return line;
}

}  // namespace pelorin
