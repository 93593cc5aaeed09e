// The live page's shell: fixed markup, its style and its script compiled in (live.css, live.js).

#include "trace/files/live_page.h"

#include "trace/files/assets.h"

namespace {

// Every part the script fills has its place here, hidden until there is something to show; the
// <noscript> says what a reader without the script is missing.
constexpr char kBody[] = R"html(<body>
<header id="bar">
<span class="dot" aria-hidden="true"></span>
<span id="status" role="status" data-run="" data-done="">connecting to the session&hellip;</span>
<nav id="runs" aria-label="runs of this session"><span class="label">runs</span><span class="list"></span>
<button type="button" data-act="follow" hidden>follow the newest</button></nav>
<span class="tools"><button type="button" data-act="challenges" aria-pressed="false">challenges</button>
<button type="button" data-act="present" aria-pressed="false" title="projector mode (key p)">projector</button></span>
</header>
<section id="challenge" data-met="false" hidden></section>
<div class="work">
<div id="stage">
<main id="viewer" aria-label="the run"></main>
<section id="start" hidden>
<h1>barbershop-trace, live</h1>
<p>Each challenge is a barbershop with one mistake in it. Step its threads one move at a time,
choosing who goes next, until the goal is met. Then make the same moves on the correct shop: no
order of moves breaks it.</p>
<ol class="challenges"></ol>
<p><button type="button" data-act="close" hidden>show the run</button></p>
</section>
</div>
<aside id="drive" aria-label="who goes next" hidden></aside>
</div>
<noscript><p>This page follows the session with its script; without it, open a finished run's
page from the folder --report writes.</p></noscript>
)html";

}  // namespace

std::string livePage() {
  return std::string(
             "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
             "<link rel=\"icon\" href=\"data:,\">\n<title>barbershop live</title>\n<style>") +
         kLiveStyle + "</style>\n</head>\n" + kBody + "<script>" + kLiveScript +
         "</script>\n</body>\n</html>\n";
}
