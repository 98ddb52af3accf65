# Installation and packaging rules.
install(TARGETS xcpylist xcpycmd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
