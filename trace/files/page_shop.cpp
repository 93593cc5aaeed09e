// The page's drawing of the shop, as it stood when the run ended, the player's controls, and the
// data the player draws every other moment from: the time of each line and the shop after it.

#include <string>
#include <vector>

#include "core/constants.h"
#include "trace/common/json_text.h"
#include "trace/common/micros.h"
#include "trace/common/utf8.h"
#include "trace/common/words.h"
#include "trace/files/html.h"
#include "trace/files/page.h"

namespace {

constexpr std::size_t kTokenChars = 10;

// The token of customer `who`: the page's bank holds one of each, the player copies them.
std::string token(const FinishedRun& run, int who) {
  const std::string name = customerName(run.record.roster, who);
  bool faulty = false;
  for (const Finding& finding : run.verdict.broken) {
    for (int each : finding.who) faulty = faulty || each == who;
  }
  if (!run.verdict.complete) {
    for (int each : run.verdict.unfinished) faulty = faulty || each == who;
  }
  return std::string("<span class=\"token") + (faulty ? " fault" : "") + "\" data-who=\"" +
         std::to_string(who) + "\" data-id=\"" +
         esc(run.record.roster[static_cast<std::size_t>(who)].id) + "\" title=\"" + esc(name) +
         "\">" + esc(shortened(name, kTokenChars)) + "</span>";
}

std::string tokens(const FinishedRun& run, const std::vector<int>& who) {
  std::string out;
  for (int each : who) out += token(run, each);
  return out;
}

// The IDs as a JSON list, as the drawing's data-queue carries them.
std::string idList(const FinishedRun& run, const std::vector<int>& who) {
  Json list = Json::array();
  for (int each : who)
    list.push_back(visible(run.record.roster[static_cast<std::size_t>(each)].id));
  return oneLine(list);
}

std::string seats(const FinishedRun& run, const ShopFrame& frame) {
  // The chairs wrap to as many rows as whole names need, so the style needs no count of them.
  std::string out = "<ol class=\"seats\" aria-label=\"The waiting chairs, the front first\">";
  const std::size_t count = std::max<std::size_t>(WAIT_CHAIRS, frame.queue.size());
  for (std::size_t seat = 0; seat < count; ++seat) {
    out += "<li class=\"seat" + std::string(seat >= WAIT_CHAIRS ? " extra" : "") +
           "\" data-seat=\"" + std::to_string(seat + 1) + "\"><span class=\"seat-name\">" +
           std::to_string(seat + 1) + "</span>" +
           (seat < frame.queue.size() ? token(run, frame.queue[seat]) : "") + "</li>";
  }
  return out + "</ol>\n";
}

std::string zone(const char* name, const char* words, const std::string& count,
                 const std::string& inside) {
  return std::string("<div class=\"zone ") + name + "\" data-zone=\"" + name +
         "\"><span class=\"zone-name\">" + words + count + "</span>" + inside + "</div>\n";
}

std::string button(const char* act, const char* words, const char* key, const char* face) {
  return std::string("<button type=\"button\" data-act=\"") + act + "\" title=\"" + words + key +
         "\" aria-label=\"" + words + "\">" + face + "</button>";
}

std::string count(std::size_t n) { return "<b class=\"count\">" + std::to_string(n) + "</b>"; }

// A list of positions for the script.
Json positions(const std::vector<int>& who) { return Json(who); }

Json frameJson(const ShopMoment& moment) {
  const ShopFrame& f = moment.shop;
  return {{"lines", moment.lines},
          {"barber", barberWord(f.barber)},
          {"cutting", f.cutting},
          {"chair", f.chair},
          {"queue", positions(f.queue)},
          {"door", positions(f.door)},
          {"cut", positions(f.cut)},
          {"away", positions(f.away)},
          {"early", positions(f.early)},
          {"finished", f.finished},
          {"gone", f.gone}};
}

}  // namespace

