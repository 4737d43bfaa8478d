list(APPEND TOLVO_CORE_SOURCES pack/pending.cpp)
