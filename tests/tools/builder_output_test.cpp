// The builders write their outputs aside and move them into place only when
// complete: a run that fails (a write refused past a file-size limit, memory
// running out, an output that cannot be made) leaves the earlier output as
// it was, or none, and nothing of its own beside it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/allocation_guard.h"
#include "common/message.h"
#include "generated_data.h"
#include "support/test_util.h"
#include "tools/facilitydata/facility_description.h"
#include "tools/facilitydata/facility_generate.h"
#include "tools/image_file.h"
#include "tools/sampledata/generate.h"
#include "tools/staged_output.h"

namespace fs = std::filesystem;
using gendata::FolderBytes;
using gendata::Sample;
using gendata::SampleFolder;
using sampledata::GenerateDataFolder;
using sampledata::GenerateOptions;
using testutil::Show;
using testutil::Sjis;

namespace {

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// The programs and folders of the build (UTF-8, as on disk).
const std::string kGensample = U8(u8"" KORT_GENSAMPLE_PROGRAM);
const std::string kGentoll = U8(u8"" KORT_GENTOLL_PROGRAM);
const std::string kGenroadmap = U8(u8"" KORT_GENROADMAP_PROGRAM);
const std::string kSourceDir = U8(u8"" KORT_SOURCE_DIR);
const std::string kBuildDir = U8(u8"" KORT_TEST_BUILD_DIR);

// The names in a folder (hidden ones included), sorted.
std::vector<std::string> Names(const std::string& native) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(native, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// name -> bytes of every file below a native folder, subfolders included.
std::map<std::string, std::string> TreeBytes(const std::string& native) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(native, ec)) {
    const std::string name = fs::relative(entry.path(), native).string();
    out[name] = entry.is_regular_file() ? testutil::ReadBytes(entry.path().string()) : "<folder>";
  }
  return out;
}

struct Limits {
  rlim_t fileSize = RLIM_INFINITY;
};

// Runs a program (argv[0] its path) with its output thrown away; files it
// writes cannot grow past limits.fileSize (a write beyond fails as on a
// full disk). The exit status, or 128 + the signal that ended it.
int RunBuilder(const std::vector<std::string>& argv, Limits limits = {}) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {limits.fileSize, limits.fileSize};
    if (limits.fileSize != RLIM_INFINITY) ::setrlimit(RLIMIT_FSIZE, &limit);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs body in a child process whose address space is full but for about
// `budget` bytes of free heap: the address space is limited to what the
// process has, the free memory it holds is taken up, and `budget` of it
// given back. The body's value (0 or 1), or -1.
template <typename Body>
int RunWithMemoryBudget(std::size_t budget, Body&& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    std::vector<void*> held;
    held.reserve(1u << 20);
    if (pages <= 0) ::_exit(3);
    const rlim_t size = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
    struct rlimit limit = {size, RLIM_INFINITY};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(3);
    for (std::size_t block = 64 * 1024; block >= 16; block /= 4) {
      while (held.size() < held.capacity()) {
        void* p = std::malloc(block);
        if (p == nullptr) break;
        held.push_back(p);
      }
    }
    // Blocks of 64 KiB were taken first, so the last ones are the small
    // ones: give back about `budget` bytes from the front.
    for (std::size_t i = 0, freed = 0; i < held.size() && freed < budget; ++i) {
      std::free(held[i]);
      freed += 64 * 1024;
    }
    ::_exit(body() ? 1 : 0);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status) <= 1 ? WEXITSTATUS(status) : -1;
}

// A file-size limit well below the name indexes (about 512 KiB each) and
// above the first files of a folder (the dictionaries, the grid, the
// prefecture's database): the run fails in its middle.
constexpr rlim_t kMidRunFileSize = 100 * 1024;

}  // namespace

