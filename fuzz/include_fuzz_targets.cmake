# Included right after the top-level project() by the `fuzz` configure preset. Once the whole
# tree (the plug-in's core, the substitute host) is defined, fuzz/CMakeLists.txt is read in
# the top directory's scope, so its targets get the same compile options as everything else.
# (A deferred call may not add a subdirectory; it may include a file.)
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL include ${CMAKE_SOURCE_DIR}/fuzz/CMakeLists.txt)
