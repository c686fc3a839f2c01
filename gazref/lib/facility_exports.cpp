// The facility search, the category list and the administrative-area list.
//
// Each export empties the facility rows, runs its search into the rows or
// into the result file, refreshes the facility total and answers the
// search's result. The array forms of the facility search and of the
// category list then reorder the rows by the display-priority table of the
// data folder; the result files keep the search order (their rows are not
// counted in the total, so the step never sees them).

#include "gazref/display_priority.h"
#include "gazref/facility_lists.h"
#include "gazref/facility_search.h"
#include "gazref/gazref_state.h"
#include "gazref/lib/export.h"

namespace {

GazrefState& State() { return TheGazrefState(); }

// The common start of every export: no facility rows, the final number of
// the full-form record read from its own field.
GazrefState& Begin() {
  GazrefState& state = State();
  ClearShisetsuResults(&state);
  state.FuyoFromCode = 0;
  return state;
}

}  // namespace

GZR_API int GZR_Shisetsu_FindListFirst(const char* dai, const char* chu, const char* sho,
                                       const char* name, const char* admin, int latitude,
                                       int longitude, double radius, const char* dataFolder,
                                       int maximum, int* overflow, char* message) {
  GazrefState& state = Begin();
  const int result = FindFacilities(ArraySink(&state.ShisetsuResultArray),
                                    {dai, chu, sho, name, admin, latitude, longitude, radius,
                                     dataFolder, maximum, overflow, message});
  RefreshShisetsuTotal(&state);
  ReorderFacilityRowsByPriority(&state.ShisetsuResultArray, state.ShisetsuTotal, dataFolder);
  return result;
}

GZR_API int GZR_Shisetsu_FindListFirstFL(const char* resultFile, const char* dai, const char* chu,
                                         const char* sho, const char* name, const char* admin,
                                         int latitude, int longitude, double radius,
                                         const char* dataFolder, int maximum, int* overflow,
                                         char* message) {
  GazrefState& state = Begin();
  const int result =
      FindFacilities(FileSink(resultFile), {dai, chu, sho, name, admin, latitude, longitude, radius,
                                            dataFolder, maximum, overflow, message});
  RefreshShisetsuTotal(&state);
  return result;
}

GZR_API int GZR_Bunrui_FindListFirst(const char* category, const char* prefecture,
                                     const char* municipality, const char* dataFolder, int maximum,
                                     int* overflow, char* message) {
  GazrefState& state = Begin();
  const int result =
      ListCategories(ArraySink(&state.ShisetsuResultArray),
                     {category, prefecture, municipality, dataFolder, maximum, overflow, message});
  RefreshShisetsuTotal(&state);
  ReorderCategoryRowsByPriority(&state.ShisetsuResultArray, state.ShisetsuTotal, category,
                                dataFolder);
  return result;
}

GZR_API int GZR_Bunrui_FindListFirstFL(const char* resultFile, const char* category,
                                       const char* prefecture, const char* municipality,
                                       const char* dataFolder, int maximum, int* overflow,
                                       char* message) {
  GazrefState& state = Begin();
  const int result = ListCategories(FileSink(resultFile), {category, prefecture, municipality,
                                                           dataFolder, maximum, overflow, message});
  RefreshShisetsuTotal(&state);
  return result;
}

GZR_API int GZR_Gyosei_FindListFirst(const char* category, const char* dataFolder, int maximum,
                                     int* overflow, char* message) {
  GazrefState& state = Begin();
  const int result = ListAreas(ArraySink(&state.ShisetsuResultArray),
                               {category, dataFolder, maximum, overflow, message});
  RefreshShisetsuTotal(&state);
  return result;
}

GZR_API int GZR_Gyosei_FindListFirstFL(const char* resultFile, const char* category,
                                       const char* dataFolder, int maximum, int* overflow,
                                       char* message) {
  GazrefState& state = Begin();
  const int result =
      ListAreas(FileSink(resultFile), {category, dataFolder, maximum, overflow, message});
  RefreshShisetsuTotal(&state);
  return result;
}