// A gensample that fails leaves no data folder, no folder above it that it
// made and nothing hidden beside it; a kort beside it finds no half folder.
TEST(Gensample, AFailedRunLeavesNoPartialDataFolder) {
  testutil::TempDir dir;
  const std::string target = dir.Native(U8(u8"Database/住所"));
  for (const char* jobs : {"1", "2"}) {
    EXPECT_EQ(RunBuilder({kGensample, "--jobs", jobs, target}, {kMidRunFileSize}), 1) << jobs;
    EXPECT_TRUE(Names(dir.path()).empty()) << jobs;
  }
  // The same run without the limit makes the folder: the limit was the
  // failure.
  EXPECT_EQ(RunBuilder({kGensample, target}), 0);
  EXPECT_EQ(Names(dir.Native("Database")), std::vector<std::string>{U8(u8"住所")});
  EXPECT_EQ(FolderBytes(dir.path() + "\\Database\\" + Sjis(u8"住所")).size(),
            FolderBytes(SampleFolder(2)).size());
}

// A gensample that fails after an earlier run leaves that run's folder
// byte for byte; one that succeeds replaces the folder whole, but not one
// that holds a name it does not write (that of an earlier, larger data
// set): it keeps that folder as it was until the name is gone.
TEST(Gensample, AFailedRunKeepsTheEarlierFolder) {
  testutil::TempDir dir;
  const std::string target = dir.Native(U8(u8"住所"));
  ASSERT_EQ(RunBuilder({kGensample, "--kind", "1", target}), 0);
  const auto earlier = TreeBytes(target);
  ASSERT_EQ(earlier.size(), FolderBytes(SampleFolder(1)).size());
  for (const char* jobs : {"1", "2"}) {
    EXPECT_EQ(RunBuilder({kGensample, "--jobs", jobs, target}, {kMidRunFileSize}), 1) << jobs;
    EXPECT_TRUE(TreeBytes(target) == earlier) << jobs;
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{U8(u8"住所")}) << jobs;
  }

  // A file of an earlier, larger data set is no name of this run's.
  ASSERT_TRUE(testutil::WriteBytes(target + "/QVAD14.NDB", "earlier data set"));
  const auto larger = TreeBytes(target);
  EXPECT_EQ(RunBuilder({kGensample, target}), 1);
  EXPECT_TRUE(TreeBytes(target) == larger);
  ASSERT_TRUE(fs::remove(target + "/QVAD14.NDB"));
  ASSERT_EQ(RunBuilder({kGensample, target}), 0);
  const auto built = FolderBytes(SampleFolder(2));
  const auto replaced = TreeBytes(target);
  ASSERT_EQ(replaced.size(), built.size());
  for (const auto& [name, bytes] : built) EXPECT_TRUE(replaced.at(name) == bytes) << name;
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{U8(u8"住所")});
}

// gensample --national writes its address lists beside the data folder
// and puts both in place together: a run whose lists cannot be written
// leaves the earlier data folder and lists as they were.
TEST(Gensample, AFailedAddressListKeepsTheEarlierDataFolder) {
  testutil::TempDir dir;
  const std::string target = dir.Native(U8(u8"Database/住所"));
  ASSERT_EQ(RunBuilder({kGensample, "--national", "--percent", "1", "--jobs", "2", "--addresses",
                        dir.path(), target}),
            0);
  // The third list cannot be replaced: a folder stands in its place.
  const std::string list = dir.Native("addresses_not_in_data.txt");
  ASSERT_TRUE(fs::remove(list));
  ASSERT_TRUE(fs::create_directories(list));
  const auto before = TreeBytes(dir.path());
  ASSERT_GE(before.size(), 40u);
  // Another seed: other data, had it been put in place.
  EXPECT_EQ(RunBuilder({kGensample, "--national", "--seed", "2", "--percent", "1", "--jobs", "2",
                        "--addresses", dir.path(), target}),
            1);
  EXPECT_TRUE(TreeBytes(dir.path()) == before);
}

