#include "platform/linux/ecal/IcalValues.h"
#include "platform/linux/ecal/StoreCall.h"

#include <cctype>
#include <cstdio>
#include <ctime>

namespace icalValues {

namespace {

std::optional<int> number(std::string_view text, std::size_t at, std::size_t width) {
  if (at + width > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = at; i < at + width; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

TimePoint fromTimeT(std::time_t seconds) { return std::chrono::system_clock::from_time_t(seconds); }

std::time_t toTimeT(TimePoint when) {
  return std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(when));
}

std::tm partsOf(const Stamp& stamp) {
  std::tm parts{};
  parts.tm_year = stamp.year - 1900;
  parts.tm_mon = stamp.month - 1;
  parts.tm_mday = stamp.day;
  parts.tm_hour = stamp.dateOnly ? 0 : stamp.hour;
  parts.tm_min = stamp.dateOnly ? 0 : stamp.minute;
  parts.tm_sec = stamp.dateOnly ? 0 : stamp.second;
  parts.tm_isdst = -1;
  return parts;
}

Stamp stampOfParts(const std::tm& parts, bool dateOnly) {
  Stamp stamp;
  stamp.year = parts.tm_year + 1900;
  stamp.month = parts.tm_mon + 1;
  stamp.day = parts.tm_mday;
  stamp.dateOnly = dateOnly;
  if (!dateOnly) {
    stamp.hour = parts.tm_hour;
    stamp.minute = parts.tm_min;
    stamp.second = parts.tm_sec;
  }
  return stamp;
}

ICalTimezone* zoneNamed(const std::string& tzid, const ZoneSource& zones) {
  if (tzid.empty()) return nullptr;
  ICalTimezone* zone = nullptr;
  if (zones.client) {
    zone = e_timezone_cache_get_timezone(E_TIMEZONE_CACHE(zones.client), tzid.c_str());
  }
  if (!zone && zones.client) {
    GError* error = nullptr;
    zone = bounded(zones.limit, &error, [&](GCancellable* cancellable) {
      return e_cal_client_tzlookup_cb(tzid.c_str(), zones.client, cancellable, &error);
    });
    GErrorPtr owned(error);
  }
  if (!zone) zone = i_cal_timezone_get_builtin_timezone(tzid.c_str());
  if (!zone) zone = i_cal_timezone_get_builtin_timezone_from_tzid(tzid.c_str());
  return zone;
}

}  // namespace

std::optional<Stamp> parseStamp(std::string_view value) {
  Stamp stamp;
  auto year = number(value, 0, 4);
  auto month = number(value, 4, 2);
  auto day = number(value, 6, 2);
  if (!year || !month || !day) return std::nullopt;
  stamp.year = *year;
  stamp.month = *month;
  stamp.day = *day;
  if (value.size() == 8) {
    stamp.dateOnly = true;
    return stamp;
  }
  if (value.size() < 15 || value[8] != 'T') return std::nullopt;
  auto hour = number(value, 9, 2);
  auto minute = number(value, 11, 2);
  auto second = number(value, 13, 2);
  if (!hour || !minute || !second) return std::nullopt;
  stamp.hour = *hour;
  stamp.minute = *minute;
  stamp.second = *second;
  if (value.size() == 16 && value[15] == 'Z') {
    stamp.utc = true;
  } else if (value.size() != 15) {
    return std::nullopt;
  }
  return stamp;
}

std::optional<Stamp> stampOf(ICalProperty* property) {
  if (!property) return std::nullopt;
  GCharPtr value(i_cal_property_get_value_as_string(property));
  if (!value) return std::nullopt;
  auto stamp = parseStamp(value.get());
  if (stamp && !stamp->utc && !stamp->dateOnly) stamp->tzid = parameter(property, "TZID");
  return stamp;
}

std::optional<TimePoint> momentOf(const Stamp& stamp, const ZoneSource& zones) {
  if (stamp.utc) {
    std::tm parts = partsOf(stamp);
    return fromTimeT(timegm(&parts));
  }
  if (ICalTimezone* zone = zoneNamed(stamp.tzid, zones)) {
    GObjectPtr<ICalTime> time(i_cal_time_new_null_time());
    i_cal_time_set_date(time.get(), stamp.year, stamp.month, stamp.day);
    i_cal_time_set_time(time.get(), stamp.hour, stamp.minute, stamp.second);
    return fromTimeT(i_cal_time_as_timet_with_zone(time.get(), zone));
  }
  std::tm parts = partsOf(stamp);
  std::time_t seconds = std::mktime(&parts);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return fromTimeT(seconds);
}

Stamp stampIn(TimePoint when, const Stamp& form, const ZoneSource& zones) {
  std::time_t seconds = toTimeT(when);
  std::tm parts{};
  if (!form.dateOnly && (form.utc || !form.tzid.empty())) {
    if (ICalTimezone* zone = form.utc ? nullptr : zoneNamed(form.tzid, zones)) {
      GObjectPtr<ICalTime> time(i_cal_time_new_from_timet_with_zone(seconds, 0, zone));
      Stamp stamp = stampOfTime(time.get());
      stamp.tzid = form.tzid;
      return stamp;
    }
    gmtime_r(&seconds, &parts);
    Stamp stamp = stampOfParts(parts, false);
    stamp.utc = true;
    return stamp;
  }
  localtime_r(&seconds, &parts);
  return stampOfParts(parts, form.dateOnly);
}

Stamp stampOfTime(ICalTime* time) {
  Stamp stamp;
  stamp.year = i_cal_time_get_year(time);
  stamp.month = i_cal_time_get_month(time);
  stamp.day = i_cal_time_get_day(time);
  stamp.dateOnly = i_cal_time_is_date(time);
  if (!stamp.dateOnly) {
    stamp.hour = i_cal_time_get_hour(time);
    stamp.minute = i_cal_time_get_minute(time);
    stamp.second = i_cal_time_get_second(time);
  }
  return stamp;
}

std::string valueText(const Stamp& stamp) {
  char text[32];
  if (stamp.dateOnly) {
    std::snprintf(text, sizeof text, "%04d%02d%02d", stamp.year, stamp.month, stamp.day);
  } else {
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d%s", stamp.year, stamp.month,
                  stamp.day, stamp.hour, stamp.minute, stamp.second, stamp.utc ? "Z" : "");
  }
  return text;
}

std::string propertyLine(const char* name, const Stamp& stamp) {
  std::string line = name;
  if (stamp.dateOnly) {
    line += ";VALUE=DATE";
  } else if (!stamp.tzid.empty()) {
    bool quote = stamp.tzid.find_first_of(":;,") != std::string::npos;
    line += ";TZID=" + (quote ? "\"" + stamp.tzid + "\"" : stamp.tzid);
  }
  return line + ":" + valueText(stamp);
}

std::optional<std::chrono::seconds> parseDuration(std::string_view text) {
  std::size_t at = 0;
  long long sign = 1;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    sign = text[at] == '-' ? -1 : 1;
    ++at;
  }
  if (at >= text.size() || text[at] != 'P') return std::nullopt;
  ++at;
  long long total = 0;
  bool inTime = false;
  bool any = false;
  while (at < text.size()) {
    if (text[at] == 'T') {
      inTime = true;
      ++at;
      continue;
    }
    long long value = 0;
    std::size_t digits = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && digits < 12) {
      value = value * 10 + (text[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0 || at >= text.size()) return std::nullopt;
    char unit = text[at++];
    if (unit == 'W' && !inTime) {
      total += value * 7 * 86400;
    } else if (unit == 'D' && !inTime) {
      total += value * 86400;
    } else if (unit == 'H' && inTime) {
      total += value * 3600;
    } else if (unit == 'M' && inTime) {
      total += value * 60;
    } else if (unit == 'S' && inTime) {
      total += value;
    } else {
      return std::nullopt;
    }
    any = true;
  }
  if (!any) return std::nullopt;
  return std::chrono::seconds(sign * total);
}

std::string durationText(std::chrono::seconds duration) {
  long long total = duration.count();
  std::string text = total < 0 ? "-P" : "P";
  if (total < 0) total = -total;
  long long days = total / 86400;
  long long rest = total % 86400;
  if (days > 0) text += std::to_string(days) + "D";
  if (rest > 0 || days == 0) {
    text += "T";
    long long hours = rest / 3600;
    long long minutes = rest % 3600 / 60;
    long long seconds = rest % 60;
    if (hours > 0) text += std::to_string(hours) + "H";
    if (minutes > 0) text += std::to_string(minutes) + "M";
    if (seconds > 0 || rest == 0) text += std::to_string(seconds) + "S";
  }
  return text;
}

std::string parameter(ICalProperty* property, const char* name) {
  GCharPtr value(i_cal_property_get_parameter_as_string(property, name));
  return value ? std::string(value.get()) : std::string();
}

GObjectPtr<ICalProperty> firstProperty(ICalComponent* component, ICalPropertyKind kind) {
  return GObjectPtr<ICalProperty>(i_cal_component_get_first_property(component, kind));
}

void removeAll(ICalComponent* component, ICalPropertyKind kind) {
  while (auto property = firstProperty(component, kind)) {
    i_cal_component_remove_property(component, property.get());
  }
}

bool addLine(ICalComponent* component, const std::string& line) {
  GObjectPtr<ICalProperty> property(i_cal_property_new_from_string(line.c_str()));
  if (!property) return false;
  i_cal_component_take_property(component, property.release());
  return true;
}

}  // namespace icalValues
