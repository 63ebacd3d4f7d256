#include "dashboard/DashboardScript.h"

namespace orvalt {

namespace {

// Mirrors ElapsedText in counting and in form.
constexpr std::string_view kScript = R"js("use strict";
(function () {
  var body = document.body;
  var lost = document.getElementById("connection");
  var away = document.getElementById("database-away");
  var replaced = document.getElementById("database-replaced");
  var skew = 0;
  var loading = false;
  var again = false;

  function two(n) {
    return (n < 10 ? "0" : "") + n;
  }

  function elapsedText(ms) {
    var s = Math.max(0, Math.floor(ms / 1000));
    var m = Math.floor(s / 60);
    var h = Math.floor(m / 60);
    var d = Math.floor(h / 24);
    if (d > 0) {
      return d + " d " + (h % 24) + " h";
    }
    if (h > 0) {
      return h + " h " + two(m % 60) + " min";
    }
    if (m > 0) {
      return m + " min";
    }
    return s + " s";
  }

  // "UTC", "UTC+1", "UTC-3:30": the viewer's zone at that moment.
  function zoneOf(when) {
    var east = -when.getTimezoneOffset();
    if (east === 0) {
      return "UTC";
    }
    var size = Math.abs(east);
    return "UTC" + (east > 0 ? "+" : "-") + Math.floor(size / 60) +
      (size % 60 ? ":" + two(size % 60) : "");
  }

  function sameDay(a, b) {
    return a.getFullYear() === b.getFullYear() && a.getMonth() === b.getMonth() &&
      a.getDate() === b.getDate();
  }

  // The short form gives the date only when it is not today.
  function shownTime(element, when) {
    if (element.getAttribute("data-form") !== "clock") {
      return when.toLocaleString() + " " + zoneOf(when);
    }
    var clock = { hour: "2-digit", minute: "2-digit" };
    var text = sameDay(when, new Date(Date.now() + skew)) ?
      when.toLocaleTimeString([], clock) :
      when.toLocaleString([], { month: "short", day: "numeric", hour: "2-digit", minute: "2-digit" });
    return text + " " + zoneOf(when);
  }

  function tick() {
    var now = Date.now() + skew;
    var counting = document.querySelectorAll("[data-since]");
    for (var i = 0; i < counting.length; i++) {
      var since = Date.parse(counting[i].getAttribute("data-since"));
      if (!isNaN(since)) {
        counting[i].textContent = elapsedText(now - since);
      }
    }
  }

  function localTimes() {
    var times = document.querySelectorAll("time[datetime]");
    for (var i = 0; i < times.length; i++) {
      var when = new Date(times[i].getAttribute("datetime"));
      if (!isNaN(when.getTime())) {
        if (!times[i].title) {
          times[i].title = times[i].textContent;
        }
        times[i].textContent = shownTime(times[i], when);
      }
    }
  }

  // The server's clock, not this one, says how long things have gone on.
  function settle() {
    var stamped = document.querySelector("#page [data-now]");
    if (stamped) {
      var now = Date.parse(stamped.getAttribute("data-now"));
      if (!isNaN(now)) {
        skew = now - Date.now();
      }
    }
    localTimes();
    tick();
  }

  // The query is kept as it is written: a serial's bytes that are not
  // UTF-8 would not survive being parsed and written again.
  function partUrl() {
    var query = window.location.search;
    return window.location.pathname + (query ? query + "&" : "?") + "part=main";
  }

  function refresh() {
    if (loading) {
      again = true;
      return;
    }
    loading = true;
    fetch(partUrl(), { cache: "no-store", credentials: "same-origin" })
      .then(function (response) {
        if (!response.ok) {
          throw new Error("HTTP " + response.status);
        }
        var generation = response.headers.get("X-Generation");
        return response.text().then(function (html) {
          document.getElementById("page").innerHTML = html;
          if (generation !== null) {
            body.setAttribute("data-generation", generation);
          }
          settle();
        });
      })
      .catch(function () {})
      .then(function () {
        loading = false;
        if (again) {
          again = false;
          refresh();
        }
      });
  }

  function connect() {
    var source = new EventSource("/events");
    source.onopen = function () {
      if (!lost.hidden) {
        lost.hidden = true;
        refresh();
      }
    };
    source.onerror = function () {
      lost.hidden = false;
      // Refused (too many pages open) rather than cut: ask again later.
      if (source.readyState === EventSource.CLOSED) {
        source.close();
        window.setTimeout(connect, 5000);
      }
    };
    source.addEventListener("change", function (event) {
      if (event.data !== body.getAttribute("data-generation")) {
        refresh();
      }
    });
    source.addEventListener("database", function (event) {
      away.hidden = event.data !== "away";
    });
    source.addEventListener("replaced", function (event) {
      var when = replaced.querySelector("time");
      if (when.getAttribute("datetime") !== event.data) {
        when.setAttribute("datetime", event.data);
        // The server's own words, as the page it renders holds them.
        when.textContent = event.data.slice(0, 10) + " " + event.data.slice(11, 19) + " UTC";
        when.title = "";
        localTimes();
      }
      replaced.hidden = false;
    });
  }

  settle();
  window.setInterval(tick, 1000);
  connect();
})();
)js";

}  // namespace

std::string_view DashboardScript() {
    return kScript;
}

}  // namespace orvalt
