// Building and checking the report SDK's records. Pure functions; any thread.
#pragma once
#include <json/json.h>

#include <cstdint>
#include <string>

#include "reportsdk/CManagement.h"

namespace reportsdk {

// The funnel record sent to the analytics collector, from the event
// logger's JSON text (input that does not parse counts as an empty object),
// the SDK's common fields and the timestamp.
Json::Value BuildFunnelRecord(const std::string& inputJson, const CommonFields& common,
                              int64_t timestampMs);
// 0 when the record may be sent, else its code 157 to 166.
int ValidateFunnelRecord(const Json::Value& record);
// "actions"."event_category" / "event_action" as text ("" when absent or not text).
std::string ActionMember(const Json::Value& record, const char* name);
std::string StyledText(const Json::Value& value);

// GA4: the query tail percent-encoded byte by byte (digits, letters and
// "-_.!~&=*'()" kept, others "%xx" lower-case).
std::string PercentEncodeTail(const std::string& tail);
// The text between two markers of the encoded tail; "" when either is missing.
std::string TextBetween(const std::string& text, const std::string& start, const std::string& end);
// The client id: volume serial text followed by the MAC address without ":".
std::string Ga4ClientId(const std::string& volumeSerial, const std::string& mac);

}  // namespace reportsdk
