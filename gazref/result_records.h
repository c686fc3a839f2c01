#pragma once
// The three row records of the library (an address row in short and in full
// form, a facility row), filled from a row of a result array, and the field
// cutter and number reader they use.
//
// Rows are CSV lines, fields joined by "," and never quoted. Field numbers
// below count from 1.

#include <cstdint>
#include <string>
#include <vector>

using CStringArray = std::vector<std::string>;

// Field k + 1 of the text (k counted from 0): k times the text after its
// first "," (nothing is cut when no "," is left), then the text before the
// first remaining ",". So a row with fewer fields yields its last field, and
// quotes stay as they are.
std::string GetCsvField(const std::string& text, int32_t k);

// The decimal value at the head of a field, as the run-time library's atol
// reads it (leading blanks, a sign, digits; 0 when there is no number),
// saturated at the 32-bit limits: an 11-digit code gives INT32_MAX.
int32_t ReadFieldNumber(const std::string& field);

// AddrRecord: fields 1 name, 2 reading, 3 latitude, 4 longitude, 5 code.
struct AddrRecord {
  std::string AddrStr;
  std::string YomiStr;
  int32_t Lat = 0;
  int32_t Lon = 0;
  std::string GJis;
};

// AddrFwRecord, the full-form row: level names 1, 2, 4, 6, 8, 9, readings 3,
// 5, 7, latitude 10, longitude 11, code 12, status 13, a final number 14.
struct AddrFwRecord {
  std::string AddrStr;
  std::string Addr2ndStr;
  std::string Addr3rdStr;
  std::string Addr4thStr;
  std::string Addr5thStr;
  std::string Addr6thStr;
  std::string Yomi2ndStr;
  std::string Yomi3rdStr;
  std::string Yomi4thStr;
  int32_t Lat = 0;
  int32_t Lon = 0;
  std::string GJis;
  int32_t Status = 0;
  int32_t Fuyo = 0;
};

// ShisetsuRecord, the facility row: name 1, reading 2, latitude 3,
// longitude 4, address 5, second address 6, code 7, the three categories 8,
// 9, 10, distance 11.
struct ShisetsuRecord {
  std::string NameStr;
  std::string YomiStr;
  int32_t Lat = 0;
  int32_t Lon = 0;
  std::string AddrStr;
  std::string Addr2ndStr;
  std::string GJis;
  std::string strBunruiLStr;
  std::string strBunruiMStr;
  std::string strBunruiSStr;
  int32_t Distance = 0;
};

// Fill a record from row `row` (from 0) of the array. A row outside
// 0..total-1 loads nothing: the text members keep their values and the
// number members become 0. total is the caller's count, never more than
// the array holds.
void LoadAddrRecord(AddrRecord* record, const CStringArray& rows, int32_t total, int32_t row);
void LoadAddrFwRecord(AddrFwRecord* record, const CStringArray& rows, int32_t total, int32_t row);
void LoadShisetsuRecord(ShisetsuRecord* record, const CStringArray& rows, int32_t total,
                        int32_t row);

// The final number of a full-form row: with fuyoFromCode 1 the value at the
// head of the code text (ReadFieldNumber), else the Fuyo member.
int32_t RecordFuyo(const AddrFwRecord& record, int32_t fuyoFromCode);
