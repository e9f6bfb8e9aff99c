#include <chrono>

#include "app/job_settings.h"
#include "app/run.h"

int main(int argc, char** argv) {
  auto started = std::chrono::steady_clock::now();
  JobSettings job;
  return run_job(job, argc > 0 ? argc - 1 : 0, argc > 0 ? argv + 1 : argv, started);
}
