#include "tool/kort_app.h"

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
