#include "tool/kort_app.h"

#include <cstring>
#include <string>

#include "common/allocation_guard.h"
#include "common/message_texts.h"
#include "plat/derived_store.h"
#include "plat/path.h"
#include "tool/job_run.h"

void CVrgRouteCommandLineInfo::ParseCommandLine(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) break;
    ParseParam(plat::path::FromNative(argv[i]).c_str());
  }
}

void CVrgRouteCommandLineInfo::ParseParam(const char* param) {
  const char* text = param ? param : "";
  switch (nextSlot_) {
    case 1:
      jobFile_ = text;
      break;
    case 2:
      resultFile_ = text;
      break;
    case 3:
      statusFile_ = text;
      break;
    default:
      return;
  }
  ++nextSlot_;
}

bool CkortApp::InitInstance(int argc, const char* const* argv, const char* programFolder) {
  CVrgRouteCommandLineInfo info;
  info.ParseCommandLine(argc, argv);
  if (info.JobFile().empty() || info.ResultFile().empty() || info.StatusFile().empty())
    return false;
  jobFile_ = info.JobFile();
  resultFile_ = info.ResultFile();
  statusFile_ = info.StatusFile();
  statusWritten_ =
      RunKortJob(programFolder, jobFile_.c_str(), resultFile_.c_str(), statusFile_.c_str());
  return false;
}

namespace {

// What the clean-up of a job that ran out of memory may take: the names of
// the result and status files resolved again (a folder's names read
// included) and the status written aside.
constexpr std::size_t kCleanUpReserveBytes = 64 * 1024;

}  // namespace

int RunKort(int argc, const char* const* argv) noexcept {
  const AllocationReserve reserve(kCleanUpReserveBytes);
  // One job and the process ends: what it takes from the store of derived
  // values is read where it stands, and what it adds is written once, after
  // its status.
  plat::UseDerivedValuesInPlace();
  int code = 1;
  const int ran = CatchAllocationFailure(0, [&] {
    // Without the program's folder the data folder cannot be found: the
    // job then ends with a status that says so.
    std::string programFolder;
    const bool known = plat::path::ProgramFolder(programFolder);
    CkortApp app;
    app.InitInstance(argc, argv, known ? programFolder.c_str() : nullptr);
    code = app.ExitInstance();
    return 1;
  });
  if (ran) {
    // Not kept when memory runs out: the job's answer stands either way.
    CatchAllocationFailure(0, [] {
      plat::WriteDerivedValues();
      return 1;
    });
    return code;
  }
  // Memory ran out before the job's own guard (the program's folder, the
  // names of the command line), before anything was removed: the memory
  // message under the status name as given where no file has that name
  // (what it names has not been looked at), unless a name has a '\\',
  // which the job would take for a separator.
  if (argc < 4) return 0;
  for (int i = 1; i <= 3; ++i) {
    if (!argv[i] || !*argv[i]) return 0;  // a call that runs no job
    if (std::strchr(argv[i], '\\')) return 1;
  }
  return WriteStatusWithoutMemory(nullptr, argv[3], kMsgWorkMemory, false) ? 0 : 1;
}
