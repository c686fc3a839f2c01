#pragma once
// Files and folders written aside: new content is written under a hidden
// sibling name of its target and renamed into place only when complete, so
// that a writer that fails or is killed never leaves a part of it under the
// target's name. Every writer of the system names its asides one way:
//
//     ".<name>.tmp-<pid>-<n>"
//
// in the target's own folder (the move is then a rename on one file
// system), where <name> is the target's last element (its first 200 bytes,
// within the system's limit for one name), <pid> the writing process and
// <n> a count within it. A writer killed before its rename leaves its aside
// behind; the next writer of the same target removes the asides of that
// target whose process no longer runs. Names of any other form are never
// touched.
//
// Paths here are native (UTF-8, '/' separators).

#include <string>

namespace plat {

// The next aside name of a native target (not yet created); the target's
// name is its last element, without a separator at its end.
std::string NextAsideName(const std::string& nativeTarget);

// Whether name (an element, not a path) is an aside of the target's name
// written by a process other than this one, and which.
bool IsAsideOf(const std::string& name, const std::string& nativeTarget, long* writer);

// Removes the asides of a native target whose writing process is gone: files,
// links and folders (folders with everything in them; links are removed,
// never followed). Asides of running processes stay.
void RemoveAbandonedAsides(const std::string& nativeTarget);

// Removes a native file, link (never what it points to) or folder with
// everything in it; true when nothing is left under the name. Nothing is
// allocated, so that a writer out of memory still cleans up after itself.
bool RemoveTree(const std::string& native);

}  // namespace plat
