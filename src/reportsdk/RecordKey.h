// Record keys of the report SDK: "1::" (GA4 event) or "2::" (funnel record),
// the moment the record was made in milliseconds (13 digits), "::", the event
// category, "::" and the event action. Pure functions; any thread.
#pragma once
#include <cstdint>
#include <string>

namespace reportsdk {

// Milliseconds of the local wall-clock time read as if it were UTC (the
// local date and time through mktime with the daylight-saving flag 0).
int64_t LocalTimestampMs();

std::string MakeRecordKey(int kind, int64_t timestampMs, const std::string& category,
                          const std::string& action);

struct ParsedKey {
  std::string prefix;  // "1::" or "2::" (the first three characters)
  int64_t timestampMs = 0;
  std::string rest;  // the text after the timestamp: "::category::action"
};
// Splits a key; a key without digits after its prefix reads timestamp 0.
ParsedKey ParseRecordKey(const std::string& key);

}  // namespace reportsdk
