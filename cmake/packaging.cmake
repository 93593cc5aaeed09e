# Installation: the program in bin/, its manual page in share/man/man1, the variants in
# lib/barbershop/variants and the package's copyright and changelog in share/doc/barbershop,
# compressed as Debian ships them.
# `cmake --install` and the Debian package both use these rules.
include(GNUInstallDirs)
set(BARBERSHOP_VERSION ${PROJECT_VERSION})
set(BARBERSHOP_MAINTAINER "barbershop maintainers <maintainers@users.noreply.c-seed-198dc459.example>")
# The copyright file carries the licence as LICENSE at the root states it.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
file(WRITE ${CMAKE_BINARY_DIR}/doc/copyright
     "barbershop: the sleeping-barber problem acted out with real threads.\n\n"
     "License: MIT\n\n${licence}")
string(CONFIGURE [=[
barbershop (@BARBERSHOP_VERSION@) unstable; urgency=medium

  * First packaged release: the program, its manual page and a Debian package.

 -- @BARBERSHOP_MAINTAINER@  Sat, 05 Dec 2026 00:00:00 +0000
]=] changelog @ONLY)
# Written through a copy that changes only with its text, so a build after configuring again has
# nothing to compress.
file(WRITE ${CMAKE_BINARY_DIR}/doc/changelog.new "${changelog}")
configure_file(${CMAKE_BINARY_DIR}/doc/changelog.new ${CMAKE_BINARY_DIR}/doc/changelog COPYONLY)
find_program(GZIP_EXECUTABLE gzip)
if(NOT GZIP_EXECUTABLE)
  message(FATAL_ERROR "gzip is needed to compress the manual page and the changelog")
endif()
set(gzipped)
set(pages ${PROJECT_SOURCE_DIR}/man/barbershop.1)
if(TARGET barbershop-trace)
  list(APPEND pages ${PROJECT_SOURCE_DIR}/man/barbershop-trace.1)
endif()
foreach(text ${pages} ${CMAKE_BINARY_DIR}/doc/changelog)
  get_filename_component(name ${text} NAME)
  # -n leaves out the name and time stamp, so the same text always gives the same file.
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/doc/${name}.gz
    COMMAND ${GZIP_EXECUTABLE} -9n -c ${text} > ${CMAKE_BINARY_DIR}/doc/${name}.gz
    DEPENDS ${text}
    COMMENT "Compressing ${name}")
  list(APPEND gzipped ${CMAKE_BINARY_DIR}/doc/${name}.gz)
endforeach()
add_custom_target(package_docs ALL DEPENDS ${gzipped})
install(TARGETS barbershop RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/doc/barbershop.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The companion goes beside the program, where it looks for it first.
if(TARGET barbershop-trace)
  install(TARGETS barbershop-trace RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_BINARY_DIR}/doc/barbershop-trace.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
# The variants are programs for the companion to run, not commands for a user to type: off PATH,
# in lib/barbershop/variants whatever the system's library directory (the companion looks there,
# from its own directory, as ../lib/barbershop/variants).
if(BARBERSHOP_VARIANT_TARGETS)
  install(TARGETS ${BARBERSHOP_VARIANT_TARGETS} RUNTIME DESTINATION lib/barbershop/variants)
  install(TARGETS ${BARBERSHOP_UNWIDENED_TARGETS} RUNTIME DESTINATION lib/barbershop/variants/unwidened)
endif()
# The scheduler library, preloaded by the companion for a controlled run, beside the variants.
install(TARGETS barbershop-scheduler LIBRARY DESTINATION lib/barbershop)
# Stripped as installed (CPack's own stripping would take every symbol): the program and the
# variants keep their symbol tables, without the debug information, since the companion names
# their locks and semaphores by those symbols in a controlled run ("the queue lock"); the
# companion and the scheduler library are stripped whole.
find_program(BARBERSHOP_STRIP NAMES strip)
if(BARBERSHOP_STRIP)
  install(CODE "
    set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    file(GLOB_RECURSE programs \"\${root}/lib/barbershop/variants/*\")
    foreach(program \"\${root}/${CMAKE_INSTALL_BINDIR}/barbershop\" \${programs})
      execute_process(COMMAND \"${BARBERSHOP_STRIP}\" --strip-debug \"\${program}\")
    endforeach()
    foreach(whole \"\${root}/${CMAKE_INSTALL_BINDIR}/barbershop-trace\"
                  \"\${root}/lib/barbershop/libbarbershop-scheduler.so\")
      if(EXISTS \"\${whole}\")
        execute_process(COMMAND \"${BARBERSHOP_STRIP}\" --strip-unneeded \"\${whole}\")
      endif()
    endforeach()")
endif()
install(FILES ${CMAKE_BINARY_DIR}/doc/copyright ${CMAKE_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package (`make package`, or `cpack` in the build directory). Its dependencies are
# computed by dpkg-shlibdeps from the libraries the binary really links.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME barbershop)
set(CPACK_PACKAGE_VERSION ${BARBERSHOP_VERSION})
set(CPACK_PACKAGE_CONTACT ${BARBERSHOP_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sleeping-barber problem acted out with real threads")
set(CPACK_PACKAGE_DESCRIPTION [=[
An interactive console program for learning and teaching concurrency.
One barber, one barber chair and six waiting chairs serve up to ten
customers, each on a POSIX thread of its own, synchronised with mutexes
and semaphores. Every step of every actor is narrated, and the whole
shop is printed after the customers' key steps. The manual page
barbershop(1) explains everything the program prints.
.
Its companion, barbershop-trace(1), runs the program and adds times,
a timeline and a verdict on the shop's rules after every run, rosters
typed from files and teaching scenarios, repeated runs with an
aggregate, and reports that open in a browser and in Perfetto.
.
Beside them, in /usr/lib/barbershop/variants, the shop with one classic
concurrency fault each (a lost wake-up, check-then-act, ...), built
from the same sources, for showing what goes wrong and why.]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES OFF)  # stripped as installed, above
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
