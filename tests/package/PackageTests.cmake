# The menu entry and the software centre's description pass their
# validators; the Debian package builds and its program runs unpacked.
add_test(NAME package.DesktopEntryValid
         COMMAND desktop-file-validate ${PROJECT_SOURCE_DIR}/data/io.github.kalvo2.Kalvo2.desktop)
add_test(NAME package.MetainfoValid
         COMMAND appstreamcli validate --no-net ${PROJECT_SOURCE_DIR}/data/io.github.kalvo2.Kalvo2.metainfo.xml)
add_test(NAME package.DebBuildsListsAndRunsUnpacked
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/deb-test.sh ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(package.DebBuildsListsAndRunsUnpacked PROPERTIES TIMEOUT 600)
# Debian's package checker finds no error and no warning in the package and
# its debug package; the programs are stripped and their debug file resolves
# source lines.
add_test(NAME package.LintianFindsNoErrorOrWarning
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/lintian-test.sh ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(package.LintianFindsNoErrorOrWarning PROPERTIES TIMEOUT 600)
