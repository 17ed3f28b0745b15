# The application shell: start-up, login, main window and about box, as a
# library the tests drive directly, plus the program itself.
add_library(v2app STATIC
    ${CMAKE_CURRENT_LIST_DIR}/application.h ${CMAKE_CURRENT_LIST_DIR}/application.cpp
    ${CMAKE_CURRENT_LIST_DIR}/login.h ${CMAKE_CURRENT_LIST_DIR}/login.cpp
    ${CMAKE_CURRENT_LIST_DIR}/login.ui
    ${CMAKE_CURRENT_LIST_DIR}/mainwindow.h ${CMAKE_CURRENT_LIST_DIR}/mainwindow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mainwindow.ui
    ${CMAKE_CURRENT_LIST_DIR}/aboutdialog.h ${CMAKE_CURRENT_LIST_DIR}/aboutdialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/aboutdialog.ui)
target_include_directories(v2app PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(v2app PUBLIC
    v2queue v2evadere v2settings v2common v2services v2resources
    Qt5::Widgets Qt5::Network Qt5::PrintSupport)

add_executable(Vendra2Admin WIN32 ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(Vendra2Admin PRIVATE v2app)
set_target_properties(Vendra2Admin PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
