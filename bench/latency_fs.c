// A file system that behaves like a network share: it passes every call on to
// a folder of the local disk, but the calls a network client would send to its
// server wait a fixed time first. Like a real client it serves many calls at
// once, on many threads, so a program that overlaps its calls gains exactly
// what it would gain on a share.
//
//   latency_fs SOURCE MOUNTPOINT [--delay-us=N] [--jitter-us=N] [FUSE options]
//     --delay-us=N   wait N microseconds before each lookup, getattr, opendir,
//                    readdir, open, create, read, write, rename, release and
//                    releasedir (default 1000)
//     --jitter-us=N  wait up to N microseconds more, at random, so calls finish
//                    in another order than they were made (default 0)
//   fusermount3 -u MOUNTPOINT ends it.
//
// Lookups, which the high-level interface turns into getattr, wait once. A
// folder's entries are read and handed to the kernel in one reply, as a
// network client fetches a small folder in one round trip.
#define FUSE_USE_VERSION 314
#define _GNU_SOURCE

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

struct Config {
  const char* source;
  unsigned delay_us;
  unsigned jitter_us;
};

static struct Config config = {NULL, 1000, 0};
static int source_fd = -1;

static const struct fuse_opt kOptions[] = {
    {"--delay-us=%u", offsetof(struct Config, delay_us), 0},
    {"--jitter-us=%u", offsetof(struct Config, jitter_us), 0},
    FUSE_OPT_END,
};

// The round trip: a sleep on the calling worker thread, which other calls do
// not wait for.
static void Wait(void) {
  unsigned us = config.delay_us;
  if (config.jitter_us > 0) {
    static __thread unsigned seed;
    if (seed == 0) seed = (unsigned)(size_t)&seed ^ (unsigned)time(NULL);
    us += (unsigned)rand_r(&seed) % config.jitter_us;
  }
  if (us == 0) return;
  struct timespec span = {us / 1000000, (long)(us % 1000000) * 1000};
  while (nanosleep(&span, &span) != 0 && errno == EINTR) {
  }
}

// Paths arrive as "/a/b"; the source folder's descriptor is their base.
static const char* Relative(const char* path) { return path[1] == '\0' ? "." : path + 1; }

static int Result(int ok) { return ok ? 0 : -errno; }

static void* Init(struct fuse_conn_info* conn, struct fuse_config* cfg) {
  (void)conn;
  cfg->use_ino = 1;  // the source's inode numbers, so links and templates compare
  // An open file removed or renamed over is gone at once, as on a server,
  // instead of lingering under a hidden name in its folder.
  cfg->hard_remove = 1;
  return NULL;
}

static int GetAttr(const char* path, struct stat* st, struct fuse_file_info* fi) {
  (void)fi;
  Wait();
  return Result(fstatat(source_fd, Relative(path), st, AT_SYMLINK_NOFOLLOW) == 0);
}

static int ReadLink(const char* path, char* buffer, size_t size) {
  const ssize_t n = readlinkat(source_fd, Relative(path), buffer, size - 1);
  if (n < 0) return -errno;
  buffer[n] = '\0';
  return 0;
}

