#include "web/board_page.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace orvel::web {
namespace {

using measure::Quantity;

// Two decimals with a comma, as the window shows values.
std::string Decimal(double v, int decimals = 2) {
  char buf[48];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  std::string s(buf, r.ptr);
  std::replace(s.begin(), s.end(), '.', ',');
  return s;
}

std::string Stamp(core::DateTime t) {
  if (t <= 0.0) return "—";
  const core::CivilTime c = core::DecodeDateTime(t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", c.day, c.month, c.year, c.hour,
                c.minute, c.second);
  return buf;
}

const char* QuantityWords(Quantity q) {
  switch (q) {
    case Quantity::Temperature:
      return "температура";
    case Quantity::Humidity:
      return "влажность";
    case Quantity::Pressure:
      return "давление";
    case Quantity::PressureSensorTemperature:
      return "температура датчика давления";
  }
  return "";
}

const char* StateClass(measure::ReadState s) {
  switch (s) {
    case measure::ReadState::Fresh:
      return "fresh";
    case measure::ReadState::NotReadYet:
      return "waiting";
    case measure::ReadState::Gone:
      return "gone";
    default:
      return "failed";
  }
}

std::string Values(const board::BoardRow& row) {
  std::string out;
  for (const board::BoardValue& v : row.values) {
    out += std::string("<div class=\"") + (v.current ? "value" : "value stale") + "\" title=\"" +
           QuantityWords(v.quantity) + (v.current ? "" : ", устаревшее") + "\">" +
           Decimal(v.value) + " " + measure::QuantityUnit(v.quantity) + "</div>";
  }
  return out.empty() ? "—" : out;
}

constexpr int kPlotWidth = 420;
constexpr int kPlotHeight = 110;
constexpr int kMargin = 6;

std::string Plot(const board::BoardRow& row, Quantity q,
                 const std::vector<board::HistoryPoint>& points) {
  auto [lo, hi] = std::minmax_element(
      points.begin(), points.end(), [](const auto& a, const auto& b) { return a.value < b.value; });
  double vmin = lo->value, vmax = hi->value;
  if (vmax - vmin < 1e-9) {
    vmin -= 0.5;
    vmax += 0.5;
  }
  const double t0 = points.front().time;
  double span = points.back().time - t0;
  if (span <= 0.0) span = 1.0;
  std::string coords;
  for (const board::HistoryPoint& p : points) {
    const double x = kMargin + (p.time - t0) / span * (kPlotWidth - 2 * kMargin);
    const double y = kMargin + (vmax - p.value) / (vmax - vmin) * (kPlotHeight - 2 * kMargin);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%d,%d ", static_cast<int>(x + 0.5), static_cast<int>(y + 0.5));
    coords += buf;
  }
  if (!coords.empty()) coords.pop_back();
  const char* unit = measure::QuantityUnit(q);
  std::string svg = "<figure><figcaption>" + std::string(QuantityWords(q)) + ", " + unit + ": от " +
                    Decimal(lo->value) + " до " + Decimal(hi->value) + " (" +
                    std::to_string(points.size()) + " показ., " + Stamp(points.front().time) +
                    " — " + Stamp(points.back().time) + ")</figcaption>";
  svg += "<svg class=\"plot\" data-rom=\"" + row.device.romText + "\" data-quantity=\"" +
         measure::QuantityName(q) + "\" width=\"" + std::to_string(kPlotWidth) + "\" height=\"" +
         std::to_string(kPlotHeight) + "\" viewBox=\"0 0 " + std::to_string(kPlotWidth) + " " +
         std::to_string(kPlotHeight) + "\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\">";
  svg += "<rect x=\"0\" y=\"0\" width=\"100%\" height=\"100%\" fill=\"#fafafa\" stroke=\"#ccc\"/>";
  svg +=
      "<polyline fill=\"none\" stroke=\"#1565c0\" stroke-width=\"1.5\" points=\"" + coords + "\"/>";
  svg += "</svg></figure>";
  return svg;
}

}  // namespace

std::string HtmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string BoardPage(const std::string& station, const std::vector<board::BoardRow>& rows,
                      const board::RecentHistory& history, int refreshSeconds) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"ru\"><head><meta charset=\"utf-8\">"
      "<meta http-equiv=\"refresh\" content=\"" +
      std::to_string(refreshSeconds) + "\"><title>Orvel-viewer: " + HtmlEscape(station) +
      "</title><style>"
      "body{font-family:sans-serif;margin:1em;color:#222}"
      "table{border-collapse:collapse}td,th{border:1px solid #bbb;padding:3px 8px;"
      "vertical-align:top;text-align:left}th{background:#eee}"
      ".rom{font-family:monospace}.value{font-size:1.2em;white-space:nowrap}.stale{color:#999;"
      "text-decoration:line-through}.fresh{color:#1b5e20}.failed{color:#b71c1c}"
      ".gone{color:#777}.waiting{color:#555}figure{display:inline-block;margin:4px 12px 4px 0}"
      "figcaption{font-size:.85em}section{display:inline-block;vertical-align:top;margin:1em 1em 0 "
      "0}"
      "h2{font-size:1.1em;margin:0}"
      "</style></head><body>\n<h1>Датчики станции " +
      HtmlEscape(station) +
      "</h1>\n<table id=\"board\"><thead><tr><th>Название</th><th>Тип</th>"
      "<th>ROM (код программы / порядок шины)</th><th>Показания</th>"
      "<th>Последнее свежее показание</th><th>Состояние</th></tr></thead><tbody>\n";
  for (const board::BoardRow& row : rows) {
    html += "<tr class=\"sensor\" data-rom=\"" + row.device.romText + "\"><td class=\"name\">" +
            HtmlEscape(row.name) + "</td><td>" + HtmlEscape(row.kind) + "</td><td class=\"rom\">" +
            row.device.romText + "<br>" + row.familyFirst + "</td><td>" + Values(row) +
            "</td><td>" + Stamp(row.lastFresh) + "</td><td class=\"state " + StateClass(row.state) +
            "\">" + board::StateWords(row.state) +
            (row.reason.empty() ? std::string() : " (" + HtmlEscape(row.reason) + ")") +
            "</td></tr>\n";
  }
  html += "</tbody></table>\n";
  for (const board::BoardRow& row : rows) {
    std::string plots;
    for (const board::BoardValue& v : row.values) {
      const auto points = history.Series(row.device.rom, v.quantity);
      if (!points.empty()) plots += Plot(row, v.quantity, points);
    }
    if (plots.empty()) continue;
    html +=
        "<section class=\"plots\" data-rom=\"" + row.device.romText + "\"><h2>" +
        HtmlEscape(row.name.empty() ? row.device.romText : row.name + " — " + row.device.romText) +
        "</h2>" + plots + "</section>\n";
  }
  html += "<p>Страница обновляется каждые " + std::to_string(refreshSeconds) +
          " с.</p></body></html>\n";
  return html;
}

}  // namespace orvel::web