// Memory running out in the middle of a folder (the allocation failure
// unwinds through the generator) leaves the earlier folder and removes
// the one written aside.
TEST(GenerateDataFolder, RunningOutOfMemoryKeepsTheEarlierFolder) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers end the program on an allocation they cannot meet";
#endif
  testutil::TempDir dir;
  const std::string folder = dir.Sys("data");
  char msg[kMessageSize] = "";
  ASSERT_EQ(GenerateDataFolder(Sample(), folder, GenerateOptions(), msg), 1) << Show(msg);
  const auto earlier = TreeBytes(dir.Native("data"));
  // Half a MiB is less than one name index takes.
  for (const int jobs : {1, 2}) {
    const int result = RunWithMemoryBudget(512 * 1024, [&] {
      GenerateOptions options;
      options.jobs = jobs;
      char childMsg[kMessageSize] = "";
      return CatchAllocationFailure(childMsg, 0, [&] {
        return sampledata::GenerateDataFolder(Sample(), folder, options, childMsg);
      });
    });
    EXPECT_EQ(result, 0) << jobs;
    EXPECT_TRUE(TreeBytes(dir.Native("data")) == earlier) << jobs;
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"data"}) << jobs;
  }
}

// An existing folder that holds folders is no data folder of a builder: it
// is refused, not replaced, and left as it was.
TEST(GenerateDataFolder, RefusesAFolderThatHoldsFolders) {
  testutil::TempDir dir;
  ASSERT_TRUE(fs::create_directories(dir.Native("data/keep")));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("data/keep/notes.txt"), "mine"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("data/QVAD13.NDB"), "earlier"));
  const auto before = TreeBytes(dir.path());
  char msg[kMessageSize] = "";
  EXPECT_EQ(GenerateDataFolder(Sample(), dir.Sys("data"), GenerateOptions(), msg), 0);
  EXPECT_NE(std::string(msg).find("data"), std::string::npos) << Show(msg);
  EXPECT_TRUE(TreeBytes(dir.path()) == before);
}

// A folder that holds a file of the user's is no builder's output: gensample
// refuses it (saying which names), keeps the file and the folder as they
// were and leaves nothing beside them; a folder of its own earlier output
// is still replaced (see AFailedRunKeepsTheEarlierFolder).
TEST(Gensample, RefusesAFolderThatHoldsAUsersFileAndKeepsTheFile) {
  testutil::TempDir dir;
  const std::string docs = dir.Native("docs");
  ASSERT_TRUE(fs::create_directories(docs));
  ASSERT_TRUE(testutil::WriteBytes(docs + "/thesis.txt", "four years of work"));
  EXPECT_EQ(RunBuilder({kGensample, "--kind", "2", docs}), 1);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"docs"});
  EXPECT_EQ(Names(docs), std::vector<std::string>{"thesis.txt"});
  EXPECT_EQ(testutil::ReadBytes(docs + "/thesis.txt"), "four years of work");

  // Among the builder's own files of an earlier run, the user's names are
  // the ones the message names.
  ASSERT_EQ(RunBuilder({kGensample, dir.Native("data")}), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native(U8(u8"data/メモ.txt")), "mine"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("data/QVAD13.NDB.bak"), "mine too"));
  const auto before = TreeBytes(dir.path());
  char msg[kMessageSize] = "";
  EXPECT_EQ(GenerateDataFolder(Sample(), dir.Sys("data"), GenerateOptions(), msg), 0);
  const std::string message = msg;
  EXPECT_NE(message.find("QVAD13.NDB.bak"), std::string::npos) << Show(message);
  EXPECT_NE(message.find(Sjis(u8"メモ.txt")), std::string::npos) << Show(message);
  EXPECT_EQ(message.find("QVAD13.NDB,"), std::string::npos) << Show(message);
  EXPECT_TRUE(TreeBytes(dir.path()) == before);
}

