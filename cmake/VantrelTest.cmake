# vantrel_add_test(NAME <name> SOURCES <files...> [CORE] [LABEL unit|gui|e2e] [TIMEOUT s]
#                  [LIBS ...])
# One Qt Test executable per unit, run headless with a timeout and a label. A CORE test
# links the widget-free library alone, so it shows the rules need nothing more.
function(vantrel_add_test)
    cmake_parse_arguments(T "CORE" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT T_LABEL)
        set(T_LABEL unit)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    vantrel_target_defaults(${T_NAME} RELAXED)
    if(T_CORE)
        target_link_libraries(${T_NAME} PRIVATE vantrel_core vantrel_testfiles Qt6::Test ${T_LIBS})
    else()
        target_link_libraries(${T_NAME} PRIVATE vantrel_screens vantrel_testsupport Qt6::Test
                                                ${T_LIBS})
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set(env "QT_QPA_PLATFORM=offscreen;VANTREL_SIM=$<TARGET_FILE:vantrel-sim>;VANTREL_BIN=$<TARGET_FILE:vantrel>;VANTREL_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data;VANTREL_A11Y_PROBE=${PROJECT_SOURCE_DIR}/scripts/lib/a11y.py")
    set_tests_properties(${T_NAME} PROPERTIES
        LABELS ${T_LABEL}
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "${env}")
endfunction()
