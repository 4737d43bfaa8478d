list(APPEND TOLVO_PORTABLE_SOURCES util/math.cpp util/dxver_rules.cpp)
list(APPEND TOLVO_CORE_SOURCES util/fps.cpp util/dxver_windows.cpp)
