list(APPEND TOLVO_PORTABLE_SOURCES pack/reader.cpp pack/commands.cpp)
