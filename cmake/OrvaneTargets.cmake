# Shared settings for the kit libraries and the extension modules.

# The kit libraries are installed in a folder beside the modules; the modules
# and the libraries find them through an $ORIGIN-relative RPATH.
set(ORVANE_LIBDIR "orvane_kit.libs")

# AddressSanitizer and UndefinedBehaviorSanitizer over every target of the
# tree; the interpreter then needs the ASan runtime preloaded.
option(ORVANE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(ORVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()

function(orvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()

# The loader searches `path` (relative to the target's own file) for the kit
# libraries before LD_LIBRARY_PATH. A DT_RUNPATH entry, the linker's default,
# comes after LD_LIBRARY_PATH, so a foreign library of the same SONAME there
# would replace the one installed with the modules; a DT_RPATH entry does not.
function(orvane_library_path target path)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "${path}")
  target_link_options(${target} PRIVATE "LINKER:--disable-new-dtags")
endfunction()

# A kit stand-in library with its own SONAME (lib<name>.so.1).
function(orvane_kit_library target)
  add_library(${target} SHARED ${ARGN})
  orvane_warnings(${target})
  set_target_properties(${target} PROPERTIES
    SOVERSION 1
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN OFF)
  orvane_library_path(${target} "$ORIGIN")
  if(ORVANE_BUILD_PYTHON)
    install(TARGETS ${target} LIBRARY DESTINATION ${ORVANE_LIBDIR} NAMELINK_SKIP)
  endif()
endfunction()

# An extension module installed at the top of site-packages.
function(orvane_python_module target)
  pybind11_add_module(${target} ${ARGN})
  # Every module guards the classes it registers, converts values and shows
  # the caller's texts in messages in the same way.
  target_link_libraries(${target} PRIVATE OrvaneBinding)
  orvane_warnings(${target})
  # The modules load the kit libraries they link when they are imported, even
  # before they call into one of them.
  target_link_options(${target} PRIVATE "LINKER:--no-as-needed")
  orvane_library_path(${target} "$ORIGIN/${ORVANE_LIBDIR}")
  install(TARGETS ${target} LIBRARY DESTINATION .)
  # Type checkers take the typing stubs from a stub-only package named after
  # the module (PEP 561); a single-file module cannot carry py.typed itself.
  install(FILES "${PROJECT_SOURCE_DIR}/stubs/${target}.pyi" DESTINATION "${target}-stubs"
          RENAME __init__.pyi)
  install(FILES "${PROJECT_SOURCE_DIR}/stubs/py.typed" DESTINATION "${target}-stubs")
endfunction()

# The bindings reach into pybind11's internals, so they build only against
# the pybind11 releases pyproject.toml's build requirements allow (the range
# binding/pybind11_internals.h holds too).
function(orvane_check_pybind11_version)
  file(READ "${PROJECT_SOURCE_DIR}/pyproject.toml" project_file)
  if(NOT project_file MATCHES "\"pybind11>=([0-9.]+),<([0-9.]+)\"")
    message(FATAL_ERROR "pyproject.toml states no pybind11>=X,<Y build requirement")
  endif()
  set(lowest "${CMAKE_MATCH_1}")
  set(below "${CMAKE_MATCH_2}")
  if(pybind11_VERSION VERSION_LESS lowest OR NOT pybind11_VERSION VERSION_LESS below)
    message(FATAL_ERROR "pybind11 ${pybind11_VERSION} found; the bindings are tested only with "
                        "pybind11>=${lowest},<${below}")
  endif()
endfunction()
