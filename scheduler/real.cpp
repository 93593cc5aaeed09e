// Finds the real functions behind the wrappers, once, under their public names (never the
// __pthread_* ones, which a sanitizer runtime intercepts as well).

#include "scheduler/real.h"

#include <dlfcn.h>

namespace sched {

RealFunctions gReal;

namespace {

bool gResolving = false;  // set while dlsym runs, on the only thread there is then

template <typename Function>
void find(Function* pointer, const char* name) {
  *reinterpret_cast<void**>(pointer) = dlsym(RTLD_NEXT, name);
}

}  // namespace

void resolveReal() {
  if (gResolving) return;
  gResolving = true;
  RealFunctions& r = gReal;
  find(&r.pthread_create, "pthread_create");
  find(&r.pthread_join, "pthread_join");
  find(&r.pthread_exit, "pthread_exit");
  find(&r.pthread_mutex_init, "pthread_mutex_init");
  find(&r.pthread_mutex_destroy, "pthread_mutex_destroy");
  find(&r.pthread_mutex_lock, "pthread_mutex_lock");
  find(&r.pthread_mutex_trylock, "pthread_mutex_trylock");
  find(&r.pthread_mutex_timedlock, "pthread_mutex_timedlock");
  find(&r.pthread_mutex_clocklock, "pthread_mutex_clocklock");
  find(&r.pthread_mutex_unlock, "pthread_mutex_unlock");
  find(&r.sem_init, "sem_init");
  find(&r.sem_destroy, "sem_destroy");
  find(&r.sem_wait, "sem_wait");
  find(&r.sem_trywait, "sem_trywait");
  find(&r.sem_timedwait, "sem_timedwait");
  find(&r.sem_clockwait, "sem_clockwait");
  find(&r.sem_post, "sem_post");
  find(&r.sem_getvalue, "sem_getvalue");
  find(&r.usleep, "usleep");
  find(&r.nanosleep, "nanosleep");
  find(&r.clock_nanosleep, "clock_nanosleep");
  find(&r.sleep, "sleep");
  find(&r.clock_gettime, "clock_gettime");
  find(&r.gettimeofday, "gettimeofday");
  find(&r.time, "time");
  find(&r.vfprintf, "vfprintf");
  find(&r.vfprintf_chk, "__vfprintf_chk");
  find(&r.fwrite, "fwrite");
  find(&r.fputs, "fputs");
  find(&r.puts, "puts");
  find(&r.fputc, "fputc");
  find(&r.putc, "putc");
  find(&r.putchar, "putchar");
  find(&r.fflush, "fflush");
  find(&r.write, "write");
  find(&r.getc, "getc");
  find(&r.fgetc, "fgetc");
  find(&r.getchar, "getchar");
  find(&r.fgets, "fgets");
  find(&r.getdelim, "getdelim");
  find(&r.fread, "fread");
  find(&r.read, "read");
  find(&r.exit, "exit");
  find(&r._exit, "_exit");
  find(&r._Exit, "_Exit");
  find(&r.libc_start_main, "__libc_start_main");  // last: real() tests it
  gResolving = false;
}

}  // namespace sched
