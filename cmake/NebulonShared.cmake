# Links a test, tool or benchmark against the plug-in's shared code, which
# already holds the compiled JUCE modules, so nothing of JUCE is built twice.
function(nebulon_link_shared_code target)
  target_link_libraries(${target} PRIVATE Nebulon)
  target_include_directories(${target} PRIVATE $<TARGET_PROPERTY:Nebulon,INCLUDE_DIRECTORIES>)
  target_compile_definitions(${target} PRIVATE $<TARGET_PROPERTY:Nebulon,COMPILE_DEFINITIONS>)
  target_compile_options(${target} PRIVATE ${NEBULON_WARNINGS})
endfunction()
