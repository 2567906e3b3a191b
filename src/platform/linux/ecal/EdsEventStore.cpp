#include "platform/linux/ecal/EdsEventStore.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <filesystem>

#include "platform/linux/ecal/EventComponents.h"
#include "platform/linux/ecal/IcalValues.h"
#include "platform/linux/ecal/StoreCall.h"
#include "platform/linux/ecal/TaskComponents.h"

namespace {

using icalValues::Stamp;
using TimePoint = EventStore::TimePoint;

// Calendars are opened without waiting for a remote account to come online: they answer from
// what they hold (a wait here costs its full length even for local calendars).
constexpr int CONNECT_WAIT_SECONDS = -1;

constexpr const char* SINGLE = "single";      // an event that does not repeat
constexpr const char* INSTANCE = "instance";  // one occurrence of a repeating event
constexpr const char* DETACHED = "detached";  // an occurrence changed on its own

[[noreturn]] void throwError(GError* error, const char* fallback) {
  GErrorPtr owned(error);
  throw EventStoreError(error && error->message ? error->message : fallback);
}

using Limit = std::chrono::milliseconds;
using icalValues::ZoneSource;

std::string text(const gchar* value) { return value ? std::string(value) : std::string(); }

std::string lower(std::string value) {
  std::transform(value.begin(), value.end(), value.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return value;
}

// The system's zone by name: $TZ, /etc/timezone, or where /etc/localtime points.
ICalTimezone* localZone() {
  std::string name;
  if (const char* tz = std::getenv("TZ"); tz && *tz) {
    name = tz[0] == ':' ? tz + 1 : tz;
  } else if (std::ifstream file("/etc/timezone"); file) {
    std::getline(file, name);
  } else {
    std::error_code error;
    auto target = std::filesystem::read_symlink("/etc/localtime", error).string();
    auto at = target.find("zoneinfo/");
    if (at != std::string::npos) name = target.substr(at + 9);
  }
  ICalTimezone* zone = name.empty() ? nullptr : i_cal_timezone_get_builtin_timezone(name.c_str());
  return zone ? zone : i_cal_timezone_get_utc_timezone();
}

std::string utcValue(TimePoint when) {
  Stamp utc;
  utc.utc = true;
  return icalValues::valueText(icalValues::stampIn(when, utc, {}));
}

bool hasRecurrenceId(ICalComponent* component) {
  return static_cast<bool>(icalValues::firstProperty(component, I_CAL_RECURRENCEID_PROPERTY));
}

std::string recurrenceIdOf(ICalComponent* component) {
  auto property = icalValues::firstProperty(component, I_CAL_RECURRENCEID_PROPERTY);
  if (!property) return "";
  GCharPtr value(i_cal_property_get_value_as_string(property.get()));
  return value ? value.get() : "";
}

// Start, end and all-day flag of a component as written in it.
struct Span {
  TimePoint start;
  TimePoint end;
  bool allDay = false;
};

std::optional<Span> spanOf(ICalComponent* component, const ZoneSource& zones) {
  auto startProperty = icalValues::firstProperty(component, I_CAL_DTSTART_PROPERTY);
  auto startStamp = startProperty ? icalValues::stampOf(startProperty.get()) : std::nullopt;
  if (!startStamp) return std::nullopt;
  auto start = icalValues::momentOf(*startStamp, zones);
  if (!start) return std::nullopt;
  Span span{*start, *start, startStamp->dateOnly};
  if (auto endProperty = icalValues::firstProperty(component, I_CAL_DTEND_PROPERTY)) {
    if (auto endStamp = icalValues::stampOf(endProperty.get())) {
      span.end = icalValues::momentOf(*endStamp, zones).value_or(*start);
    }
  } else if (auto duration = icalValues::firstProperty(component, I_CAL_DURATION_PROPERTY)) {
    GCharPtr value(i_cal_property_get_value_as_string(duration.get()));
    span.end = *start + icalValues::parseDuration(value ? value.get() : "").value_or(std::chrono::seconds{0});
  } else if (span.allDay) {
    span.end = *start + std::chrono::hours(24);
  }
  return span;
}

bool overlaps(const Span& span, TimePoint from, TimePoint to) {
  if (span.start == span.end) return span.start >= from && span.start < to;
  return span.start < to && span.end > from;
}

TimePoint momentOfInstance(ICalTime* time) {
  ICalTimezone* zone = i_cal_time_get_timezone(time);
  if (!i_cal_time_is_date(time) && (zone || i_cal_time_is_utc(time))) {
    return std::chrono::system_clock::from_time_t(
        i_cal_time_as_timet_with_zone(time, zone ? zone : i_cal_timezone_get_utc_timezone()));
  }
  // Days and floating times are the user's local time.
  return icalValues::momentOf(icalValues::stampOfTime(time), {}).value_or(TimePoint{});
}

struct Instance {
  TimePoint start;
  TimePoint end;
  std::string recurrenceId;
};

gboolean collectInstance(ICalComponent*, ICalTime* start, ICalTime* end, gpointer data,
                         GCancellable*, GError**) {
  try {
    GCharPtr rid(i_cal_time_as_ical_string(start));
    static_cast<std::vector<Instance>*>(data)->push_back(
        {momentOfInstance(start), momentOfInstance(end), rid ? rid.get() : ""});
  } catch (...) {
    return FALSE;
  }
  return TRUE;
}

// The component of `uid` with that recurrence id ("" for the master) out of what the store
// returned: the component itself, or one of a calendar holding the master and its exceptions.
GObjectPtr<ICalComponent> pick(ICalComponent* returned, const std::string& recurrenceId) {
  if (i_cal_component_isa(returned) != I_CAL_VCALENDAR_COMPONENT) {
    return GObjectPtr<ICalComponent>(i_cal_component_clone(returned));
  }
  for (GObjectPtr<ICalComponent> inner(i_cal_component_get_first_component(returned, I_CAL_ANY_COMPONENT));
       inner; inner.reset(i_cal_component_get_next_component(returned, I_CAL_ANY_COMPONENT))) {
    auto kind = i_cal_component_isa(inner.get());
    if (kind != I_CAL_VEVENT_COMPONENT && kind != I_CAL_VTODO_COMPONENT) continue;
    if (recurrenceIdOf(inner.get()) == recurrenceId) {
      return GObjectPtr<ICalComponent>(i_cal_component_clone(inner.get()));
    }
  }
  return nullptr;
}

// The object with that uid and recurrence id; nothing when the store has no such object.
GObjectPtr<ICalComponent> fetch(ECalClient* client, const std::string& uid,
                                const std::string& recurrenceId, Limit limit) {
  ICalComponent* returned = nullptr;
  GError* error = nullptr;
  if (!bounded(limit, &error, [&](GCancellable* cancellable) {
        return e_cal_client_get_object_sync(client, uid.c_str(),
                                            recurrenceId.empty() ? nullptr : recurrenceId.c_str(),
                                            &returned, cancellable, &error);
      })) {
    if (g_error_matches(error, E_CAL_CLIENT_ERROR, E_CAL_CLIENT_ERROR_OBJECT_NOT_FOUND)) {
      g_error_free(error);
      return nullptr;
    }
    throwError(error, "The calendar object could not be read.");
  }
  GObjectPtr<ICalComponent> owned(returned);
  return pick(owned.get(), recurrenceId);
}

std::string kindOfBackend(const std::string& backend) {
  if (backend == "local") return "local";
  if (backend == "caldav" || backend == "webdav") return "calDAV";
  if (backend == "ews" || backend == "exchange" || backend == "mapi" ||
      backend == "exchange-mapi" || backend == "microsoft365") {
    return "exchange";
  }
  return "other";
}

std::string backendOf(ESource* source, const char* extension) {
  if (!e_source_has_extension(source, extension)) return "";
  auto* backend = static_cast<ESourceBackend*>(e_source_get_extension(source, extension));
  return text(e_source_backend_get_backend_name(backend));
}

}  // namespace

ESourceRegistry* EdsEventStore::registry() {
  if (!registry_) {
    GError* error = nullptr;
    ESourceRegistry* made = bounded(callLimit_, &error, [&](GCancellable* cancellable) {
      return e_source_registry_new_sync(cancellable, &error);
    });
    if (!made) throwError(error, "The calendar store can't be reached.");
    registry_.reset(made);
  }
  return registry_.get();
}

void EdsEventStore::limitCalls(std::chrono::milliseconds limit) { callLimit_ = limit; }

ZoneSource EdsEventStore::zonesOf(ECalClient* client) const { return {client, callLimit_}; }

bool EdsEventStore::reachable() {
  if (!reachable_) {
    try {
      registry();
      reachable_ = true;
    } catch (const EventStoreError&) {
      reachable_ = false;
    }
  }
  return *reachable_;
}

GObjectPtr<ESource> EdsEventStore::source(const std::string& uid) {
  return GObjectPtr<ESource>(e_source_registry_ref_source(registry(), uid.c_str()));
}

ECalClient* EdsEventStore::client(const std::string& sourceUid, ECalClientSourceType type) {
  std::string key = sourceUid + (type == E_CAL_CLIENT_SOURCE_TYPE_TASKS ? "#tasks" : "#events");
  auto found = clients_.find(key);
  if (found != clients_.end()) return found->second.get();
  auto calendar = source(sourceUid);
  if (!calendar) throw EventStoreError("That calendar is no longer there.");
  GError* error = nullptr;
  EClient* connected = bounded(callLimit_, &error, [&](GCancellable* cancellable) {
    return e_cal_client_connect_sync(calendar.get(), type, CONNECT_WAIT_SECONDS, cancellable, &error);
  });
  if (!connected) throwError(error, "The calendar could not be opened.");
  GObjectPtr<ECalClient> made(E_CAL_CLIENT(connected));
  e_cal_client_set_default_timezone(made.get(), localZone());
  return clients_.emplace(key, std::move(made)).first->second.get();
}

bool EdsEventStore::calendarWritable(const std::string& calendarId) {
  auto found = writable_.find(calendarId);
  if (found != writable_.end()) return found->second;
  bool writable = false;
  try {
    auto calendar = source(calendarId);
    writable = calendar && e_source_get_writable(calendar.get()) &&
               !e_client_is_readonly(E_CLIENT(client(calendarId, E_CAL_CLIENT_SOURCE_TYPE_EVENTS)));
  } catch (const EventStoreError&) {
    writable = false;
  }
  writable_[calendarId] = writable;
  return writable;
}

StoreCalendar EdsEventStore::calendarOf(ESource* calendar, const char* extension,
                                        ECalClientSourceType type) {
  StoreCalendar result;
  result.id = text(e_source_get_uid(calendar));
  result.title = text(e_source_get_display_name(calendar));
  if (const gchar* parent = e_source_get_parent(calendar)) {
    if (auto account = source(parent)) {
      result.accountId = parent;
      result.accountTitle = text(e_source_get_display_name(account.get()));
    }
  }
  if (e_source_has_extension(calendar, extension)) {
    auto* selectable = static_cast<ESourceSelectable*>(e_source_get_extension(calendar, extension));
    GCharPtr color(e_source_selectable_dup_color(selectable));
    result.color = color ? color.get() : "";
  }
  if (type == E_CAL_CLIENT_SOURCE_TYPE_EVENTS) {
    result.writable = calendarWritable(result.id);
  } else {
    result.writable = e_source_get_writable(calendar);
  }
  return result;
}

std::vector<StoreCalendar> EdsEventStore::calendarsWith(const char* extension,
                                                        ECalClientSourceType type,
                                                        bool enabledOnly) {
  ESourceRegistry* sources = registry();
  GList* raw = e_source_registry_list_sources(sources, extension);
  GObjectList owned(g_list_sort(raw, reinterpret_cast<GCompareFunc>(e_source_compare_by_display_name)));
  std::vector<StoreCalendar> calendars;
  for (GList* item = owned.get(); item; item = item->next) {
    auto* calendar = static_cast<ESource*>(item->data);
    if (enabledOnly && !e_source_registry_check_enabled(sources, calendar)) continue;
    calendars.push_back(calendarOf(calendar, extension, type));
  }
  return calendars;
}

std::vector<StoreCalendar> EdsEventStore::eventCalendars() {
  return calendarsWith(E_SOURCE_EXTENSION_CALENDAR, E_CAL_CLIENT_SOURCE_TYPE_EVENTS, true);
}

std::optional<std::string> EdsEventStore::defaultEventCalendarId() {
  GObjectPtr<ESource> calendar(e_source_registry_ref_default_calendar(registry()));
  if (!calendar) return std::nullopt;
  return text(e_source_get_uid(calendar.get()));
}

const std::set<std::string>& EdsEventStore::ownAddresses(const std::string& sourceUid) {
  auto found = ownAddresses_.find(sourceUid);
  if (found != ownAddresses_.end()) return found->second;
  std::set<std::string> addresses;
  ECalClient* calendar = client(sourceUid, E_CAL_CLIENT_SOURCE_TYPE_EVENTS);
  gchar* value = nullptr;
  if (bounded(callLimit_, nullptr, [&](GCancellable* cancellable) {
        return e_client_get_backend_property_sync(
            E_CLIENT(calendar), E_CAL_BACKEND_PROPERTY_CAL_EMAIL_ADDRESS, &value, cancellable, nullptr);
      })) {
    GCharPtr owned(value);
    std::string address = lower(text(value));
    if (address.rfind("mailto:", 0) == 0) address = address.substr(7);
    if (!address.empty()) addresses.insert(address);
  }
  GObjectList identities(e_source_registry_list_sources(registry(), E_SOURCE_EXTENSION_MAIL_IDENTITY));
  for (GList* item = identities.get(); item; item = item->next) {
    auto* identity = static_cast<ESourceMailIdentity*>(
        e_source_get_extension(static_cast<ESource*>(item->data), E_SOURCE_EXTENSION_MAIL_IDENTITY));
    GCharPtr address(e_source_mail_identity_dup_address(identity));
    if (address && *address.get()) addresses.insert(lower(address.get()));
    if (GHashTable* aliases = e_source_mail_identity_get_aliases_as_hash_table(identity)) {
      GHashTableIter iter;
      gpointer alias = nullptr;
      g_hash_table_iter_init(&iter, aliases);
      while (g_hash_table_iter_next(&iter, &alias, nullptr)) {
        addresses.insert(lower(static_cast<const char*>(alias)));
      }
      g_hash_table_unref(aliases);
    }
  }
  return ownAddresses_.emplace(sourceUid, std::move(addresses)).first->second;
}

CalendarEvent EdsEventStore::eventOf(ICalComponent* component, const std::string& calendarId,
                                     TimePoint start, TimePoint end, bool allDay,
                                     const std::string& kind, const std::string& recurrenceId) {
  CalendarEvent event;
  std::string uid = text(i_cal_component_get_uid(component));
  event.id = kind == DETACHED && !uid.empty() ? uid + "/RID=" + recurrenceId : uid;
  event.calendarId = calendarId;
  event.start = start;
  event.end = end;
  event.allDay = allDay;
  eventComponents::readDetails(component, ownAddresses(calendarId), event);
  event.calendarWritable = calendarWritable(calendarId);
  event.storeKey = nlohmann::json{{"calendar", calendarId}, {"uid", uid}, {"rid", recurrenceId},
                                  {"kind", kind}}
                       .dump();
  return event;
}

void EdsEventStore::expand(const std::string& calendarId, TimePoint from, TimePoint to,
                           std::vector<CalendarEvent>& out) {
  ECalClient* calendar = client(calendarId, E_CAL_CLIENT_SOURCE_TYPE_EVENTS);
  // The store reads all-day and floating times in a zone of its own, so it is asked a day
  // wider on each side and the answer is cut to the window here. Repeating events always come
  // back: their exceptions may have moved into the window from far away.
  std::string query = "(or (has-recurrences?) (occur-in-time-range? (make-time \"" +
                      utcValue(from - std::chrono::hours(24)) + "\") (make-time \"" +
                      utcValue(to + std::chrono::hours(24)) + "\")))";
  GSList* returned = nullptr;
  GError* error = nullptr;
  if (!bounded(callLimit_, &error, [&](GCancellable* cancellable) {
        return e_cal_client_get_object_list_sync(calendar, query.c_str(), &returned, cancellable,
                                                 &error);
      })) {
    throwError(error, "The calendar could not be read.");
  }
  GObjectSList components(returned);

  std::vector<std::string> repeating;
  for (GSList* item = components.get(); item; item = item->next) {
    auto* component = static_cast<ICalComponent*>(item->data);
    std::string uid = text(i_cal_component_get_uid(component));
    if (hasRecurrenceId(component) || e_cal_util_component_has_recurrences(component)) {
      if (std::find(repeating.begin(), repeating.end(), uid) == repeating.end()) {
        repeating.push_back(uid);
      }
      continue;
    }
    if (auto span = spanOf(component, zonesOf(calendar)); span && overlaps(*span, from, to)) {
      out.push_back(eventOf(component, calendarId, span->start, span->end, span->allDay, SINGLE, ""));
    }
  }

  Stamp utc;
  utc.utc = true;
  for (const auto& uid : repeating) {
    GSList* all = nullptr;
    if (!bounded(callLimit_, &error, [&](GCancellable* cancellable) {
          return e_cal_client_get_objects_for_uid_sync(calendar, uid.c_str(), &all, cancellable,
                                                       &error);
        })) {
      throwError(error, "The calendar could not be read.");
    }
    GObjectSList objects(all);
    ICalComponent* master = nullptr;
    std::vector<TimePoint> moved;
    // The calendar date of each RECURRENCE-ID as written ("YYYYMMDD"): an all-day series matches
    // its changed occurrences by date, since some calendars write a time in a zone of their own
    // there (midnight in the organiser's zone is another moment than the user's midnight).
    std::vector<std::string> movedDays;
    for (GSList* item = objects.get(); item; item = item->next) {
      ICalComponent* component =
          e_cal_component_get_icalcomponent(static_cast<ECalComponent*>(item->data));
      if (!hasRecurrenceId(component)) {
        master = component;
        continue;
      }
      auto ridProperty = icalValues::firstProperty(component, I_CAL_RECURRENCEID_PROPERTY);
      if (auto rid = icalValues::stampOf(ridProperty.get())) {
        if (auto moment = icalValues::momentOf(*rid, zonesOf(calendar))) moved.push_back(*moment);
        movedDays.push_back(icalValues::valueText(*rid).substr(0, 8));
      }
      auto span = spanOf(component, zonesOf(calendar));
      if (span && overlaps(*span, from, to)) {
        out.push_back(eventOf(component, calendarId, span->start, span->end, span->allDay, DETACHED,
                              recurrenceIdOf(component)));
      }
    }
    if (!master) continue;
    std::vector<Instance> instances;
    // Widened like the query: the expansion may place days in another zone than the user's;
    // the occurrences are cut to the window below.
    GObjectPtr<ICalTime> windowStart(
        i_cal_time_new_from_string(utcValue(from - std::chrono::hours(24)).c_str()));
    GObjectPtr<ICalTime> windowEnd(
        i_cal_time_new_from_string(utcValue(to + std::chrono::hours(24)).c_str()));
    if (!bounded(callLimit_, &error, [&](GCancellable* cancellable) {
          return e_cal_recur_generate_instances_sync(
              master, windowStart.get(), windowEnd.get(), collectInstance, &instances,
              e_cal_client_tzlookup_cb, calendar, localZone(), cancellable, &error);
        })) {
      throwError(error, "The repeating event could not be expanded.");
    }
    bool allDay = spanOf(master, zonesOf(calendar)).value_or(Span{}).allDay;
    for (const auto& instance : instances) {
      std::string day = instance.recurrenceId.substr(0, 8);
      bool replaced = allDay ? std::find(movedDays.begin(), movedDays.end(), day) != movedDays.end()
                             : std::find(moved.begin(), moved.end(), instance.start) != moved.end();
      if (replaced) continue;
      if (!overlaps(Span{instance.start, instance.end, allDay}, from, to)) continue;
      out.push_back(eventOf(master, calendarId, instance.start, instance.end, allDay, INSTANCE,
                            instance.recurrenceId));
    }
  }
}

std::vector<CalendarEvent> EdsEventStore::events(TimePoint from, TimePoint to,
                                                 const std::vector<std::string>& calendarIds) {
  std::vector<std::string> ids = calendarIds;
  if (ids.empty()) {
    for (const auto& calendar : eventCalendars()) ids.push_back(calendar.id);
  }
  std::vector<CalendarEvent> found;
  for (const auto& id : ids) {
    try {
      client(id, E_CAL_CLIENT_SOURCE_TYPE_EVENTS);
    } catch (const EventStoreError&) {
      continue;  // a calendar that cannot be opened now (an account offline) shows nothing
    }
    std::vector<CalendarEvent> ofCalendar;
    expand(id, from, to, ofCalendar);
    std::stable_sort(ofCalendar.begin(), ofCalendar.end(),
                     [](const CalendarEvent& a, const CalendarEvent& b) { return a.start < b.start; });
    found.insert(found.end(), ofCalendar.begin(), ofCalendar.end());
  }
  return found;
}

CalendarEvent EdsEventStore::addEvent(const NewEvent& event) {
  ECalClient* calendar = client(event.calendarId, E_CAL_CLIENT_SOURCE_TYPE_EVENTS);
  GObjectPtr<ICalComponent> component(eventComponents::newComponent(event));
  gchar* uid = nullptr;
  GError* error = nullptr;
  if (!bounded(callLimit_, &error, [&](GCancellable* cancellable) {
        return e_cal_client_create_object_sync(calendar, component.get(),
                                               E_CAL_OPERATION_FLAG_NONE, &uid, cancellable, &error);
      })) {
    throwError(error, "The calendar refused the event.");
  }
  GCharPtr ownedUid(uid);
  auto stored = fetch(calendar, text(uid), "", callLimit_);
  ICalComponent* read = stored ? stored.get() : component.get();
  auto span = spanOf(read, zonesOf(calendar)).value_or(Span{event.start, event.end, event.allDay});
  return eventOf(read, event.calendarId, span.start, span.end, span.allDay, SINGLE, "");
}

void EdsEventStore::saveOccurrence(const CalendarEvent& event) {
  auto key = nlohmann::json::parse(event.storeKey);
  std::string calendarId = key.at("calendar");
  std::string uid = key.at("uid");
  std::string rid = key.at("rid");
  std::string kind = key.at("kind");
  ECalClient* calendar = client(calendarId, E_CAL_CLIENT_SOURCE_TYPE_EVENTS);

  GObjectPtr<ICalComponent> component = fetch(calendar, uid, kind == DETACHED ? rid : "", callLimit_);
  if (!component) throw EventStoreError("The event is no longer in the calendar.");
  if (kind == INSTANCE) {
    // Detach this occurrence: a copy of the master for the one date, without the repetition.
    Stamp form;
    if (auto start = icalValues::firstProperty(component.get(), I_CAL_DTSTART_PROPERTY)) {
      form = icalValues::stampOf(start.get()).value_or(Stamp{});
    }
    for (auto property : {I_CAL_RRULE_PROPERTY, I_CAL_RDATE_PROPERTY, I_CAL_EXRULE_PROPERTY,
                          I_CAL_EXDATE_PROPERTY, I_CAL_RECURRENCEID_PROPERTY}) {
      icalValues::removeAll(component.get(), property);
    }
    auto ridStamp = icalValues::parseStamp(rid);
    if (!ridStamp) throw EventStoreError("The occurrence could not be named.");
    if (!ridStamp->utc && !ridStamp->dateOnly) ridStamp->tzid = form.tzid;
    icalValues::addLine(component.get(), icalValues::propertyLine("RECURRENCE-ID", *ridStamp));
  }
  eventComponents::writeChanges(component.get(), event, zonesOf(calendar));
  GError* error = nullptr;
  if (!bounded(callLimit_, &error, [&](GCancellable* cancellable) {
        return e_cal_client_modify_object_sync(
            calendar, component.get(), kind == SINGLE ? E_CAL_OBJ_MOD_ALL : E_CAL_OBJ_MOD_THIS,
            E_CAL_OPERATION_FLAG_NONE, cancellable, &error);
      })) {
    throwError(error, "The calendar refused the change.");
  }
}

void EdsEventStore::removeOccurrence(const CalendarEvent& event) {
  auto key = nlohmann::json::parse(event.storeKey);
  std::string calendarId = key.at("calendar");
  std::string uid = key.at("uid");
  std::string rid = key.at("rid");
  bool single = key.at("kind") == SINGLE;
  ECalClient* calendar = client(calendarId, E_CAL_CLIENT_SOURCE_TYPE_EVENTS);
  GError* error = nullptr;
  if (!bounded(callLimit_, &error, [&](GCancellable* cancellable) {
        return e_cal_client_remove_object_sync(
            calendar, uid.c_str(), single ? nullptr : rid.c_str(),
            single ? E_CAL_OBJ_MOD_ALL : E_CAL_OBJ_MOD_THIS, E_CAL_OPERATION_FLAG_NONE, cancellable,
            &error);
      })) {
    throwError(error, "The calendar refused the removal.");
  }
}

std::vector<StoreAccount> EdsEventStore::accounts() {
  ESourceRegistry* sources = registry();
  std::set<std::string> parents{"local-stub"};
  for (const char* extension :
       {E_SOURCE_EXTENSION_CALENDAR, E_SOURCE_EXTENSION_TASK_LIST, E_SOURCE_EXTENSION_MEMO_LIST}) {
    GObjectList list(e_source_registry_list_sources(sources, extension));
    for (GList* item = list.get(); item; item = item->next) {
      if (const gchar* parent = e_source_get_parent(static_cast<ESource*>(item->data))) {
        parents.insert(parent);
      }
    }
  }
  GList* raw = e_source_registry_list_sources(sources, nullptr);
  GObjectList all(g_list_sort(raw, reinterpret_cast<GCompareFunc>(e_source_compare_by_display_name)));
  std::vector<StoreAccount> accounts;
  for (GList* item = all.get(); item; item = item->next) {
    auto* account = static_cast<ESource*>(item->data);
    std::string uid = text(e_source_get_uid(account));
    bool collection = e_source_has_extension(account, E_SOURCE_EXTENSION_COLLECTION);
    if (!collection && parents.count(uid) == 0) continue;
    if (!e_source_registry_check_enabled(sources, account)) continue;

    std::string backend = backendOf(account, E_SOURCE_EXTENSION_COLLECTION);
    if (backend.empty()) {
      for (GList* child = all.get(); child && backend.empty(); child = child->next) {
        auto* candidate = static_cast<ESource*>(child->data);
        if (text(e_source_get_parent(candidate)) != uid) continue;
        backend = backendOf(candidate, E_SOURCE_EXTENSION_TASK_LIST);
        if (backend.empty()) backend = backendOf(candidate, E_SOURCE_EXTENSION_CALENDAR);
      }
    }
    if (backend.empty() && uid == "local-stub") backend = "local";
    accounts.push_back({uid, kindOfBackend(backend), text(e_source_get_display_name(account))});
  }
  return accounts;
}

std::vector<StoreCalendar> EdsEventStore::reminderLists() {
  // Hidden lists count too: a "Vesk" list the user switched off in a to-do app is still the
  // app's list, not a reason to make another.
  return calendarsWith(E_SOURCE_EXTENSION_TASK_LIST, E_CAL_CLIENT_SOURCE_TYPE_TASKS, false);
}

std::optional<std::string> EdsEventStore::defaultReminderListId() {
  GObjectPtr<ESource> list(e_source_registry_ref_default_task_list(registry()));
  if (!list) return std::nullopt;
  return text(e_source_get_uid(list.get()));
}

StoreCalendar EdsEventStore::createReminderList(const std::string& accountId,
                                                const std::string& title) {
  auto account = source(accountId);
  if (!account) throw EventStoreError("That account is no longer there.");
  GError* error = nullptr;
  GObjectPtr<ESource> list(e_source_new(nullptr, nullptr, &error));
  if (!list) throwError(error, "A new list could not be made.");
  e_source_set_parent(list.get(), accountId.c_str());
  e_source_set_display_name(list.get(), title.c_str());

  std::string backend;
  GObjectList lists(e_source_registry_list_sources(registry(), E_SOURCE_EXTENSION_TASK_LIST));
  for (GList* item = lists.get(); item && backend.empty(); item = item->next) {
    auto* existing = static_cast<ESource*>(item->data);
    if (text(e_source_get_parent(existing)) == accountId) {
      backend = backendOf(existing, E_SOURCE_EXTENSION_TASK_LIST);
    }
  }
  if (backend.empty()) backend = backendOf(account.get(), E_SOURCE_EXTENSION_COLLECTION);
  if (backend.empty()) backend = "local";
  auto* extension = static_cast<ESourceBackend*>(
      e_source_get_extension(list.get(), E_SOURCE_EXTENSION_TASK_LIST));
  e_source_backend_set_backend_name(extension, backend.c_str());

  // Lists of server accounts are made on the server; local ones are committed to the registry.
  // Either way a refused list is never added, so nothing is left behind.
  bool remote = e_source_has_extension(account.get(), E_SOURCE_EXTENSION_COLLECTION) &&
                e_source_get_remote_creatable(account.get());
  ESourceRegistry* sources = registry();
  bool made = bounded(callLimit_, &error, [&](GCancellable* cancellable) {
    return remote ? e_source_remote_create_sync(account.get(), list.get(), cancellable, &error)
                  : e_source_registry_commit_source_sync(sources, list.get(), cancellable, &error);
  });
  if (!made) throwError(error, "The account refused the new list.");
  return calendarOf(list.get(), E_SOURCE_EXTENSION_TASK_LIST, E_CAL_CLIENT_SOURCE_TYPE_TASKS);
}

std::vector<Reminder> EdsEventStore::reminders(const std::string& listId) {
  ECalClient* list = client(listId, E_CAL_CLIENT_SOURCE_TYPE_TASKS);
  GSList* returned = nullptr;
  GError* error = nullptr;
  if (!bounded(callLimit_, &error, [&](GCancellable* cancellable) {
        return e_cal_client_get_object_list_sync(list, "#t", &returned, cancellable, &error);
      })) {
    throwError(error, "The list could not be read.");
  }
  GObjectSList components(returned);
  std::vector<Reminder> found;
  for (GSList* item = components.get(); item; item = item->next) {
    auto* component = static_cast<ICalComponent*>(item->data);
    if (i_cal_component_isa(component) != I_CAL_VTODO_COMPONENT || hasRecurrenceId(component)) {
      continue;
    }
    Reminder reminder = taskComponents::readReminder(component, zonesOf(list));
    reminder.listId = listId;
    found.push_back(std::move(reminder));
  }
  return found;
}

std::optional<Reminder> EdsEventStore::reminder(const std::string& listId, const std::string& id) {
  if (id.empty()) return std::nullopt;
  ECalClient* list = client(listId, E_CAL_CLIENT_SOURCE_TYPE_TASKS);
  auto component = fetch(list, id, "", callLimit_);
  if (!component || i_cal_component_isa(component.get()) != I_CAL_VTODO_COMPONENT) {
    return std::nullopt;
  }
  Reminder found = taskComponents::readReminder(component.get(), zonesOf(list));
  found.listId = listId;
  return found;
}

namespace {

std::string createTask(ECalClient* list, const Reminder& reminder, Limit limit) {
  GObjectPtr<ICalComponent> component(i_cal_component_new_vtodo());
  GCharPtr made(e_util_generate_uid());
  i_cal_component_set_uid(component.get(), made.get());
  taskComponents::writeReminder(component.get(), reminder);
  gchar* stored = nullptr;
  GError* error = nullptr;
  if (!bounded(limit, &error, [&](GCancellable* cancellable) {
        return e_cal_client_create_object_sync(list, component.get(), E_CAL_OPERATION_FLAG_NONE,
                                               &stored, cancellable, &error);
      })) {
    throwError(error, "The list refused the reminder.");
  }
  GCharPtr owned(stored);
  return stored ? stored : made.get();
}

bool isCompleted(ICalComponent* component) {
  if (icalValues::firstProperty(component, I_CAL_COMPLETED_PROPERTY)) return true;
  auto status = icalValues::firstProperty(component, I_CAL_STATUS_PROPERTY);
  return status && i_cal_property_get_status(status.get()) == I_CAL_STATUS_COMPLETED;
}

}  // namespace

Reminder EdsEventStore::saveReminder(const Reminder& reminder) {
  ECalClient* list = client(reminder.listId, E_CAL_CLIENT_SOURCE_TYPE_TASKS);
  if (e_client_is_readonly(E_CLIENT(list))) throw EventStoreError("The list is read-only.");
  std::string uid = reminder.id;
  if (uid.empty()) {
    uid = createTask(list, reminder, callLimit_);
  } else {
    GObjectPtr<ICalComponent> component(
        reminder.storeKey.empty() ? nullptr : i_cal_component_new_from_string(reminder.storeKey.c_str()));
    if (!component) component = fetch(list, uid, "", callLimit_);
    if (!component) throw EventStoreError("The reminder is no longer in the list.");

    // Completing a repeating reminder completes this occurrence: a done copy stays behind and
    // the reminder moves on to its next due date, open. The last occurrence simply completes.
    Reminder written = reminder;
    if (reminder.completed && !isCompleted(component.get()) && reminder.due) {
      if (auto moved = taskComponents::movedOn(reminder, localZone())) {
        Reminder done = reminder;
        done.id.clear();
        done.storeKey.clear();
        done.rules.clear();
        for (auto& alarm : done.alarms) alarm.storeKey.clear();
        createTask(list, done, callLimit_);
        written = *moved;
      }
    }
    taskComponents::writeReminder(component.get(), written);
    GError* error = nullptr;
    if (!bounded(callLimit_, &error, [&](GCancellable* cancellable) {
          return e_cal_client_modify_object_sync(list, component.get(), E_CAL_OBJ_MOD_ALL,
                                                 E_CAL_OPERATION_FLAG_NONE, cancellable, &error);
        })) {
      throwError(error, "The list refused the change.");
    }
  }
  auto saved = this->reminder(reminder.listId, uid);
  if (!saved) throw EventStoreError("The reminder is no longer in the list.");
  return *saved;
}

void EdsEventStore::removeReminder(const Reminder& reminder) {
  ECalClient* list = client(reminder.listId, E_CAL_CLIENT_SOURCE_TYPE_TASKS);
  if (e_client_is_readonly(E_CLIENT(list))) throw EventStoreError("The list is read-only.");
  GError* error = nullptr;
  if (!bounded(callLimit_, &error, [&](GCancellable* cancellable) {
        return e_cal_client_remove_object_sync(list, reminder.id.c_str(), nullptr, E_CAL_OBJ_MOD_ALL,
                                               E_CAL_OPERATION_FLAG_NONE, cancellable, &error);
      })) {
    throwError(error, "The list refused the removal.");
  }
}
