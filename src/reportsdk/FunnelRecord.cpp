#include "reportsdk/FunnelRecord.h"

#include <memory>

#include "JsonText.h"

namespace reportsdk {
namespace {

Json::Value ParseObject(const std::string& text) {
  Json::Value value;
  if (!ParseJsonText(text, &value) || !value.isObject()) return Json::Value(Json::objectValue);
  return value;
}

// A member of an object, or def when absent (or when value is no object).
Json::Value MemberOr(const Json::Value& value, const char* name, const Json::Value& def) {
  if (!value.isObject() || !value.isMember(name)) return def;
  return value[name];
}

bool AllDigits(const std::string& text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string TextMember(const Json::Value& value, const char* name) {
  if (!value.isObject()) return std::string();
  const Json::Value& member = value[name];
  return member.isString() ? member.asString() : std::string();
}

Json::Value BuildCommon(const Json::Value& input, const CommonFields& common) {
  Json::Value out(Json::objectValue);
  out["uid"] = common.uid;
  out["user_id"] = common.userId;
  out["session_id"] = common.sessionId;
  out["pid"] = static_cast<Json::Int64>(common.type == 2 ? common.mainPid : common.parentPid);
  out["brand"] = common.boardMaker;
  out["model"] = common.boardProduct;
  out["channel"] = MemberOr(input, "channel", "");
  out["is_new"] = MemberOr(input, "is_new", 0);
  out["mac"] = common.mac;
  out["os"] = common.osName;
  out["os_version"] = common.osVersion;
  out["product"] = common.product;
  out["product_version"] = common.productVersion;
  out["email"] = common.email;
  out["phone"] = common.phone;
  out["is_vip"] = MemberOr(input, "is_vip", Json::Value());
  out["is_login"] = MemberOr(input, "is_login", Json::Value());
  out["cross_end_id"] = common.crossId;
  out["rnclid"] = common.crossId;
  out["source_type"] = common.type == 1 ? "product" : common.type == 2 ? "downloader" : "";
  out["tools_version"] = common.toolsVersion;
  out["tools_lang"] = common.toolsLanguage;
  out["kit_type"] = common.kitType;
  out["downloader_id"] = common.downloaderId;
  if (!common.extraCommon.empty()) {
    const Json::Value extra = ParseObject(common.extraCommon);
    for (const std::string& name : extra.getMemberNames()) out[name] = extra[name];
  }
  return out;
}

Json::Value BuildMonitor(const Json::Value& input) {
  Json::Value monitor(Json::objectValue);
  monitor["monitor_type"] = input["monitor_type"];
  monitor["guid"] = MemberOr(input, "monitor_guid", "");
  Json::Value param(Json::objectValue);
  param["start_time"] = MemberOr(input, "monitor_start_time", "");
  param["error_time"] = MemberOr(input, "monitor_error_time", "");
  param["line_id"] = MemberOr(input, "monitor_line_id", "");
  param["error_code"] = MemberOr(input, "monitor_error_code", "");
  param["total_memory"] = MemberOr(input, "monitor_total_memory", "");
  param["remain_memory"] = MemberOr(input, "monitor_remain_memory", "");
  Json::Value ext(Json::objectValue);
  ext["parent_pid"] = MemberOr(input, "monitor_main_pid", "");
  ext["pid"] = MemberOr(input, "monitor_sub_pid", "");
  ext["ext_others"] = MemberOr(input, "monitor_ext1", "");
  param["ext"] = ext;
  param["user_ext"] = MemberOr(input, "monitor_user_ext", Json::Value());
  monitor["param"] = param;
  return monitor;
}

}  // namespace

Json::Value BuildFunnelRecord(const std::string& inputJson, const CommonFields& common,
                              int64_t timestampMs) {
  const Json::Value input = ParseObject(inputJson);
  Json::Value record(Json::objectValue);
  record["common"] = BuildCommon(input, common);
  if (input.isMember("entry")) {
    Json::Value start(Json::objectValue);
    start["entry"] = input["entry"];
    record["start"] = start;
  }
  record["actions"] = MemberOr(input, "actions", Json::Value());
  if (input.isMember("monitor_type")) record["monitor"] = BuildMonitor(input);
  record["ts"] = static_cast<Json::Int64>(timestampMs);
  return record;
}

std::string ActionMember(const Json::Value& record, const char* name) {
  return TextMember(record["actions"], name);
}

int ValidateFunnelRecord(const Json::Value& record) {
  const Json::Value& common = record["common"];
  if (TextMember(common, "session_id").empty()) return 157;
  if (TextMember(common, "uid").empty()) return 158;
  const Json::Value& pid = common["pid"];
  if (!pid.isInt64() || pid.asInt64() <= 1000) return 159;
  if (TextMember(common, "product_version").empty()) return 160;
  const std::string rnclid = TextMember(common, "rnclid");
  if (!rnclid.empty() && rnclid.size() <= 17) return 161;
  if (rnclid.size() > 17 && !AllDigits(rnclid)) return 162;
  if (ActionMember(record, "event_category").empty()) return 163;
  if (ActionMember(record, "event_action").empty()) return 164;
  const Json::Value& ts = record["ts"];
  const std::string tsText = ts.isIntegral() ? std::to_string(ts.asInt64()) : std::string();
  if (tsText.size() <= 12) return 165;
  if (!AllDigits(tsText)) return 166;
  return 0;
}

std::string StyledText(const Json::Value& value) { return value.toStyledString(); }

std::string PercentEncodeTail(const std::string& tail) {
  static const char kHex[] = "0123456789abcdef";
  std::string encoded;
  encoded.reserve(tail.size() * 3);
  for (unsigned char c : tail) {
    const bool kept = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                      std::string("-_.!~&=*'()").find(static_cast<char>(c)) != std::string::npos;
    if (kept && c != 0) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0x0F];
    }
  }
  return encoded;
}

std::string TextBetween(const std::string& text, const std::string& start, const std::string& end) {
  const size_t from = text.find(start);
  if (from == std::string::npos) return std::string();
  const size_t begin = from + start.size();
  const size_t to = text.find(end, begin);
  if (to == std::string::npos) return std::string();
  return text.substr(begin, to - begin);
}

std::string Ga4ClientId(const std::string& volumeSerial, const std::string& mac) {
  std::string id = volumeSerial;
  for (char c : mac) {
    if (c != ':') id += c;
  }
  return id;
}

}  // namespace reportsdk