static int OpenDir(const char* path, struct fuse_file_info* fi) {
  Wait();
  const int fd = openat(source_fd, Relative(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -errno;
  DIR* dir = fdopendir(fd);
  if (dir == NULL) {
    const int error = errno;
    close(fd);
    return -error;
  }
  fi->fh = (uint64_t)(uintptr_t)dir;
  return 0;
}

// All entries in one go, with offset 0: the library keeps them and answers
// the kernel's further reads of this listing itself.
static int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                   struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
  (void)path;
  (void)offset;
  (void)flags;
  Wait();
  DIR* dir = (DIR*)(uintptr_t)fi->fh;
  rewinddir(dir);
  for (;;) {
    errno = 0;
    const struct dirent* entry = readdir(dir);
    if (entry == NULL) return -errno;
    struct stat st;
    memset(&st, 0, sizeof st);
    st.st_ino = entry->d_ino;
    st.st_mode = (mode_t)DTTOIF(entry->d_type);
    if (fill(buffer, entry->d_name, &st, 0, 0) != 0) return -ENOMEM;
  }
}

static int ReleaseDir(const char* path, struct fuse_file_info* fi) {
  (void)path;
  Wait();
  closedir((DIR*)(uintptr_t)fi->fh);
  return 0;
}

static int Open(const char* path, struct fuse_file_info* fi) {
  Wait();
  const int fd = openat(source_fd, Relative(path), fi->flags | O_CLOEXEC);
  if (fd < 0) return -errno;
  fi->fh = (uint64_t)fd;
  return 0;
}

static int Create(const char* path, mode_t mode, struct fuse_file_info* fi) {
  Wait();
  const int fd = openat(source_fd, Relative(path), fi->flags | O_CREAT | O_CLOEXEC, mode);
  if (fd < 0) return -errno;
  fi->fh = (uint64_t)fd;
  return 0;
}

static int Read(const char* path, char* buffer, size_t size, off_t offset,
                struct fuse_file_info* fi) {
  (void)path;
  Wait();
  const ssize_t n = pread((int)fi->fh, buffer, size, offset);
  return n < 0 ? -errno : (int)n;
}

static int Write(const char* path, const char* buffer, size_t size, off_t offset,
                 struct fuse_file_info* fi) {
  (void)path;
  Wait();
  const ssize_t n = pwrite((int)fi->fh, buffer, size, offset);
  return n < 0 ? -errno : (int)n;
}

static int Release(const char* path, struct fuse_file_info* fi) {
  (void)path;
  Wait();
  close((int)fi->fh);
  return 0;
}

static int Rename(const char* from, const char* to, unsigned int flags) {
  Wait();
  return Result(renameat2(source_fd, Relative(from), source_fd, Relative(to), flags) == 0);
}

static int Unlink(const char* path) { return Result(unlinkat(source_fd, Relative(path), 0) == 0); }

static int MkDir(const char* path, mode_t mode) {
  return Result(mkdirat(source_fd, Relative(path), mode) == 0);
}

static int RmDir(const char* path) {
  return Result(unlinkat(source_fd, Relative(path), AT_REMOVEDIR) == 0);
}

static int SymLink(const char* target, const char* path) {
  return Result(symlinkat(target, source_fd, Relative(path)) == 0);
}

static int ChMod(const char* path, mode_t mode, struct fuse_file_info* fi) {
  if (fi != NULL) return Result(fchmod((int)fi->fh, mode) == 0);
  return Result(fchmodat(source_fd, Relative(path), mode, 0) == 0);
}

static int ChOwn(const char* path, uid_t uid, gid_t gid, struct fuse_file_info* fi) {
  if (fi != NULL) return Result(fchown((int)fi->fh, uid, gid) == 0);
  return Result(fchownat(source_fd, Relative(path), uid, gid, AT_SYMLINK_NOFOLLOW) == 0);
}

static int Truncate(const char* path, off_t size, struct fuse_file_info* fi) {
  if (fi != NULL) return Result(ftruncate((int)fi->fh, size) == 0);
  const int fd = openat(source_fd, Relative(path), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return -errno;
  const int result = Result(ftruncate(fd, size) == 0);
  close(fd);
  return result;
}

static int UTimeNs(const char* path, const struct timespec times[2], struct fuse_file_info* fi) {
  if (fi != NULL) return Result(futimens((int)fi->fh, times) == 0);
  return Result(utimensat(source_fd, Relative(path), times, AT_SYMLINK_NOFOLLOW) == 0);
}

static int Access(const char* path, int mask) {
  return Result(faccessat(source_fd, Relative(path), mask, AT_EACCESS) == 0);
}

static int StatFs(const char* path, struct statvfs* st) {
  (void)path;
  return Result(fstatvfs(source_fd, st) == 0);
}

static int FSync(const char* path, int data_only, struct fuse_file_info* fi) {
  (void)path;
  return Result((data_only ? fdatasync((int)fi->fh) : fsync((int)fi->fh)) == 0);
}

static const struct fuse_operations kOperations = {
    .getattr = GetAttr,
    .readlink = ReadLink,
    .mkdir = MkDir,
    .unlink = Unlink,
    .rmdir = RmDir,
    .symlink = SymLink,
    .rename = Rename,
    .chmod = ChMod,
    .chown = ChOwn,
    .truncate = Truncate,
    .open = Open,
    .read = Read,
    .write = Write,
    .statfs = StatFs,
    .release = Release,
    .fsync = FSync,
    .opendir = OpenDir,
    .readdir = ReadDir,
    .releasedir = ReleaseDir,
    .init = Init,
    .access = Access,
    .create = Create,
    .utimens = UTimeNs,
};

// The first argument that is no option is the source folder; the second, the
// mount point, goes on to FUSE.
static int TakeSource(void* data, const char* arg, int key, struct fuse_args* args) {
  (void)data;
  (void)args;
  if (key == FUSE_OPT_KEY_NONOPT && config.source == NULL) {
    config.source = arg;
    return 0;
  }
  return 1;
}

int main(int argc, char** argv) {
  struct fuse_args args = FUSE_ARGS_INIT(argc, argv);
  if (fuse_opt_parse(&args, &config, kOptions, TakeSource) != 0) return 2;
  if (config.source == NULL) {
    fprintf(stderr, "usage: latency_fs SOURCE MOUNTPOINT [--delay-us=N] [--jitter-us=N]\n");
    return 2;
  }
  source_fd = open(config.source, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (source_fd < 0) {
    perror(config.source);
    return 1;
  }
  // Enough threads for every call a 64-thread run can have waiting at once.
  fuse_opt_add_arg(&args, "-omax_threads=128,max_idle_threads=128");
  const int status = fuse_main(args.argc, args.argv, &kOperations, NULL);
  fuse_opt_free_args(&args);
  return status;
}
