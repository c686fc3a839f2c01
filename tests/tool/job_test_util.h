#pragma once
// Job files for the kort tests: plain jobs and their scrambled "VRF" form.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace korttest {

// The lines, each followed by CR LF.
inline std::string Job(std::initializer_list<std::string_view> lines) {
  std::string job;
  for (std::string_view line : lines) (job += line) += "\r\n";
  return job;
}

// The scrambled form of a plain job, built from its byte layout: "VRF" CR
// LF, three bytes whose sum sets the filler length F = sum % 3 + 2, F
// filler bytes, the plain bytes with the byte pairs (i, half + i) of every
// even i below half exchanged and then each byte complemented, and a check
// byte: the sum of all bytes before it, modulo 255.
inline std::string Scramble(std::string_view plain, unsigned char b5 = 0, unsigned char b6 = 0,
                            unsigned char b7 = 0, char fill = '\0') {
  std::string body(plain);
  const std::size_t half = body.size() / 2;
  for (std::size_t i = 0; i < half; i += 2) std::swap(body[i], body[half + i]);
  for (char& c : body) c = static_cast<char>(~static_cast<unsigned char>(c));
  std::string out = "VRF\r\n";
  out += {static_cast<char>(b5), static_cast<char>(b6), static_cast<char>(b7)};
  out.append((b5 + b6 + b7) % 3 + 2, fill);
  out += body;
  uint32_t sum = 0;
  for (unsigned char c : out) sum += c;
  out += static_cast<char>(sum % 255);
  return out;
}

}  // namespace korttest
