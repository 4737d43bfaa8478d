list(APPEND TOLVO_PORTABLE_SOURCES pack/reader.cpp pack/commands.cpp)
# tovdpmload asks the platform whether it may write the caller's text.
list(APPEND TOLVO_CORE_SOURCES pack/load_windows.cpp)
