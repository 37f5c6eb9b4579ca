# Every library the project links; the Debian packages that provide them are
# listed once, in ./run.
set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)
find_package(Boost 1.74 REQUIRED COMPONENTS thread filesystem date_time system)
find_package(CURL REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(utf8cpp REQUIRED)
find_package(GTest REQUIRED)
find_library(UUID_LIBRARY uuid REQUIRED)
find_path(UUID_INCLUDE_DIR uuid/uuid.h REQUIRED)
find_program(SYSTEM_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
# Drawing: glyphs, font matching and picture files.
find_package(Freetype REQUIRED)
find_package(Fontconfig REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