std::string shopSection(const FinishedRun& run) {
  const ShopFrame& end = run.story.shop.back().shop;
  const Micros endAt = run.story.end;
  std::vector<int> street;
  std::vector<bool> placed(run.record.roster.size());
  if (end.chair >= 0) placed[static_cast<std::size_t>(end.chair)] = true;
  for (const std::vector<int>* list : {&end.queue, &end.door, &end.cut, &end.away, &end.early}) {
    for (int each : *list) placed[static_cast<std::size_t>(each)] = true;
  }
  for (std::size_t who = 0; who < placed.size(); ++who) {
    if (!placed[who]) street.push_back(static_cast<int>(who));
  }
  const std::string chairId =
      end.chair < 0 ? "" : run.record.roster[static_cast<std::size_t>(end.chair)].id;
  std::string out = "<section id=\"shop\" class=\"shop\" aria-labelledby=\"shop-title\" data-t=\"" +
                    fixed(endAt.ms(), 3) + "\" data-chair=\"" + esc(chairId) + "\" data-queue=\"" +
                    esc(idList(run, end.queue)) +
                    "\">\n<h2 id=\"shop-title\">The shop <span "
                    "class=\"shop-when\">when the run ended, at " +
                    msText(endAt) + "</span></h2>\n";
  out += zone("street", "outside", "", tokens(run, street));
  out += "<div class=\"room\">\n<div class=\"station\"><div class=\"barber\" data-barber=\"" +
         std::string(barberWord(end.barber)) + "\">Barber <span class=\"doing\">" +
         barberWord(end.barber) + "</span></div>" +
         zone("chair", "barber's chair", "", end.chair < 0 ? "" : token(run, end.chair)) +
         "</div>\n" + seats(run, end) + zone("door", "door", "", tokens(run, end.door)) +
         "</div>\n<div class=\"tallies\">\n";
  out += zone("cut", "cut ", count(end.finished), tokens(run, end.cut));
  out += zone("away", "went away ", count(end.gone), tokens(run, end.away));
  out += zone("early", "left before the cut was done ", count(end.early.size()),
              tokens(run, end.early));
  out += "</div>\n<div class=\"bank\" hidden>";
  for (int who = 0; who < static_cast<int>(run.record.roster.size()); ++who) out += token(run, who);
  return out + "</div>\n</section>\n";
}

std::string playerBar(const FinishedRun& run) {
  const std::string end = msNumberText(run.story.end);
  std::string speeds;
  for (const char* speed : {"0.05", "0.1", "0.2", "0.5", "1", "2", "5", "10", "20"}) {
    const std::string value = speed;
    const std::string shown = value[0] == '0' ? "1/" + fixed(1 / std::stod(value), 0) : value;
    speeds += "<option value=\"" + value + "\"" + (value == "1" ? " selected" : "") + ">" + shown +
              "\xC3\x97</option>";
  }
  return "<div id=\"player\" class=\"player\" hidden>\n<div class=\"controls\">" +
         button("start", "To the start", " (Home)", "|\xE2\x97\x80") +
         button("prev", "The line before", " (\xE2\x86\x90)", "\xE2\x97\x80") +
         button("play", "Play or pause", " (space)", "\xE2\x96\xB6") +
         button("next", "The line after", " (\xE2\x86\x92)", "\xE2\x96\xB6|") +
         "<label class=\"speed\">speed <select data-act=\"speed\">" + speeds +
         "</select></label><input type=\"range\" data-act=\"scrub\" min=\"0\" max=\"" + end +
         "\" step=\"any\" value=\"" + end +
         "\" aria-label=\"Time in ms\"><output class=\"clock\">" + msText(run.story.end) +
         "</output><span class=\"zoom\">" + button("out", "Zoom out", " (-)", "\xE2\x88\x92") +
         button("in", "Zoom in", " (+)", "+") +
         button("fit", "The whole run", " (0)", "whole run") +
         "</span></div>\n<p class=\"now-line\" aria-live=\"polite\"></p>\n</div>\n";
}

// The player's data, one object read by name: when each line came, the shop wherever it changed
// (from the line count `lines` on), the run's end, and the shop's own numbers, so the script
// holds no constant of the shop.
std::string playerData(const FinishedRun& run) {
  Json times = Json::array();
  for (const Event& event : run.record.events) times.push_back(event.us);
  Json shop = Json::array();
  for (const ShopMoment& moment : run.story.shop) shop.push_back(frameJson(moment));
  const Json data = {{"lineUs", std::move(times)},
                     {"shop", std::move(shop)},
                     {"endUs", run.story.end.count},
                     {"waitChairs", WAIT_CHAIRS}};
  // Only numbers and fixed words: nothing in it can end the script element.
  return "<script type=\"application/json\" id=\"player-data\">" + oneLine(data) + "</script>\n";
}
