# Desktop services: a second process for the session clipboard tests.
add_executable(dzv_clipboard_holder ${CMAKE_CURRENT_SOURCE_DIR}/clipboard_holder.cc)
target_link_libraries(dzv_clipboard_holder PRIVATE dzv_core)
target_compile_definitions(dzv_tests PRIVATE
  DZV_CLIPBOARD_HOLDER="$<TARGET_FILE:dzv_clipboard_holder>")
add_dependencies(dzv_tests dzv_clipboard_holder)
