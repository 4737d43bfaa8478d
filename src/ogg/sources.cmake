# The Ogg Vorbis to WAVE conversion: portable, built natively too, and used
# alone by tolvo-ogg2wav, the fuzz target and the benchmark.
list(APPEND TOLVO_PORTABLE_SOURCES ogg/oggwave.cpp ogg/memstream.cpp)
# A long stream is decoded on several cores (std::thread; the Windows build
# links the threads library statically), after a page check that calls
# libvorbis and libogg directly.
list(APPEND TOLVO_PORTABLE_SOURCES ogg/oggsplit.cpp ogg/oggcheck.cpp)
find_package(Threads REQUIRED)
list(APPEND TOLVO_PORTABLE_LIBS Threads::Threads)

# libvorbisfile (with libvorbis and libogg beneath it): the static packages
# that scripts/setup builds, patched; without them Debian's, through
# pkg-config (as released: it leaks when a chained stream fails to open).
if(TARGET Vorbis::vorbisfile)
  list(APPEND TOLVO_PORTABLE_LIBS Vorbis::vorbisfile Vorbis::vorbis Ogg::ogg)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TOLVO_VORBISFILE REQUIRED IMPORTED_TARGET GLOBAL vorbisfile vorbis ogg)
  list(APPEND TOLVO_PORTABLE_LIBS PkgConfig::TOLVO_VORBISFILE)
  set_property(GLOBAL PROPERTY TOLVO_STOCK_VORBIS ON)
endif()