// A file whose name differs from one of gensample's only in its digits is
// no output of this run: gensample, run again into its earlier output
// folder that holds a user's QVAD99.NDB, refuses the folder and keeps the
// file and every other file as they were.
TEST(Gensample, KeepsAUsersFileNamedLikeItsOutputButForTheDigits) {
  testutil::TempDir dir;
  const std::string target = dir.Native("data");
  ASSERT_EQ(RunBuilder({kGensample, target}), 0);
  ASSERT_TRUE(testutil::WriteBytes(target + "/QVAD99.NDB", "mine"));
  const auto before = TreeBytes(dir.path());
  EXPECT_EQ(RunBuilder({kGensample, target}), 1);
  EXPECT_TRUE(TreeBytes(dir.path()) == before);
  EXPECT_EQ(testutil::ReadBytes(target + "/QVAD99.NDB"), "mine");
}

// Only the names a run writes, byte for byte, are its own: a near name
// (other digits, other case, another extension) in its earlier output
// folder is someone else's. The folder is refused and kept as it was, and
// the message names the file and says why; without it the folder is
// replaced.
TEST(GenerateDataFolder, CountsAsItsOwnOnlyTheExactNamesItWrites) {
  testutil::TempDir dir;
  const std::string folder = dir.Sys("data");
  char msg[kMessageSize] = "";
  ASSERT_EQ(GenerateDataFolder(Sample(), folder, GenerateOptions(), msg), 1) << Show(msg);
  for (const char* near : {"QVAD99.NDB", "QVAD013.NDB", "13.GDB1", "qvad13.ndb", "Qvad13.Ndb",
                           "QVAD13.NDX", "QVAD13", "TKY2JGD.PA"}) {
    SCOPED_TRACE(near);
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("data/") + near, "mine"));
    const auto before = TreeBytes(dir.path());
    EXPECT_EQ(GenerateDataFolder(Sample(), folder, GenerateOptions(), msg), 0);
    const std::string message = msg;
    EXPECT_NE(message.find(std::string(": ") + near), std::string::npos) << Show(message);
    EXPECT_NE(message.find("this run does not write"), std::string::npos) << Show(message);
    EXPECT_TRUE(TreeBytes(dir.path()) == before);
    ASSERT_TRUE(fs::remove(dir.Native("data/") + near));
    EXPECT_EQ(GenerateDataFolder(Sample(), folder, GenerateOptions(), msg), 1) << Show(msg);
  }
}

// The facility builder refuses such a folder the same way.
TEST(GenerateFacilityFolder, RefusesAFolderThatHoldsAUsersFileAndKeepsTheFile) {
  facilitydata::FacilityDescription d;
  char msg[kMessageSize] = "";
  ASSERT_EQ(facilitydata::LoadFacilityDescription(
                facilitydata::DefaultFacilityDescriptionFolder().c_str(), &d, msg),
            1)
      << Show(msg);
  testutil::TempDir dir;
  const std::string folder = dir.path() + "\\" + Sjis(u8"施設");
  ASSERT_EQ(facilitydata::GenerateFacilityFolder(d, folder, nullptr, msg), 1) << Show(msg);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native(U8(u8"施設/notes.txt")), "mine"));
  const auto before = TreeBytes(dir.path());
  EXPECT_EQ(facilitydata::GenerateFacilityFolder(d, folder, nullptr, msg), 0);
  EXPECT_NE(std::string(msg).find("notes.txt"), std::string::npos) << Show(msg);
  EXPECT_TRUE(TreeBytes(dir.path()) == before);
  // Without the user's file the folder is replaced as before.
  ASSERT_TRUE(fs::remove(dir.Native(U8(u8"施設/notes.txt"))));
  EXPECT_EQ(facilitydata::GenerateFacilityFolder(d, folder, nullptr, msg), 1) << Show(msg);

  // Near names of its own (another case, other digits, another extension)
  // are a user's too.
  for (const char8_t* near :
       {u8"表示優先.TBL", u8"範囲.nib", u8"施設検索2.NDB", u8"施設検索.NDX"}) {
    SCOPED_TRACE(U8(near));
    ASSERT_TRUE(testutil::WriteBytes(dir.Native(U8(u8"施設/") + U8(near)), "mine"));
    const auto held = TreeBytes(dir.path());
    EXPECT_EQ(facilitydata::GenerateFacilityFolder(d, folder, nullptr, msg), 0);
    EXPECT_NE(std::string(msg).find(Sjis(near)), std::string::npos) << Show(msg);
    EXPECT_TRUE(TreeBytes(dir.path()) == held);
    ASSERT_TRUE(fs::remove(dir.Native(U8(u8"施設/") + U8(near))));
  }
}

