# The release archive, dist/tolvo-VERSION-win32.zip: what a game developer
# needs, and nothing that only lies in one checkout. Made by
# `cmake --build --preset win32 --target dist`, and by every build with the
# tests, which unpack it and run its demo and its import library.
if(NOT TOLVO_WINDOWS)
  return()
endif()

find_program(TOLVO_ZIP zip)
set(TOLVO_DIST_NAME tolvo-${PROJECT_VERSION}-win32)
set(TOLVO_DIST_ZIP ${CMAKE_BINARY_DIR}/dist/${TOLVO_DIST_NAME}.zip)
set(TOLVO_DIST_MANIFEST ${CMAKE_BINARY_DIR}/dist/manifest.txt)

# The game developers' READMEs carry the version.
set(readmes ${CMAKE_BINARY_DIR}/release)
configure_file(docs/release/README.txt ${readmes}/README.txt @ONLY)
configure_file(docs/release/README-ja.txt ${readmes}/README-ja.txt @ONLY)

# "path in the archive=file". Files of the source tree are named one by one
# and relative to it (never a folder, which could carry whatever else lies
# there); the others are made by this build.
set(demo ${CMAKE_BINARY_DIR}/examples/demo)
set(check ${CMAKE_BINARY_DIR}/examples/windows-check)
set(manifest
  README.txt=${readmes}/README.txt
  README-ja.txt=${readmes}/README-ja.txt
  LICENSE=LICENSE
  bin/tolvo.dll=$<TARGET_FILE:tolvo>
  bin/tolvo-host.exe=$<TARGET_FILE:tolvo-host>
  bin/tolvo-pack.exe=$<TARGET_FILE:tolvo-pack>
  bin/tolvo-ogg2wav.exe=$<TARGET_FILE:tolvo-ogg2wav>
  include/tolvo.h=include/tolvo.h
  lib/tolvo.def=${CMAKE_BINARY_DIR}/lib/tolvo.def
  lib/libtolvo.dll.a=${CMAKE_BINARY_DIR}/lib/libtolvo.dll.a
  lib/tolvo.lib=${CMAKE_BINARY_DIR}/lib/tolvo.lib
  docs/commands.md=docs/commands.md
  docs/host-script.md=docs/host-script.md
  docs/ja/commands.md=docs/ja/commands.md
  docs/ja/host-script.md=docs/ja/host-script.md
  examples/demo/demo.tolvo=examples/demo/demo.tolvo
  examples/demo/pack/greeting.txt=examples/demo/pack/greeting.txt
  examples/demo/pack/About.txt=examples/demo/pack/About.txt
  examples/demo/demo.dpm=${demo}/demo.dpm
  examples/demo/demo-movie.avi=${demo}/demo-movie.avi
  examples/windows-check/check.tolvo=${check}/check.tolvo
  examples/windows-check/tone.wav=${check}/tone.wav
  examples/windows-check/tune.mid=${check}/tune.mid
  examples/windows-check/tune.sgt=${check}/tune.sgt
  examples/windows-check/theme.ogg=${check}/theme.ogg
  licenses/libogg-COPYING=${TOLVO_DEPS}/i686/licenses/libogg-COPYING
  licenses/libvorbis-COPYING=${TOLVO_DEPS}/i686/licenses/libvorbis-COPYING)
# The tools link mingw-w64's thread library (expat licence) statically.
set(mingw_notice /usr/share/doc/mingw-w64-common/copyright)
if(EXISTS ${mingw_notice})
  list(APPEND manifest licenses/mingw-w64-copyright=${mingw_notice})
endif()
file(GENERATE OUTPUT ${TOLVO_DIST_MANIFEST} CONTENT "$<JOIN:${manifest},\n>\n")

set(inputs "")
foreach(entry IN LISTS manifest)
  string(REGEX REPLACE "^[^=]*=" "" file "${entry}")
  if(NOT file MATCHES "^(/|\\$<)")
    set(file ${CMAKE_SOURCE_DIR}/${file})
  endif()
  list(APPEND inputs ${file})
endforeach()

# The entries are dated at the commit's time, so the archive is made again
# when HEAD moves: git appends to HEAD's log at every commit and checkout.
find_program(TOLVO_GIT git)
if(TOLVO_GIT)
  execute_process(COMMAND ${TOLVO_GIT} rev-parse --git-path logs/HEAD
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE rc ERROR_QUIET)
  if(rc EQUAL 0)
    get_filename_component(head_log "${head_log}" ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
    if(EXISTS ${head_log})
      list(APPEND inputs ${head_log})
    endif()
  endif()
endif()

# cmake -DSTAGE=... -DZIP=... followed by this makes the archive; the tests
# make it a second time so.
set(TOLVO_ARCHIVE_ARGS -DMANIFEST=${TOLVO_DIST_MANIFEST} -DSOURCE=${CMAKE_SOURCE_DIR}
    -DZIP_PROGRAM=${TOLVO_ZIP} -DGIT=${TOLVO_GIT} -P ${CMAKE_SOURCE_DIR}/cmake/make-archive.cmake)
add_custom_command(OUTPUT ${TOLVO_DIST_ZIP}
  COMMAND ${CMAKE_COMMAND} -DSTAGE=${CMAKE_BINARY_DIR}/dist/${TOLVO_DIST_NAME} -DZIP=${TOLVO_DIST_ZIP}
          ${TOLVO_ARCHIVE_ARGS}
  DEPENDS ${inputs} ${TOLVO_DIST_MANIFEST} ${CMAKE_SOURCE_DIR}/cmake/make-archive.cmake
  COMMENT "Packing dist/${TOLVO_DIST_NAME}.zip"
  VERBATIM)
set(all "")
if(TOLVO_TESTS)
  set(all ALL)
endif()
add_custom_target(dist ${all} DEPENDS ${TOLVO_DIST_ZIP})
add_dependencies(dist tolvo tolvo-host tolvo-pack tolvo-ogg2wav tolvo_implib demo_data windows_check_data)
