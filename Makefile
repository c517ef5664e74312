# Quillmark: `make run` and `make test` work on a fresh Debian machine.
SHELL := /bin/bash
BUILD ?= build
FIXTURES ?= $(abspath ../shared/fixtures/real)
JOBS ?= $(shell nproc)

# Debian packages the build needs (binary package names).
PACKAGES := g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
            libcli11-dev libfmt-dev nlohmann-json3-dev dpkg-dev file clang libclang-rt-14-dev \
            qt6-base-dev qt6-svg-dev libqt6svg6 xvfb xauth fonts-liberation libsqlite3-dev sqlite3

TEST_DIR := $(BUILD)/test
RELEASE_DIR := $(BUILD)/release

.PHONY: all deps test run bench release clean robustness tsan install package fuzz fuzz-build screenshots

all: release

# Installs what is missing when run as root; otherwise prints the one line to run.
deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	  else \
	    echo "Some packages are missing. Install them with:"; \
	    echo "  sudo apt-get install -y$$missing"; \
	    exit 1; \
	  fi; \
	fi

# Tests build with AddressSanitizer and UndefinedBehaviorSanitizer.
test: deps
	cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
	  -DQUILLMARK_SANITIZE=ON
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && QUILLMARK_FIXTURES="$(FIXTURES)" ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(FUZZ_SHORT_SECONDS)

release: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_TESTS=OFF
	cmake --build $(RELEASE_DIR) -j $(JOBS)

# With a display `run` opens the window on the demo database the build writes;
# without one it takes the command-line tour (on the demo database, else on the
# fixtures).
run: release
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  "$(RELEASE_DIR)/bin/quillmark" "$(RELEASE_DIR)/bin/demo.mdf" --log-folder "$${TMPDIR:-/tmp}"; \
	else \
	  tools/tour.sh "$(RELEASE_DIR)/bin/quillmark-cli" "$(FIXTURES)" "$(RELEASE_DIR)/bin/demo.mdf"; \
	fi

# Pictures of the window for the README (docs/screenshots), taken on a virtual
# display of a fixed size.
SCREENSHOTS ?= docs/screenshots
screenshots: release
	xvfb-run -a -s "-screen 0 1600x1000x24" tools/screenshots.sh "$(RELEASE_DIR)/bin/quillmark" \
	  "$(RELEASE_DIR)/bin/demo.mdf" "$(FIXTURES)" "$(SCREENSHOTS)"

bench: release
	"$(RELEASE_DIR)/bin/quillmark-bench" $(BENCH_ARGS)
	"$(RELEASE_DIR)/bin/quillmark-window-bench" $(BENCH_ARGS)

# A longer run of the corruption test than `make test` does.
robustness: deps
	cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
	  -DQUILLMARK_SANITIZE=ON
	cmake --build $(TEST_DIR) -j $(JOBS)
	QUILLMARK_FIXTURES="$(FIXTURES)" QUILLMARK_CORRUPTION_SEEDS=$${SEEDS:-2000} \
	  $(TEST_DIR)/bin/engine_tests --gtest_filter='Corruption*'
	QUILLMARK_FIXTURES="$(FIXTURES)" QUILLMARK_CORRUPTION_SEEDS=$${SEEDS:-2000} \
	  $(TEST_DIR)/bin/values_tests --gtest_filter='RowCorruption*'

# The whole suite once under ThreadSanitizer: the shell's workers and the
# user-interface thread share the workspace. Not part of `make test`.
TSAN_DIR := $(BUILD)/tsan
tsan: deps
	cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
	  -DQUILLMARK_TSAN=ON -DQUILLMARK_BENCH=OFF
	cmake --build $(TSAN_DIR) -j $(JOBS)
	cd $(TSAN_DIR) && QUILLMARK_FIXTURES="$(FIXTURES)" TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/gui/tsan.supp" \
	  ctest --output-on-failure -j $(JOBS)

# Installs the programs, the files they ship with, the guide, the desktop entry,
# the icon and the MIME type under PREFIX (staged under DESTDIR when it is set).
PREFIX ?= /usr/local
install: release
	DESTDIR="$(DESTDIR)" cmake --install $(RELEASE_DIR) --prefix "$(PREFIX)"

# A Debian package of the release build, in build/release/package; its
# dependencies are the Debian packages of the libraries the programs link.
package: release
	cd $(RELEASE_DIR) && cpack -G DEB

# The libFuzzer targets (tests/fuzz), built with clang in a build folder of
# their own, each run for FUZZ_SECONDS; `make test` runs each for 20 seconds.
FUZZ_DIR := $(BUILD)/fuzz
FUZZ_SECONDS ?= 300
FUZZ_SHORT_SECONDS ?= 20
fuzz-build: deps
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DQUILLMARK_FUZZ=ON -DQUILLMARK_TESTS=OFF -DQUILLMARK_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target quillmark_fuzz
fuzz: fuzz-build
	tests/fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS) "$(FIXTURES)" $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD)
