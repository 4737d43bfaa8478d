list(APPEND TOLVO_PORTABLE_SOURCES music/oggwave.cpp music/memstream.cpp)
list(APPEND TOLVO_CORE_SOURCES music/pending.cpp)

# libvorbisfile (with libvorbis and libogg beneath it): the cross-built static
# package in the Windows build, Debian's through pkg-config natively.
if(TARGET Vorbis::vorbisfile)
  list(APPEND TOLVO_PORTABLE_LIBS Vorbis::vorbisfile)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TOLVO_VORBISFILE REQUIRED IMPORTED_TARGET GLOBAL vorbisfile)
  list(APPEND TOLVO_PORTABLE_LIBS PkgConfig::TOLVO_VORBISFILE)
endif()
