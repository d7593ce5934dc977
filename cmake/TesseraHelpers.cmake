# tessera_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One Qt Test executable per test file, registered with CTest and run offscreen.
function(tessera_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test tessera_test_shared ${T_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TESSERA_FIXTURES=${TESSERA_FIXTURES_DIR}"
        TIMEOUT 300)
endfunction()

# tessera_add_bench(<name> SOURCES <files...> LIBS <targets...>)
function(tessera_add_bench name)
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE ${B_LIBS})
    add_dependencies(benchmarks ${name})
endfunction()