// An aside left by a builder that was killed is removed by the next run on
// the same target; one of a builder still running is not touched.
TEST(StagedFolder, AnAsideOfAGoneBuilderIsRemovedAndALiveOnesKept) {
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ASSERT_GT(gone, 0);
  ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
  testutil::TempDir dir;
  const std::string goneAside = dir.Native(".data.tmp-" + std::to_string(gone) + "-0");
  const std::string liveAside = dir.Native(".data.tmp-" + std::to_string(::getpid()) + "-999999");
  const std::string otherName = dir.Native(".data.tmp-" + std::to_string(gone) + "-x");
  for (const std::string& aside : {goneAside, liveAside, otherName}) {
    ASSERT_TRUE(fs::create_directories(aside));
    ASSERT_TRUE(testutil::WriteBytes(aside + "/QVAD13.NDB", "part"));
  }
  char msg[kMessageSize] = "";
  ASSERT_EQ(GenerateDataFolder(Sample(), dir.Sys("data"), GenerateOptions(), msg), 1) << Show(msg);
  EXPECT_FALSE(fs::exists(goneAside));
  EXPECT_TRUE(fs::exists(liveAside + "/QVAD13.NDB"));
  EXPECT_TRUE(fs::exists(otherName + "/QVAD13.NDB"));  // not a name of the builders'
}

// A facility folder run that fails leaves the earlier folder.
TEST(GenerateFacilityFolder, AFailedRunKeepsTheEarlierFolder) {
  facilitydata::FacilityDescription d;
  char msg[kMessageSize] = "";
  ASSERT_EQ(facilitydata::LoadFacilityDescription(
                facilitydata::DefaultFacilityDescriptionFolder().c_str(), &d, msg),
            1)
      << Show(msg);
  testutil::TempDir dir;
  const std::string folder = dir.path() + "\\" + Sjis(u8"施設");
  ASSERT_EQ(facilitydata::GenerateFacilityFolder(d, folder, nullptr, msg), 1) << Show(msg);
  const auto earlier = TreeBytes(dir.Native(U8(u8"施設")));
  ASSERT_GE(earlier.size(), 8u);
  {
    testutil::FileSizeLimit limit(kMidRunFileSize);
    EXPECT_EQ(facilitydata::GenerateFacilityFolder(d, folder, nullptr, msg), 0);
  }
  EXPECT_TRUE(TreeBytes(dir.Native(U8(u8"施設"))) == earlier);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{U8(u8"施設")});
}

// A single file written past a file-size limit keeps the earlier file
// whole and leaves nothing beside it.
TEST(WriteImageFile, AFailedWriteKeepsTheEarlierFile) {
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("QVAD13.TIX"), "earlier index"));
  std::string error;
  {
    testutil::FileSizeLimit limit(100);
    EXPECT_FALSE(builder::WriteImageFile(dir.Sys("QVAD13.TIX").c_str(), std::string(1000, 'x'),
                                         &error, "create", "write"));
  }
  EXPECT_EQ(error, "write");
  EXPECT_EQ(testutil::ReadBytes(dir.Native("QVAD13.TIX")), "earlier index");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"QVAD13.TIX"});
  // Without the limit the same call replaces it.
  EXPECT_TRUE(builder::WriteImageFile(dir.Sys("QVAD13.TIX").c_str(), std::string(1000, 'x'), &error,
                                      "create", "write"));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("QVAD13.TIX")), std::string(1000, 'x'));
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"QVAD13.TIX"});
}

