list(APPEND TOLVO_CORE_SOURCES music/pending.cpp)
