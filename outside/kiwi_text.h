#pragma once
// Line conventions of the map file (ALLDATA.KWI), shared by the map
// stand-in and the generator of the sample road map, whose description
// follows them too: fields separated by runs of blanks or tabs.

#include <string_view>
#include <vector>

std::vector<std::string_view> KiwiFields(std::string_view line);
