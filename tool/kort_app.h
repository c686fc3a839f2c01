#pragma once
// The kort program: one job per process.
//
//   kort <job file> <result file> <status file>
//
// The three names are taken as given (a name may begin with "/" or "-"),
// turned from the UTF-8 of the command line into CP932; later parameters
// are ignored. When a name is missing or empty the program ends at once,
// reading, deleting, writing and printing nothing.

#include <cstdint>
#include <string>

// The command line: every parameter in turn, the first three kept.
class CVrgRouteCommandLineInfo {
 public:
  // The parameters argv[1] to argv[argc - 1], each converted to CP932 (bytes
  // that are not UTF-8 are kept as they are) and handed to ParseParam.
  void ParseCommandLine(int argc, const char* const* argv);
  // Stores a CP932 parameter as the job, result or status file name, in
  // this order; ignores it after those.
  void ParseParam(const char* param);

  const std::string& JobFile() const { return jobFile_; }
  const std::string& ResultFile() const { return resultFile_; }
  const std::string& StatusFile() const { return statusFile_; }

 private:
  std::string jobFile_;
  std::string resultFile_;
  std::string statusFile_;
  int32_t nextSlot_ = 1;
};

// The application: the command line, then the job run (tool/job_run.h).
class CkortApp {
 public:
  // Runs the job of the command line with the data under programFolder
  // (null when the program's folder is not known: see RunKortJob).
  // Always false: the process ends after it.
  bool InitInstance(int argc, const char* const* argv, const char* programFolder);
  // The exit code of the process: 0 when the job's status stands (or none
  // was due), 1 when it could not be written; the caller reads the outcome
  // from the status file.
  int ExitInstance() const { return statusWritten_ ? 0 : 1; }

  const std::string& JobFile() const { return jobFile_; }
  const std::string& ResultFile() const { return resultFile_; }
  const std::string& StatusFile() const { return statusFile_; }

 private:
  std::string jobFile_;
  std::string resultFile_;
  std::string statusFile_;
  bool statusWritten_ = true;
};

// The program: the job of the command line with the data beside the
// program, and the exit code (CkortApp::ExitInstance). The job runs with a
// reserve of memory held back for its clean-up (common/allocation_guard.h),
// so that a job that runs out still leaves its status: the memory message.
int RunKort(int argc, const char* const* argv) noexcept;
