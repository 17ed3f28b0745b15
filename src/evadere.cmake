# The orders-to-fulfil panel: the background fetch, the list items and the
# panel's logic (refresh, state on all orders, envelopes, automatic steps
# after each download), which the main window delegates to.
set(V2EVADERE_DIR ${CMAKE_CURRENT_LIST_DIR}/reception/evadere)
add_library(v2evadere STATIC
    ${V2EVADERE_DIR}/ordineasyncgetlistintestazioni.h
    ${V2EVADERE_DIR}/ordineasyncgetlistintestazioni.cpp
    ${V2EVADERE_DIR}/ordinedaevaderewidgetitem.h
    ${V2EVADERE_DIR}/ordinedaevaderewidgetitem.cpp
    ${V2EVADERE_DIR}/ordinidaevadere.h
    ${V2EVADERE_DIR}/ordinidaevadere.cpp)
target_include_directories(v2evadere PUBLIC ${V2EVADERE_DIR})
target_link_libraries(v2evadere PUBLIC
    v2reports v2report v2reception v2services v2settings v2common v2resources
    Qt5::Widgets Qt5::PrintSupport)
