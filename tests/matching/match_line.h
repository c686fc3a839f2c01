#pragma once
// One address text matched as a kort job of kind 3000 matches it, through
// the buffer entry: "code|line|message" ("code|line" without the message).

#include <cstdio>
#include <string>

#include "common/message.h"
#include "matching/match_entries.h"

namespace matchtest {

inline std::string MatchLine(const std::string& folder, const std::string& address,
                             bool withMessage = true) {
  char buffer[4096] = "";
  char message[kMessageSize] = "";
  char text[600];
  std::snprintf(text, sizeof text, "%s", address.c_str());
  const int r = MatchAddressesToBuffer(buffer, sizeof buffer, text, 0, 1, folder.c_str(), message,
                                       0, 1, 1, 1, 1, 1, 1, "VRG_EXTEND");
  return std::to_string(r) + "|" + buffer + (withMessage ? "|" + std::string(message) : "");
}

}  // namespace matchtest
