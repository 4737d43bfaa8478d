list(APPEND TOLVO_CORE_SOURCES movie/engine.cpp movie/commands.cpp)
# DirectShow class and interface identifiers (CLSID_FilterGraph, IID_IGraphBuilder, ...)
list(APPEND TOLVO_CORE_LIBS strmiids uuid)
