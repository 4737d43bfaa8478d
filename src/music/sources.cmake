list(APPEND TOLVO_PORTABLE_SOURCES music/oggwave.cpp music/memstream.cpp)

# libvorbisfile (with libvorbis and libogg beneath it): the static packages
# that scripts/setup builds, patched; without them Debian's, through
# pkg-config (as released: it leaks when a chained stream fails to open).
if(TARGET Vorbis::vorbisfile)
  list(APPEND TOLVO_PORTABLE_LIBS Vorbis::vorbisfile)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TOLVO_VORBISFILE REQUIRED IMPORTED_TARGET GLOBAL vorbisfile)
  list(APPEND TOLVO_PORTABLE_LIBS PkgConfig::TOLVO_VORBISFILE)
endif()

# The DirectMusic engine, the slots and what acts on all music at once.
list(APPEND TOLVO_CORE_SOURCES music/engine.cpp)
list(APPEND TOLVO_CORE_SOURCES music/images.cpp)
list(APPEND TOLVO_CORE_SOURCES music/slots.cpp)
list(APPEND TOLVO_CORE_SOURCES music/controls.cpp)
