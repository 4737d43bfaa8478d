# The DirectMusic engine, the slots and what acts on all music at once.
list(APPEND TOLVO_CORE_SOURCES music/engine.cpp)
list(APPEND TOLVO_CORE_SOURCES music/blocks.cpp)
list(APPEND TOLVO_CORE_SOURCES music/slots.cpp)
list(APPEND TOLVO_CORE_SOURCES music/controls.cpp)
