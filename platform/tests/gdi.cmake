# Drawing: DCs, blits, regions, text, picture files, resources, GDI+ and the
# image classes. Pictures of test drawings go to the build folder.
set(GDI_SNAPSHOT_DIR ${CMAKE_BINARY_DIR}/gdi_snapshots)
file(MAKE_DIRECTORY ${GDI_SNAPSHOT_DIR})
calvimora_add_test(platform_gdi_tests
  SOURCES gdi_blit_test.cpp gdi_clip_test.cpp gdi_text_test.cpp image_codec_test.cpp
          resources_test.cpp gdiplus_test.cpp stream_test.cpp gdi_dib_test.cpp
  LIBRARIES platform JPEG::JPEG)
target_include_directories(platform_gdi_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../src)
target_compile_definitions(platform_gdi_tests PRIVATE GDI_SNAPSHOT_DIR="${GDI_SNAPSHOT_DIR}")
