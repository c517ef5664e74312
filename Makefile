# Quillmark: `make run` and `make test` work on a fresh Debian machine.
SHELL := /bin/bash
BUILD ?= build
FIXTURES ?= $(abspath ../shared/fixtures/real)
JOBS ?= $(shell nproc)

# Debian packages the build needs (binary package names).
PACKAGES := g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
            libcli11-dev libfmt-dev nlohmann-json3-dev \
            libsqlite3-dev sqlite3

TEST_DIR := $(BUILD)/test
RELEASE_DIR := $(BUILD)/release

.PHONY: all deps test run bench release clean robustness tsan

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

release: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_TESTS=OFF
	cmake --build $(RELEASE_DIR) -j $(JOBS)

# Without a display (and until the desktop window exists) `run` takes the
# command-line tour: on the demo database the build writes, else on the fixtures.
run: release
	@tools/tour.sh "$(RELEASE_DIR)/bin/quillmark-cli" "$(FIXTURES)" "$(RELEASE_DIR)/bin/demo.mdf"

bench: release
	"$(RELEASE_DIR)/bin/quillmark-bench" $(BENCH_ARGS)

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
	cd $(TSAN_DIR) && QUILLMARK_FIXTURES="$(FIXTURES)" TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
