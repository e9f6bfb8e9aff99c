// Runs one command with its standard output sent to a file and prints its
// wall time and CPU time (user plus system) in seconds, its peak resident
// memory in KiB and its exit status:
//
//   quorlan_bench_measure STDOUT_FILE COMMAND [ARGUMENT]...
//
// The peak memory the kernel reports for a child includes the memory of the
// process it was forked from, so the benchmark starts every command from this
// small program rather than from the (much larger) Python harness.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: %s STDOUT_FILE COMMAND [ARGUMENT]...\n", argv[0]);
    return 2;
  }
  int out = ::open(argv[1], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    std::printf("cannot create %s\n", argv[1]);
    return 2;
  }
  std::fflush(stdout);
  timespec started{};
  ::clock_gettime(CLOCK_MONOTONIC, &started);
  pid_t pid = ::vfork();
  if (pid == 0) {
    ::dup2(out, 1);
    ::execv(argv[2], argv + 2);
    ::_exit(127);
  }
  if (pid < 0) {
    std::printf("cannot start %s\n", argv[2]);
    return 2;
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  timespec ended{};
  ::clock_gettime(CLOCK_MONOTONIC, &ended);
  double seconds = static_cast<double>(ended.tv_sec - started.tv_sec) +
                   static_cast<double>(ended.tv_nsec - started.tv_nsec) / 1e9;
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::printf("%.6f %.6f %ld %d\n", seconds, cpu, usage.ru_maxrss, code);
  return 0;
}
