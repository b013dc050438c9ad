# Two entry points for a newcomer:
#   make demo   install what is missing, build, run the main job on the bundled sample
#   make test   install what is missing, build, run every test
#   make serve  after make demo: serve out/sample with Apache and mapserv on 127.0.0.1:8080
#   make package  build the Debian package build/gridora_<version>_amd64.deb
# `make test SANITIZE=1` builds into build-sanitize with AddressSanitizer and UBSan.
# `make test TSAN=1` builds the tests of the parallel paths into build-tsan with
# ThreadSanitizer and runs them (the CTest label `parallel`).
# `make fuzz [FUZZ_SECONDS=N]` builds the libFuzzer programs with clang and runs each.

BUILD_DIR ?= build
SANITIZE  ?= 0
TSAN      ?= 0
# What `make test` builds and which tests it runs.
TEST_TARGET :=
TEST_SELECTION :=
ifeq ($(SANITIZE),1)
  BUILD_DIR := build-sanitize
  CMAKE_EXTRA := -DGRIDORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
else ifeq ($(TSAN),1)
  BUILD_DIR := build-tsan
  CMAKE_EXTRA := -DGRIDORA_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
  TEST_TARGET := --target parallel_tests
  TEST_SELECTION := -L parallel
  export TSAN_OPTIONS := suppressions=$(CURDIR)/tests/tsan.supp halt_on_error=1
else
  CMAKE_EXTRA := -DCMAKE_BUILD_TYPE=RelWithDebInfo
endif
JOBS ?= $(shell nproc)

.PHONY: deps configure build build-demo demo serve test bench package fuzz clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_EXTRA) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# The demo needs only the console front end (with the engine and archive library it
# loads) and the engine demo, not the tests and benchmarks.
build-demo: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target gridora-cli ringweld-demo

demo: build-demo
	@bash scripts/demo.sh $(BUILD_DIR)

# The demo's output in a browser: Apache serves the web map, the PHP pages and mapserv.
SERVE_FOLDER ?= out/sample
PORT ?= 8080
serve: deps
	@bash scripts/serve.sh $(SERVE_FOLDER) $(PORT)

test: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) $(TEST_TARGET)
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) $(TEST_SELECTION)

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do echo "== $$b"; $$b; done

# CPack installs the build into its own staging folder under /usr and packs it.
package: build
	@cd $(BUILD_DIR) && cpack -G DEB
	@ls $(BUILD_DIR)/gridora_*_amd64.deb

# libFuzzer programs (clang) in build-fuzz, each run FUZZ_SECONDS; fails on any finding.
FUZZ_SECONDS ?= 300
fuzz:
	@bash scripts/install-deps.sh fuzz
	@CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DGRIDORA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzz_programs
	@bash scripts/run-fuzz.sh build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build build-sanitize build-tsan build-fuzz
