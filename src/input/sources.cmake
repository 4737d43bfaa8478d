list(APPEND TOLVO_CORE_SOURCES input/pending.cpp)
