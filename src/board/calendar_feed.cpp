// The calendar feed of the board (board_data.h), made by libical: a file
// of its own, so that a program that never makes the feed (the board
// window) does not load the library.
#include <libical/ical.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>

#include "board/board_data.h"
#include "storage/dates.h"
#include "text/fixed_width.h"

namespace egresso {

CalendarZone LocalCalendarZone() {
  auto fromPath = [](std::string_view path) {
    const std::size_t at = path.find("zoneinfo/");
    return at == std::string_view::npos ? std::string() : std::string(path.substr(at + 9));
  };
  if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0') {
    std::string_view name = tz;
    if (name.front() == ':') name.remove_prefix(1);
    if (name.front() == '/') return {fromPath(name)};
    // "CET-1CEST,M3.5.0,M10.5.0/3" is a rule, not a name: UTC it is.
    if (name.find_first_of(",0123456789") != std::string_view::npos && name.find('/') == std::string_view::npos)
      return {};
    return {std::string(name)};
  }
  std::error_code ec;
  const std::filesystem::path link = std::filesystem::read_symlink("/etc/localtime", ec);
  if (!ec) return {fromPath(link.string())};
  std::ifstream f("/etc/timezone");
  std::string name;
  std::getline(f, name);
  return {TrimText(name)};
}

std::string CalendarStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[24];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  return text;
}

namespace {

struct IcalFree {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, IcalFree>;

// A local wall time of this computer as UTC, for a zone the library does
// not know.
icaltimetype LocalAsUtc(int day, int hhmm) {
  const CalendarDate d = SplitDay(day);
  std::tm local{};
  local.tm_year = d.year - 1900;
  local.tm_mon = d.month - 1;
  local.tm_mday = d.day;
  local.tm_hour = hhmm / 100;
  local.tm_min = hhmm % 100;
  local.tm_isdst = -1;
  const std::time_t t = std::mktime(&local);
  return icaltime_from_timet_with_zone(t, 0, icaltimezone_get_utc_timezone());
}

class FeedTime {
 public:
  explicit FeedTime(const CalendarZone& zone)
      : zone_(zone.name.empty() ? nullptr : icaltimezone_get_builtin_timezone(zone.name.c_str())) {
    // UTC has no location to name it by: its times are written as UTC.
    if (zone_ != nullptr && (zone_ == icaltimezone_get_utc_timezone() || icaltimezone_get_location(zone_) == nullptr))
      zone_ = nullptr;
  }
  icaltimezone* zone() const { return zone_; }
  std::string tzid() const { return zone_ != nullptr ? icaltimezone_get_location(zone_) : ""; }

  // A DTSTART or DTEND property at the day and time.
  icalproperty* property(bool start, int day, int hhmm) const {
    icaltimetype t;
    if (zone_ == nullptr) {
      t = LocalAsUtc(day, hhmm);
    } else {
      const CalendarDate d = SplitDay(day);
      t = icaltime_null_time();
      t.year = d.year;
      t.month = d.month;
      t.day = d.day;
      t.hour = hhmm / 100;
      t.minute = hhmm % 100;
      t = icaltime_set_timezone(&t, zone_);
    }
    icalproperty* p = start ? icalproperty_new_dtstart(t) : icalproperty_new_dtend(t);
    if (zone_ != nullptr) icalproperty_add_parameter(p, icalparameter_new_tzid(tzid().c_str()));
    return p;
  }

 private:
  icaltimezone* zone_;
};

// Minutes since day 1 of a day and time, for comparing a start and an end.
long Minutes(int day, int hhmm) { return static_cast<long>(day) * 1440 + (hhmm / 100) * 60 + hhmm % 100; }

}  // namespace

std::string CalendarFeed(const BoardSnapshot& s, bool withProtected, const CalendarZone& zone, std::string_view stamp) {
  Component cal(icalcomponent_new_vcalendar());
  icalcomponent_add_property(cal.get(), icalproperty_new_version("2.0"));
  icalcomponent_add_property(cal.get(), icalproperty_new_prodid("-//Egresso//In-out board//EN"));
  icalcomponent_add_property(cal.get(), icalproperty_new_method(ICAL_METHOD_PUBLISH));
  icalproperty* name = icalproperty_new_x("In/out board");
  icalproperty_set_x_name(name, "X-WR-CALNAME");
  icalcomponent_add_property(cal.get(), name);

  const FeedTime times(zone);
  if (times.zone() != nullptr) {
    // The library's own definition of the zone, named as calendars name it.
    icalcomponent* vtz = icalcomponent_new_clone(icaltimezone_get_component(times.zone()));
    if (icalproperty* id = icalcomponent_get_first_property(vtz, ICAL_TZID_PROPERTY))
      icalproperty_set_tzid(id, times.tzid().c_str());
    icalcomponent_add_component(cal.get(), vtz);
  }
  const std::string stampText(stamp);
  const icaltimetype dtstamp = icaltime_from_string(stampText.c_str());

  for (const BoardEntry& e : s.entries) {
    if (!e.out || (e.passwordProtected && !withProtected)) continue;
    if (e.returnDay == 0 && e.returnTime < 0) continue;
    const int startDay = e.changedDay != 0 ? e.changedDay : s.day;
    const int startTime = e.changedTime >= 0 ? e.changedTime : 0;
    int endDay, endTime;
    if (e.returnTime >= 0) {
      endDay = e.returnDay != 0 ? e.returnDay : startDay;
      endTime = e.returnTime;
    } else {
      // Back on that day, time not said: away for the whole of it.
      endDay = e.returnDay + 1;
      endTime = 0;
    }
    if (Minutes(endDay, endTime) < Minutes(startDay, startTime)) {
      endDay = startDay;
      endTime = startTime;
    }
    icalcomponent* ev = icalcomponent_new_vevent();
    const std::string uid = e.initials + "-" + IsoDateTime(startDay, startTime) + "@egresso";
    icalcomponent_add_property(ev, icalproperty_new_uid(uid.c_str()));
    icalcomponent_add_property(ev, icalproperty_new_dtstamp(dtstamp));
    icalcomponent_add_property(ev, times.property(true, startDay, startTime));
    icalcomponent_add_property(ev, times.property(false, endDay, endTime));
    // A calendar's text holds no control characters; a planted one would
    // make the whole feed unreadable to a strict reader.
    std::string summary = e.name + ": " + e.destination;
    std::replace_if(summary.begin(), summary.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
    // Nor C1 controls (U+0080..U+009F), which a terminal showing the feed
    // would obey.
    for (std::size_t i = 0; i + 1 < summary.size(); ++i)
      if (summary[i] == '\xC2' && static_cast<unsigned char>(summary[i + 1]) <= 0x9F &&
          static_cast<unsigned char>(summary[i + 1]) >= 0x80)
        summary.replace(i, 2, " ");
    icalcomponent_add_property(ev, icalproperty_new_summary(summary.c_str()));
    if (!e.changedBy.empty()) {
      const std::string description = "Signed out by " + e.changedBy;
      icalcomponent_add_property(ev, icalproperty_new_description(description.c_str()));
    }
    icalcomponent_add_property(ev, icalproperty_new_transp(ICAL_TRANSP_OPAQUE));
    icalcomponent_add_component(cal.get(), ev);
  }
  char* text = icalcomponent_as_ical_string_r(cal.get());
  std::string out = text != nullptr ? text : "";
  std::free(text);
  return out;
}

}  // namespace egresso
