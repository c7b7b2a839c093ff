# The profile-optimised build (KAVRIN_PGO): before anything of the engine is
# compiled, an instrumented kavrin-uci is built in pgo-training/ beside the
# build, runs the fixed-depth benchmark, and leaves its profile in
# pgo-profile/. Every target of this build is then compiled with that profile
# and linked with link-time optimisation. g++ reads the profile as it is;
# clang++ needs llvm-profdata to merge it, and without it the build falls back
# to link-time optimisation alone.
#
# Include after the options and before any target; call
# kavrin_pgo_finish() after the last target.

# Set by the outer build for its instrumented copy: where the profile goes.
set(KAVRIN_PGO_TRAINING "" CACHE PATH "Internal: build instrumented, writing the profile to this folder")
mark_as_advanced(KAVRIN_PGO_TRAINING)

# The optimised programs are not position-independent: the evaluation's and
# the move generator's table reads then take absolute addresses (about 7 %
# more speed on the benchmark). The training build is made the same way, so
# that its profile fits.
macro(kavrin_pgo_no_pie)
  include(CheckLinkerFlag)
  check_linker_flag(CXX -no-pie KAVRIN_LINKER_HAS_NO_PIE)
  if(KAVRIN_LINKER_HAS_NO_PIE)
    add_compile_options(-fno-pie)
    add_link_options(-no-pie)
  endif()
endmacro()

set(KAVRIN_PGO_ACTIVE OFF)
if(KAVRIN_PGO_TRAINING)
  kavrin_pgo_no_pie()
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    add_compile_options(-fprofile-instr-generate)
    add_link_options(-fprofile-instr-generate)
  else()
    # Profile files named by the object's path inside the build, so that the
    # outer build finds them under its own objects' names.
    add_compile_options(-fprofile-generate=${KAVRIN_PGO_TRAINING} -fprofile-prefix-path=${CMAKE_BINARY_DIR})
    add_link_options(-fprofile-generate=${KAVRIN_PGO_TRAINING})
  endif()
elseif(KAVRIN_PGO)
  if(KAVRIN_SANITIZE OR KAVRIN_SANITIZE_THREAD OR KAVRIN_FUZZ)
    message(FATAL_ERROR "KAVRIN_PGO does not combine with the sanitizer or fuzzing builds")
  endif()
  set(KAVRIN_PGO_ACTIVE ON)
  kavrin_pgo_no_pie()
  set(pgo_training_dir ${CMAKE_BINARY_DIR}/pgo-training)
  set(pgo_profile_dir ${CMAKE_BINARY_DIR}/pgo-profile)
  set(pgo_stamp ${pgo_profile_dir}/trained.stamp)
  set(pgo_use_profile ON)
  set(pgo_merge_commands)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    get_filename_component(compiler_dir ${CMAKE_CXX_COMPILER} DIRECTORY)
    string(REGEX MATCH "[0-9]+" clang_major ${CMAKE_CXX_COMPILER_VERSION})
    find_program(KAVRIN_LLVM_PROFDATA NAMES llvm-profdata-${clang_major} llvm-profdata
                 HINTS ${compiler_dir} /usr/lib/llvm-${clang_major}/bin)
    if(KAVRIN_LLVM_PROFDATA)
      set(pgo_merge_commands COMMAND ${KAVRIN_LLVM_PROFDATA} merge -o ${pgo_profile_dir}/kavrin.profdata
                             ${pgo_profile_dir}/kavrin.profraw ${pgo_profile_dir}/kavrin-classic.profraw)
      set(pgo_use_options -fprofile-instr-use=${pgo_profile_dir}/kavrin.profdata
                          -Wno-profile-instr-unprofiled -Wno-profile-instr-out-of-date)
    else()
      message(WARNING "llvm-profdata not found: link-time optimisation without a profile")
      set(pgo_use_profile OFF)
    endif()
  else()
    set(pgo_use_options -fprofile-use=${pgo_profile_dir} -fprofile-prefix-path=${CMAKE_BINARY_DIR}
                        -fprofile-correction -Wno-missing-profile)
  endif()

  include(CheckIPOSupported)
  check_ipo_supported(RESULT ipo_supported OUTPUT ipo_output LANGUAGES CXX)
  if(ipo_supported)
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
  else()
    message(WARNING "link-time optimisation not available: ${ipo_output}")
  endif()

  if(pgo_use_profile)
    include(ProcessorCount)
    ProcessorCount(pgo_jobs)
    if(pgo_jobs EQUAL 0)
      set(pgo_jobs 1)
    endif()
    # The training reruns whenever a source of the engine changes.
    file(GLOB_RECURSE pgo_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/engine/*.cpp ${CMAKE_SOURCE_DIR}/engine/*.h)
    add_custom_command(
      OUTPUT ${pgo_stamp}
      COMMAND ${CMAKE_COMMAND} -E rm -rf ${pgo_profile_dir}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${pgo_profile_dir}
      COMMAND ${CMAKE_COMMAND} -S ${CMAKE_SOURCE_DIR} -B ${pgo_training_dir} -G ${CMAKE_GENERATOR}
              -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER} -DCMAKE_BUILD_TYPE=Release
              -DKAVRIN_TESTS=OFF -DKAVRIN_PGO=OFF -DKAVRIN_POPCNT=${KAVRIN_POPCNT} -DKAVRIN_SYZYGY=${KAVRIN_SYZYGY}
              -DKAVRIN_PGO_TRAINING=${pgo_profile_dir}
      # (a make of its own, as parallel as the machine)
      COMMAND ${CMAKE_COMMAND} --build ${pgo_training_dir} --target kavrin-uci --parallel ${pgo_jobs}
      # Both searches: kavrin-uci's own, and kavrin's (classic).
      COMMAND ${CMAKE_COMMAND} -E env LLVM_PROFILE_FILE=${pgo_profile_dir}/kavrin.profraw
              ${pgo_training_dir}/kavrin-uci bench
      COMMAND ${CMAKE_COMMAND} -E env LLVM_PROFILE_FILE=${pgo_profile_dir}/kavrin-classic.profraw
              ${pgo_training_dir}/kavrin-uci bench classic
      ${pgo_merge_commands}
      COMMAND ${CMAKE_COMMAND} -E touch ${pgo_stamp}
      DEPENDS ${pgo_sources} ${CMAKE_SOURCE_DIR}/CMakeLists.txt ${CMAKE_CURRENT_LIST_FILE}
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
      COMMENT "Training the profile on the benchmark with an instrumented kavrin-uci"
      VERBATIM)
    add_custom_target(kavrin_pgo_profile DEPENDS ${pgo_stamp})
    add_compile_options(${pgo_use_options})
  endif()
endif()

# Makes every target of the build wait for the profile, and every object
# depend on it, so that a new profile recompiles them.
function(kavrin_pgo_finish)
  if(NOT KAVRIN_PGO_ACTIVE OR NOT TARGET kavrin_pgo_profile)
    return()
  endif()
  get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT target STREQUAL "kavrin_pgo_profile" AND type MATCHES "EXECUTABLE|LIBRARY")
      add_dependencies(${target} kavrin_pgo_profile)
      get_target_property(sources ${target} SOURCES)
      if(sources)
        set_property(SOURCE ${sources} APPEND PROPERTY OBJECT_DEPENDS ${pgo_stamp})
      endif()
    endif()
  endforeach()
endfunction()
