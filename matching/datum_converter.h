#pragma once
// Conversion of geographic coordinates between the Tokyo datum (the datum
// of every stored coordinate) and JGD2000.
//
// The primary method is a grid of shifts per second-order mesh (5 minutes
// of latitude by 7.5 minutes of longitude), read from the grid parameter
// file "TKY2JGD.PAR" and interpolated bilinearly. Where the grid lacks one
// of the four corners of a point's mesh, a three-parameter shift through
// geocentric coordinates takes its place.
//
// Parameter file: two header lines, then one line per mesh with three
// blank-separated fields: the six-digit mesh code, the latitude shift and
// the longitude shift (seconds of arc). A line that does not give three
// fields is skipped.
//
// All angles are degrees unless a name says radians; points are passed as
// (longitude, latitude). Operations answer 1 for success and 0 for
// failure; nothing throws.

#include <cstdint>

#include "common/element_array.h"

class CDatumConverter;

// Receives the converter after a message was put in its message buffer.
class CDatumMessageSink {
 public:
  virtual ~CDatumMessageSink() = default;
  virtual void OnDatumMessage(CDatumConverter* converter) = 0;
};

// One mesh of the grid: shifts in seconds of arc.
struct DatumGridEntry {
  int32_t meshCode;
  double latitudeShift;
  double longitudeShift;
};

// Ellipsoid numbers of the geocentric helpers.
inline constexpr int kEllipsoidBessel = 1;  // Tokyo datum
inline constexpr int kEllipsoidGrs80 = 2;   // JGD2000

inline constexpr double kDatumPi = 3.141592653589793;

class CDatumConverter {
 public:
  static constexpr int kMessageBufferSize = 1024;

  CDatumConverter();
  ~CDatumConverter();
  CDatumConverter(const CDatumConverter&) = delete;
  CDatumConverter& operator=(const CDatumConverter&) = delete;

  // Attaches a sink, or detaches with null. Without a sink no message is
  // kept.
  void SetMessageSink(CDatumMessageSink* sink) { sink_ = sink; }
  // The last message (ending in a line feed), as handed to the sink.
  const char* GetMessage() const { return message_; }

  // Replaces the grid by the file's entries, sorted by mesh code. A file of
  // header lines only gives an empty grid (every conversion then uses the
  // three parameters). Failure: the file does not open, or holds no line.
  int LoadGridParameters(const char* path);
  int32_t GetGridEntryCount() const { return grid_.GetCount(); }

  // method: 1 when the grid was used, 0 for the three-parameter shift.
  int TokyoToJgd(double longitude, double latitude, double* outLongitude, double* outLatitude,
                 int* outMethod);
  int JgdToTokyo(double longitude, double latitude, double* outLongitude, double* outLatitude,
                 int* outMethod);
  // Bilinear shifts (seconds) at a point; 1 only when all four mesh corners
  // are in the grid.
  int GridShift(double longitude, double latitude, double* outLongitudeShift,
                double* outLatitudeShift) const;

 private:
  const DatumGridEntry* FindEntry(int32_t meshCode) const;
  void Report(const char* format, ...) __attribute__((format(printf, 2, 3)));

  char message_[kMessageBufferSize];
  CDatumMessageSink* sink_ = nullptr;
  CElementArray grid_;
};

// Second-order mesh of a point with the position inside it.
struct MeshPosition {
  int32_t meshCode;
  int32_t eastCode;
  int32_t northCode;
  int32_t northEastCode;
  double fx;  // 0 <= fx < 1, from the west edge
  double fy;  // 0 <= fy < 1, from the south edge
};
// Fails only for a point whose mesh numbers leave the code's digits
// (latitude outside 0..66 degrees, longitude outside 100..199 degrees).
int GetMeshPosition(double longitude, double latitude, MeshPosition* out);

// ---- Angle helpers ----

double DegreesToRadians(double degrees);
double RadiansToDegrees(double radians);
// Whole degrees and minutes truncated toward zero (all three parts carry
// the sign of x); seconds below 1e-10 in magnitude become 0.
void SplitDegrees(double x, int32_t* degrees, int32_t* minutes, double* seconds);
double JoinDegrees(double degrees, double minutes, double seconds);
double JoinSeconds(double degrees, double minutes, double seconds);
double DegreesToSeconds(double degrees);
double SecondsToDegrees(double seconds);

// ---- Geocentric coordinates (radians, metres) ----

// ellipsoid kEllipsoidBessel or kEllipsoidGrs80; any other: 0.
int GeodeticToGeocentric(double longitude, double latitude, double height, int ellipsoid, double* x,
                         double* y, double* z);
// 0 for a point on the axis (distance 0 from it) or an unknown ellipsoid.
int GeocentricToGeodetic(double x, double y, double z, int ellipsoid, double* latitude,
                         double* longitude, double* height);
