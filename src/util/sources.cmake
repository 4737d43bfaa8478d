list(APPEND TOLVO_PORTABLE_SOURCES util/math.cpp)
list(APPEND TOLVO_CORE_SOURCES util/fps.cpp util/dxver_pending.cpp)
