#pragma once
// Private-profile (ini) integers. Section and key compare ASCII
// case-insensitively; the first match wins; ';' starts a comment line.
// The value's leading decimal digits count ("55zz" is 55, none is 0).
// A missing file, section or key gives the default.

namespace plat {

// A bare file name is looked for in the program's own folder; a name with
// a folder is used as given.
int ReadProfileInt(const char* section, const char* key, int defaultValue, const char* file);

}  // namespace plat
