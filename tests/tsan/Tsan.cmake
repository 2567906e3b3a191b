# ThreadSanitizer build (VESK_TSAN=ON): only tsan_tests, the unit tests of the classes that run on
# several threads, built with the listening and landing core they exercise and the fakes. Nothing
# else of the project is built in this folder, so the build stays small.
# -Wno-tsan: Asio closes each handler's call with a release fence, which the sanitizer does not
# model; its handoffs between threads go through the scheduler's mutex, which it does.
# -g1: line tables are all a report needs, and build much faster than full debug information.
add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -O1 -g1 -Wno-tsan)
add_link_options(-fsanitize=thread)

find_package(GTest REQUIRED)
include(GoogleTest)

# The core pieces those tests reach. Sections are kept apart and unused ones dropped at link time,
# so the commands around the sessions (and what they call) need not be built here.
add_compile_options(-ffunction-sections -fdata-sections)
add_link_options(-Wl,--gc-sections)
file(GLOB TSAN_CORE_SOURCES CONFIGURE_DEPENDS
  src/base/*.cpp src/listening/engine/*.cpp src/landing/lander/*.cpp)
add_library(vesk_tsan_core STATIC ${TSAN_CORE_SOURCES}
  src/listening/dictation/DictateSession.cpp
  src/listening/meeting/ListenSession.cpp
  src/listening/meeting/ListenCommand.cpp src/listening/meeting/MeetingIdentity.cpp
  src/listening/dictation/DictateWords.cpp src/landing/focus/FocusRules.cpp
  src/platform/PcmBuffer.cpp src/platform/XdgFolders.cpp src/main/Reply.cpp)
target_include_directories(vesk_tsan_core PUBLIC src)
target_compile_definitions(vesk_tsan_core PUBLIC ASIO_STANDALONE ASIO_NO_DEPRECATED)
target_link_libraries(vesk_tsan_core PUBLIC nlohmann_json::nlohmann_json Threads::Threads)

set(TSAN_TESTS
  base/LineWriterTest.cpp
  base/RunLogTest.cpp
  base/SerialQueueTest.cpp
  listening/engine/AudioMeterTest.cpp
  listening/engine/EchoReferenceTest.cpp
  listening/engine/LiveTranscriberTest.cpp
  listening/engine/OtherSideTest.cpp
  listening/dictation/DictateSessionTest.cpp
  listening/meeting/ListenSessionTest.cpp
  landing/lander/LanderTest.cpp)
list(TRANSFORM TSAN_TESTS PREPEND tests/unit/)
add_executable(tsan_tests ${TSAN_TESTS} tests/support/Scratch.cpp)
target_include_directories(tsan_tests PRIVATE tests)
if(CMAKE_UNITY_BUILD)
  target_compile_options(tsan_tests PRIVATE -Wno-subobject-linkage)  # see tests/CMakeLists.txt
endif()
target_link_libraries(tsan_tests PRIVATE vesk_tsan_core GTest::gtest GTest::gmock GTest::gtest_main)

enable_testing()
set(TSAN_OPTIONS "halt_on_error=1 second_deadlock_stack=1 suppressions=${CMAKE_CURRENT_LIST_DIR}/suppressions.txt")
gtest_discover_tests(tsan_tests TEST_PREFIX "tsan." DISCOVERY_TIMEOUT 60
  PROPERTIES LABELS tsan ENVIRONMENT "TSAN_OPTIONS=${TSAN_OPTIONS}")
