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

# vantrel_add_vm_test(NAME <name> SOURCES <files...>)
# A Qt Test executable that runs inside the guest of tests/vm/rig.py, on the kernel's own
# serial drivers, with the controller's side of each line played from outside. The guest
# boots once for all of them (the test vm_guest, a fixture); this test then reports its
# executable's result from that run. Label vm.
# Debian's own Python first: the rig needs nothing beyond its standard library.
find_program(VANTREL_PYTHON NAMES python3 HINTS /usr/bin)
if(NOT VANTREL_PYTHON)
    set(VANTREL_PYTHON python3) # the vm tests then fail, saying it is missing
endif()
set(VANTREL_VM_OUT ${PROJECT_BINARY_DIR}/tests/vm)
function(vantrel_add_vm_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    vantrel_target_defaults(${T_NAME} RELAXED)
    target_link_libraries(${T_NAME} PRIVATE vantrel_screens vantrel_testsupport Qt6::Test)
    set_property(GLOBAL APPEND PROPERTY VANTREL_VM_TESTS ${T_NAME})
    add_test(NAME ${T_NAME}
             COMMAND ${VANTREL_PYTHON} ${PROJECT_SOURCE_DIR}/tests/vm/rig.py report
                     --out ${VANTREL_VM_OUT} ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES LABELS vm TIMEOUT 30 FIXTURES_REQUIRED vm_guest)
endfunction()

# The guest run behind the vm tests, after the last vantrel_add_vm_test().
function(vantrel_add_vm_guest)
    get_property(names GLOBAL PROPERTY VANTREL_VM_TESTS)
    set(programs)
    foreach(name ${names})
        list(APPEND programs $<TARGET_FILE:${name}>)
    endforeach()
    add_test(NAME vm_guest
             COMMAND ${VANTREL_PYTHON} ${PROJECT_SOURCE_DIR}/tests/vm/rig.py run
                     --build ${PROJECT_BINARY_DIR} --sim $<TARGET_FILE:vantrel-sim>
                     --out ${VANTREL_VM_OUT} ${programs})
    # The guest's two processors are emulated on both of the machine's.
    set_tests_properties(vm_guest PROPERTIES LABELS vm TIMEOUT 450 FIXTURES_SETUP vm_guest
                                             PROCESSORS 2)
endfunction()
