// pelorin2-cli: the command line with the process's own streams, the
// settings files on disk, thumbnails through the libvips module and the
// signals that stop a run.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "common/folder_reader.h"
#include "common/install_paths.h"
#include "settings/qt_settings_store.h"
#include "thumbnails/lazy_thumbnail_maker.h"

namespace {

using pelorin::kExitFailures;
using pelorin::kExitOk;
using pelorin::kExitUsage;

// The lock is taken before the file is read, so that a command's read and
// its write see no other command's write in between.
bool OpenSettingsFile(const std::string& file, pelorin::OpenedSettings* opened,
                      std::string* error) {
  opened->file = pelorin::QtSettingsStore::FileFor(file);
  opened->lock = std::make_unique<pelorin::SettingsLock>(opened->file);
  auto store = std::make_unique<pelorin::QtSettingsStore>(file);
  if (!store->CheckReadable(error)) return false;
  opened->store = std::move(store);
  return true;
}

// What was printed must have arrived: a full disk or a failing device behind
// standard output is an error, as for any tool whose output is used. A
// closed pipe ("| head -1") is no error worth a message.
int FinishOutput(int status) {
  errno = 0;
  std::cout.flush();
  const bool flushed = std::fflush(stdout) == 0;
  const int error_number = errno;
  if (flushed && !std::ferror(stdout) && std::cout.good()) return status;
  if (error_number == EPIPE) return status;
  std::cerr << "pelorin2-cli: write error";
  if (error_number != 0) std::cerr << ": " << pelorin::ErrnoText(error_number);
  std::cerr << '\n';
  return status == kExitOk || status == kExitFailures ? kExitUsage : status;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes writes fail with EFBIG instead of killing us, so
  // the page in progress is reported and the old one kept.
  ::signal(SIGXFSZ, SIG_IGN);
  pelorin::LazyThumbnailMaker thumbnail_maker;
  pelorin::CliEnvironment environment{.in = std::cin,
                                      .out = std::cout,
                                      .err = std::cerr,
                                      .in_is_terminal = ::isatty(STDIN_FILENO) == 1,
                                      .err_is_terminal = ::isatty(STDERR_FILENO) == 1,
                                      .open_settings = OpenSettingsFile,
                                      .installation_folder = pelorin::InstallationFolder(),
                                      .thumbnail_maker = &thumbnail_maker,
                                      .stop_on_signals = true};
  const std::vector<std::string> args(argv + 1, argv + argc);
  return FinishOutput(pelorin::RunCli(args, environment));
}
