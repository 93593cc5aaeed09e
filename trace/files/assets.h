#ifndef BARBERSHOP_TRACE_FILES_ASSETS_H_
#define BARBERSHOP_TRACE_FILES_ASSETS_H_
// The pages' style sheets and scripts, written as files of their own beside the page code
// (trace/files/*.css, *.js) and compiled in as strings, so every page stays one self-contained
// file. trace/CMakeLists.txt generates their definitions.

extern const char kPageStyle[];      // page.css: the run page
extern const char kPlayerScript[];   // player.js: the run page's player
extern const char kSessionStyle[];   // session.css: the session page
extern const char kSessionScript[];  // session.js: the session page's compare view
extern const char kLiveStyle[];      // live.css: the live page's shell
extern const char kLiveScript[];     // live.js: the live page's shell, fed by the event stream

#endif  // BARBERSHOP_TRACE_FILES_ASSETS_H_
