#pragma once
// Reader of the text description of a toll data set (UTF-8, one record a
// line, fields separated by blanks or tabs, '#' starts a comment line). The
// line kinds are explained in data/README.md. The reader checks every field
// and the references between lines and fills the writers' input for
// FACIL.DAT and TOLL.DAT; the format version is given by the caller.

#include <string>

#include "tools/tollbuild/toll_writers.h"

namespace tollbuild {

// False with a message naming the line when the text is not a valid description.
bool ParseTollDescription(const std::string& utf8, int version, FacilDat* facil, TollDat* toll,
                          std::string* error);
bool LoadTollDescription(const std::string& nativePath, int version, FacilDat* facil, TollDat* toll,
                         std::string* error);

}  // namespace tollbuild
