# Order reception as the operator sees it: the download engine with its queue
# and the queue views, on top of the download worker in reception/.
set(V2QUEUE_VIEWS ${CMAKE_CURRENT_LIST_DIR}/reception/views)
add_library(v2queue STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ordinedownload.h ${CMAKE_CURRENT_LIST_DIR}/ordinedownload.cpp
    ${V2QUEUE_VIEWS}/ordinedownloadwidget.h ${V2QUEUE_VIEWS}/ordinedownloadwidget.cpp
    ${V2QUEUE_VIEWS}/ordinedownloadwidget.ui
    ${V2QUEUE_VIEWS}/ordinedownloadlistwidget.h ${V2QUEUE_VIEWS}/ordinedownloadlistwidget.cpp
    ${V2QUEUE_VIEWS}/downloaderrordialog.h ${V2QUEUE_VIEWS}/downloaderrordialog.cpp
    ${V2QUEUE_VIEWS}/downloaderrordialog.ui)
target_include_directories(v2queue PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${V2QUEUE_VIEWS})
target_link_libraries(v2queue PUBLIC
    v2reception v2services v2ftp v2settings v2common v2resources Qt5::Widgets)