// The single-file writers and genroadmap, whose output file names are
// fixed, write that name: a file of another case beside it is a user's
// and keeps its bytes; the builder's own earlier file is replaced.
TEST(WriteImageFile, WritesTheExactNameAndKeepsAFileOfAnotherCase) {
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("qvad13.tix"), "mine"));
  std::string error;
  for (const char* image : {"first", "second"}) {
    EXPECT_TRUE(
        builder::WriteImageFile(dir.Sys("QVAD13.TIX").c_str(), image, &error, "create", "write"))
        << error;
    EXPECT_EQ(testutil::ReadBytes(dir.Native("QVAD13.TIX")), image);
    EXPECT_EQ(testutil::ReadBytes(dir.Native("qvad13.tix")), "mine");
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"QVAD13.TIX", "qvad13.tix"}));
  }
  const std::string description = kSourceDir + "/tools/roadmap/data/sample_roadmap.txt";
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("alldata.kwi"), "mine too"));
  EXPECT_EQ(RunBuilder({kGenroadmap, description, dir.path()}), 0);
  EXPECT_EQ(testutil::ReadBytes(dir.Native("alldata.kwi")), "mine too");
  EXPECT_EQ(testutil::ReadBytes(dir.Native("ALLDATA.KWI")),
            testutil::ReadBytes(kBuildDir + "/Database/Road/ALLDATA.KWI"));
}

// A folder, a link or a pipe named as the output is refused, not replaced
// (nor is the link's target written through).
TEST(WriteImageFile, RefusesAFolderALinkOrAPipeNamedAsTheOutput) {
  testutil::TempDir dir;
  ASSERT_TRUE(fs::create_directories(dir.Native("folder")));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("target"), "the link's target"));
  fs::create_symlink(dir.Native("target"), dir.Native("link"));
  ASSERT_EQ(::mkfifo(dir.Native("pipe").c_str(), 0600), 0);
  const auto before = TreeBytes(dir.path());
  for (const char* name : {"folder", "link", "pipe"}) {
    std::string error;
    EXPECT_FALSE(builder::WriteImageFile(dir.Sys(name).c_str(), "new", &error, "create", "write"))
        << name;
    EXPECT_EQ(error, "create") << name;
  }
  EXPECT_TRUE(TreeBytes(dir.path()) == before);
  EXPECT_TRUE(fs::is_symlink(dir.Native("link")));
  EXPECT_TRUE(fs::is_fifo(dir.Native("pipe")));
}

// gentoll and genroadmap write a pair of files into a folder that may hold
// other files: a run that cannot write the second keeps the earlier first
// one; a run that succeeds keeps the folder's other files.
TEST(Gentoll, AFailedRunKeepsTheEarlierPairAndTheFolderKeepsItsOtherFiles) {
  const std::string description = kSourceDir + "/tools/tollbuild/data/sample_toll.txt";
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("FACIL.DAT"), "earlier facilities"));
  ASSERT_TRUE(fs::create_directories(dir.Native("TOLL.DAT")));
  EXPECT_EQ(RunBuilder({kGentoll, description, dir.path(), "35"}), 1);
  EXPECT_EQ(testutil::ReadBytes(dir.Native("FACIL.DAT")), "earlier facilities");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"FACIL.DAT", "TOLL.DAT"}));

  ASSERT_TRUE(fs::remove(dir.Native("TOLL.DAT")));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("KEEP.TXT"), "mine"));
  EXPECT_EQ(RunBuilder({kGentoll, description, dir.path(), "35"}), 0);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"FACIL.DAT", "KEEP.TXT", "TOLL.DAT"}));
  const std::string built = kBuildDir + "/Database/Toll/v35/";
  EXPECT_EQ(testutil::ReadBytes(dir.Native("FACIL.DAT")), testutil::ReadBytes(built + "FACIL.DAT"));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("TOLL.DAT")), testutil::ReadBytes(built + "TOLL.DAT"));
}

