list(APPEND TOLVO_CORE_SOURCES movie/pending.cpp)
