// Options, result arrays, totals, row loaders, getters and the sorts.

#include <cstring>
#include <string>

#include "gazref/gazref_state.h"
#include "gazref/lib/export.h"
#include "tool/csv_sort.h"

namespace {

GazrefState& State() { return TheGazrefState(); }

// A text getter: an empty text first, then the whole member with its NUL.
void CopyOut(char* buffer, const std::string& text) {
  if (!buffer) return;
  buffer[0] = '\0';
  std::memcpy(buffer, text.c_str(), text.size() + 1);
}

}  // namespace

// ---- Options ----

GZR_API int GZR_SetAddr_DefaultAzaMode(int value) {
  return ExchangeOption(&State().Options.DefaultAzaMode, value);
}
GZR_API int GZR_SetAddr_AnalyzeExClass(int value) {
  return ExchangeOption(&State().Options.AnalyzeExClass, value);
}
GZR_API int GZR_SetAddr_DeleteGun(int value) {
  return ExchangeOption(&State().Options.DeleteGun, value);
}
GZR_API int GZR_SetAddr_SkipAzaNasi(int value) {
  return ExchangeOption(&State().Options.SkipAzaNasi, value);
}
GZR_API void GZR_SetAddr_FooterGaiku(const char* text) {
  SetFooter(&State().Options, Footer::Gaiku, text);
}
GZR_API void GZR_SetAddr_FooterZyukyo(const char* text) {
  SetFooter(&State().Options, Footer::Zyukyo, text);
}
GZR_API void GZR_SetAddr_FooterOyaban(const char* text) {
  SetFooter(&State().Options, Footer::Oyaban, text);
}
GZR_API void GZR_SetAddr_FooterKoban(const char* text) {
  SetFooter(&State().Options, Footer::Koban, text);
}

// ---- Result arrays and totals ----

GZR_API void GZR_InitDB(void) {
  ClearAddrResults(&State());
  ClearShisetsuResults(&State());
}
GZR_API int GZR_GetAddrTotal(void) { return RefreshAddrTotal(&State()); }
// One function under two names: both resolve to the same address.
GZR_API int GZR_GetAddrFwTotal(void) __attribute__((alias("GZR_GetAddrTotal")));
GZR_API int GZR_GetShisetsuTotal(void) { return RefreshShisetsuTotal(&State()); }

// ---- Row loaders ----

GZR_API void GZR_GetAddrData(int row) {
  LoadAddrRecord(&State().Addr, State().AddrResultArray, State().AddrTotal, row);
}
GZR_API void GZR_GetAddrFwData(int row) {
  LoadAddrFwRecord(&State().AddrFw, State().AddrResultArray, State().AddrTotal, row);
}
GZR_API void GZR_GetShisetsuData(int row) {
  LoadShisetsuRecord(&State().Shisetsu, State().ShisetsuResultArray, State().ShisetsuTotal, row);
}

// ---- Getters of the short address record ----

GZR_API void GZR_GetA_AddrStr(char* buffer) { CopyOut(buffer, State().Addr.AddrStr); }
GZR_API void GZR_GetA_YomiStr(char* buffer) { CopyOut(buffer, State().Addr.YomiStr); }
GZR_API int GZR_GetA_Lat(void) { return State().Addr.Lat; }
GZR_API int GZR_GetA_Lon(void) { return State().Addr.Lon; }
GZR_API void GZR_GetA_GJis(char* buffer) { CopyOut(buffer, State().Addr.GJis); }

// ---- Getters of the full-form address record ----

GZR_API void GZR_GetA_Fw_AddrStr(char* buffer) { CopyOut(buffer, State().AddrFw.AddrStr); }
GZR_API void GZR_GetA_Fw_Addr2ndStr(char* buffer) { CopyOut(buffer, State().AddrFw.Addr2ndStr); }
GZR_API void GZR_GetA_Fw_Addr3rdStr(char* buffer) { CopyOut(buffer, State().AddrFw.Addr3rdStr); }
GZR_API void GZR_GetA_Fw_Addr4thStr(char* buffer) { CopyOut(buffer, State().AddrFw.Addr4thStr); }
GZR_API void GZR_GetA_Fw_Addr5thStr(char* buffer) { CopyOut(buffer, State().AddrFw.Addr5thStr); }
GZR_API void GZR_GetA_Fw_Addr6thStr(char* buffer) { CopyOut(buffer, State().AddrFw.Addr6thStr); }
GZR_API void GZR_GetA_Fw_Yomi2ndStr(char* buffer) { CopyOut(buffer, State().AddrFw.Yomi2ndStr); }
GZR_API void GZR_GetA_Fw_Yomi3rdStr(char* buffer) { CopyOut(buffer, State().AddrFw.Yomi3rdStr); }
GZR_API void GZR_GetA_Fw_Yomi4thStr(char* buffer) { CopyOut(buffer, State().AddrFw.Yomi4thStr); }
GZR_API int GZR_GetA_Fw_Lat(void) { return State().AddrFw.Lat; }
GZR_API int GZR_GetA_Fw_Lon(void) { return State().AddrFw.Lon; }
GZR_API void GZR_GetA_Fw_GJis(char* buffer) { CopyOut(buffer, State().AddrFw.GJis); }
GZR_API int GZR_GetA_Fw_Status(void) { return State().AddrFw.Status; }
GZR_API int GZR_GetA_Fw_Fuyo(void) { return RecordFuyo(State().AddrFw, State().FuyoFromCode); }

// ---- Getters of the facility record ----

GZR_API void GZR_GetS_NameStr(char* buffer) { CopyOut(buffer, State().Shisetsu.NameStr); }
GZR_API void GZR_GetS_YomiStr(char* buffer) { CopyOut(buffer, State().Shisetsu.YomiStr); }
GZR_API int GZR_GetS_Lat(void) { return State().Shisetsu.Lat; }
GZR_API int GZR_GetS_Lon(void) { return State().Shisetsu.Lon; }
GZR_API void GZR_GetS_AddrStr(char* buffer) { CopyOut(buffer, State().Shisetsu.AddrStr); }
GZR_API void GZR_GetS_Addr2ndStr(char* buffer) { CopyOut(buffer, State().Shisetsu.Addr2ndStr); }
GZR_API void GZR_GetS_GJis(char* buffer) { CopyOut(buffer, State().Shisetsu.GJis); }
GZR_API void GZR_GetS_strBunruiLStr(char* buffer) {
  CopyOut(buffer, State().Shisetsu.strBunruiLStr);
}
GZR_API void GZR_GetS_strBunruiMStr(char* buffer) {
  CopyOut(buffer, State().Shisetsu.strBunruiMStr);
}
GZR_API void GZR_GetS_strBunruiSStr(char* buffer) {
  CopyOut(buffer, State().Shisetsu.strBunruiSStr);
}
GZR_API int GZR_GetS_Distance(void) { return State().Shisetsu.Distance; }

// ---- Sorts (the totals stay: sorting does not change a count) ----

GZR_API int GZR_StringArray_Sort_CSV_J(int field, char* message) {
  return SortCsvArray(&State().AddrResultArray, field, message);
}
GZR_API int GZR_StringArray_Sort_CSV_S(int field, char* message) {
  return SortCsvArray(&State().ShisetsuResultArray, field, message);
}
GZR_API int GZR_TXT_Sort_CSV(const char* fileName, int field, char* message) {
  return SortCsvFile(fileName, field, message);
}
