#pragma once
// A file written as the new content of a path, so that a failed write
// leaves what the path named before:
//
//   - a path that names nothing is created exclusively, in place; it is
//     this object's own file;
//   - a regular file (also one reached through a link) is left alone while
//     the new content goes to a new file created exclusively beside it,
//     which Commit renames over it (the link stays a link; the mode of the
//     file it replaces is kept);
//   - anything else that opens for writing (a device) is written in place
//     and never removed.
//
// Discard removes only a regular file this object created (the new file,
// the file aside, or after Commit the new file it put under the name given,
// not behind a link, when no earlier file can be put back), and only while
// its name still names that same file (device and inode of the open file
// against those of the name): never a device, a folder, the target of a
// link or a file that was there before. The destructor discards a file
// that was not committed.

#include <cstdint>
#include <string>

#include "plat/file.h"

namespace plat {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens the CP932 path for new content with the access (ModeWrite or
  // ModeReadWrite) and TypeText of File::Open; ModeCreate is implied. Fails
  // like File::Open (a folder, a FIFO, a missing folder, an unconvertible
  // name) and when already open.
  bool Open(const char* path, std::uint32_t flags);
  bool IsOpen() const { return file_.IsOpen(); }
  // The open file; what is written goes here.
  File& Stream() { return file_; }

  // Closes the file and puts it in place; false when the close or the
  // rename failed, and then the new content is discarded as by Discard.
  // An earlier file replaced by the commit stays under the aside name
  // (where the file system can exchange two names) until the object is
  // done: the destructor or the next Open removes it, a Discard puts it
  // back in place of the new file.
  bool Commit();
  // Closes the file and removes the file this object created, if any (see
  // above), or after a Commit puts back the earlier file it replaced; the
  // object is ready for another Open.
  void Discard();

 private:
  enum class Kind { None, Created, Aside, InPlace };
  bool StillNamesOurs(const std::string& native) const;
  bool StillNamesKept() const;
  bool PutAsideInPlace();
  void Finish();
  void Reset();

  File file_;
  Kind kind_ = Kind::None;
  std::string target_;  // native name of the file the content is for
  std::string aside_;   // native name of the file written aside
  std::uint64_t device_ = 0;
  std::uint64_t inode_ = 0;
  bool committed_ = false;
  bool throughLink_ = false;  // the path named a link to the target
  // After a commit by exchange: the earlier file, under the aside name.
  bool kept_ = false;
  std::uint64_t keptDevice_ = 0;
  std::uint64_t keptInode_ = 0;
};

}  // namespace plat
