#include "platform/linux/ecal/EventComponents.h"

#include <algorithm>
#include <cctype>

#include "platform/linux/ecal/IcalValues.h"

namespace eventComponents {

namespace {

using icalValues::Stamp;

std::string text(const gchar* value) { return value ? std::string(value) : std::string(); }

Participant::Status statusOf(const std::string& word) {
  if (word == "ACCEPTED") return Participant::Status::Accepted;
  if (word == "DECLINED") return Participant::Status::Declined;
  if (word == "TENTATIVE") return Participant::Status::Tentative;
  if (word.empty() || word == "NEEDS-ACTION") return Participant::Status::Pending;
  return Participant::Status::Other;
}

Participant participantOf(ICalProperty* property, const std::set<std::string>& ownAddresses) {
  Participant person;
  GCharPtr value(i_cal_property_get_value_as_string(property));
  person.url = value ? value.get() : "";
  person.name = icalValues::parameter(property, "CN");
  person.status = statusOf(icalValues::parameter(property, "PARTSTAT"));
  std::string address = mailAddress(person.url);
  person.isCurrentUser = !address.empty() && ownAddresses.count(address) > 0;
  return person;
}

void setText(ICalComponent* component, ICalPropertyKind kind, const std::string& value,
             void (*setter)(ICalComponent*, const gchar*)) {
  icalValues::removeAll(component, kind);
  if (!value.empty()) setter(component, value.c_str());
}

// Local days of an all-day event: the start's day, and the day after the last one it covers.
std::pair<Stamp, Stamp> allDayStamps(CalendarEvent::TimePoint start, CalendarEvent::TimePoint end) {
  Stamp dateForm;
  dateForm.dateOnly = true;
  Stamp first = icalValues::stampIn(start, dateForm, {});
  auto firstMoment = icalValues::momentOf(first, {}).value_or(start);
  auto lastMoment = std::max(end, firstMoment + std::chrono::hours(24));
  Stamp after = icalValues::stampIn(lastMoment, dateForm, {});
  if (icalValues::momentOf(after, {}).value_or(lastMoment) < lastMoment) {
    after = icalValues::stampIn(lastMoment + std::chrono::hours(24), dateForm, {});
  }
  return {first, after};
}

}  // namespace

std::string mailAddress(const std::string& url) {
  if (url.size() < 7) return "";
  std::string scheme = url.substr(0, 7);
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (scheme != "mailto:") return "";
  std::string address = url.substr(7);
  std::transform(address.begin(), address.end(), address.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return address;
}

void readDetails(ICalComponent* component, const std::set<std::string>& ownAddresses,
                 CalendarEvent& event) {
  event.title = text(i_cal_component_get_summary(component));
  event.location = text(i_cal_component_get_location(component));
  event.notes = text(i_cal_component_get_description(component));
  if (auto url = icalValues::firstProperty(component, I_CAL_URL_PROPERTY)) {
    event.url = text(i_cal_property_get_url(url.get()));
  }
  for (GObjectPtr<ICalProperty> property(
           i_cal_component_get_first_property(component, I_CAL_ATTENDEE_PROPERTY));
       property;
       property.reset(i_cal_component_get_next_property(component, I_CAL_ATTENDEE_PROPERTY))) {
    event.attendees.push_back(participantOf(property.get(), ownAddresses));
  }
  if (auto organizer = icalValues::firstProperty(component, I_CAL_ORGANIZER_PROPERTY)) {
    event.organizer = participantOf(organizer.get(), ownAddresses);
  }
}

void writeChanges(ICalComponent* component, const CalendarEvent& event,
                  const icalValues::ZoneSource& zones) {
  setText(component, I_CAL_SUMMARY_PROPERTY, event.title, i_cal_component_set_summary);
  setText(component, I_CAL_LOCATION_PROPERTY, event.location, i_cal_component_set_location);
  setText(component, I_CAL_DESCRIPTION_PROPERTY, event.notes, i_cal_component_set_description);

  Stamp form;
  if (auto start = icalValues::firstProperty(component, I_CAL_DTSTART_PROPERTY)) {
    form = icalValues::stampOf(start.get()).value_or(Stamp{});
  }
  Stamp startStamp;
  Stamp endStamp;
  if (form.dateOnly) {
    std::tie(startStamp, endStamp) = allDayStamps(event.start, event.end);
  } else {
    if (form.tzid.empty() && !form.utc) form.utc = true;
    startStamp = icalValues::stampIn(event.start, form, zones);
    endStamp = icalValues::stampIn(event.end, form, zones);
  }
  icalValues::removeAll(component, I_CAL_DTSTART_PROPERTY);
  icalValues::removeAll(component, I_CAL_DTEND_PROPERTY);
  icalValues::removeAll(component, I_CAL_DURATION_PROPERTY);
  icalValues::addLine(component, icalValues::propertyLine("DTSTART", startStamp));
  icalValues::addLine(component, icalValues::propertyLine("DTEND", endStamp));
}

ICalComponent* newComponent(const NewEvent& event) {
  ICalComponent* component = i_cal_component_new_vevent();
  GCharPtr uid(e_util_generate_uid());
  i_cal_component_set_uid(component, uid.get());
  i_cal_component_set_summary(component, event.title.c_str());
  if (!event.notes.empty()) i_cal_component_set_description(component, event.notes.c_str());
  if (!event.location.empty()) i_cal_component_set_location(component, event.location.c_str());
  Stamp startStamp;
  Stamp endStamp;
  if (event.allDay) {
    std::tie(startStamp, endStamp) = allDayStamps(event.start, event.end);
  } else {
    Stamp utc;
    utc.utc = true;
    startStamp = icalValues::stampIn(event.start, utc, {});
    endStamp = icalValues::stampIn(event.end, utc, {});
  }
  icalValues::addLine(component, icalValues::propertyLine("DTSTART", startStamp));
  icalValues::addLine(component, icalValues::propertyLine("DTEND", endStamp));
  return component;
}

}  // namespace eventComponents