// gentoll writes FACIL.DAT and TOLL.DAT under exactly those names: a
// user's file whose name differs only in case (which the path layer would
// otherwise open for TOLL.DAT), in its digits or in its extension is kept
// as it was beside them.
TEST(Gentoll, KeepsFilesNamedLikeItsOutputAndWritesItsOwnNames) {
  const std::string description = kSourceDir + "/tools/tollbuild/data/sample_toll.txt";
  testutil::TempDir dir;
  const std::vector<std::string> near = {"Facil.dat", "TOLL.DAT.bak", "TOLL2.DAT", "toll.dat"};
  for (const std::string& name : near) ASSERT_TRUE(testutil::WriteBytes(dir.Native(name), name));
  EXPECT_EQ(RunBuilder({kGentoll, description, dir.path(), "35"}), 0);
  for (const std::string& name : near) EXPECT_EQ(testutil::ReadBytes(dir.Native(name)), name);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"FACIL.DAT", "Facil.dat", "TOLL.DAT",
                                                         "TOLL.DAT.bak", "TOLL2.DAT", "toll.dat"}));
  const std::string built = kBuildDir + "/Database/Toll/v35/";
  EXPECT_EQ(testutil::ReadBytes(dir.Native("FACIL.DAT")), testutil::ReadBytes(built + "FACIL.DAT"));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("TOLL.DAT")), testutil::ReadBytes(built + "TOLL.DAT"));
}

// An output folder named with a character whose CP932 form is another
// character ("¥" would be the separator) is written under its own name,
// never into the folder that other form names.
TEST(Gentoll, AnOutputFolderWhoseCp932FormIsAnotherFolderIsWrittenUnderItsOwnName) {
  const std::string description = kSourceDir + "/tools/tollbuild/data/sample_toll.txt";
  testutil::TempDir dir;
  ASSERT_TRUE(fs::create_directories(dir.Native("a/b")));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a/b/FACIL.DAT"), "someone else's"));
  const std::string own = dir.path() + "/" + U8(u8"a¥b");
  ASSERT_TRUE(fs::create_directories(own));
  EXPECT_EQ(RunBuilder({kGentoll, description, own, "35"}), 0);
  EXPECT_EQ(testutil::ReadBytes(dir.Native("a/b/FACIL.DAT")), "someone else's");
  EXPECT_EQ(Names(dir.Native("a/b")), (std::vector<std::string>{"FACIL.DAT"}));
  const std::string built = kBuildDir + "/Database/Toll/v35/";
  EXPECT_EQ(testutil::ReadBytes(own + "/FACIL.DAT"), testutil::ReadBytes(built + "FACIL.DAT"));
  EXPECT_EQ(testutil::ReadBytes(own + "/TOLL.DAT"), testutil::ReadBytes(built + "TOLL.DAT"));
}

TEST(Genroadmap, AFailedRunKeepsTheEarlierPairAndTheFolderKeepsItsOtherFiles) {
  const std::string description = kSourceDir + "/tools/roadmap/data/sample_roadmap.txt";
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("ALLDATA.KWI"), "earlier map"));
  ASSERT_TRUE(fs::create_directories(dir.Native("HIGHWAY.DAT")));
  EXPECT_EQ(RunBuilder({kGenroadmap, description, dir.path()}), 1);
  EXPECT_EQ(testutil::ReadBytes(dir.Native("ALLDATA.KWI")), "earlier map");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"ALLDATA.KWI", "HIGHWAY.DAT"}));

  // The toll data copied beside the map stays.
  ASSERT_TRUE(fs::remove(dir.Native("HIGHWAY.DAT")));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("TOLL.DAT"), "toll data"));
  EXPECT_EQ(RunBuilder({kGenroadmap, description, dir.path()}), 0);
  EXPECT_EQ(Names(dir.path()),
            (std::vector<std::string>{"ALLDATA.KWI", "HIGHWAY.DAT", "TOLL.DAT"}));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("TOLL.DAT")), "toll data");
  const std::string built = kBuildDir + "/Database/Road/";
  EXPECT_EQ(testutil::ReadBytes(dir.Native("ALLDATA.KWI")),
            testutil::ReadBytes(built + "ALLDATA.KWI"));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("HIGHWAY.DAT")),
            testutil::ReadBytes(built + "HIGHWAY.DAT"));
}
