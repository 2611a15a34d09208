# Entry points. CMake owns the build; this file installs what is missing and
# drives the build trees (native, native with sanitizers, win32) and their
# tests, and the demo, benchmark, fuzz and soak runs.
.PHONY: all deps build build-linux build-asan build-tsan build-win32 win-deps \
        test test-linux test-asan test-tsan test-win32 demo demo-win bench fuzz soak reconcile dist clean

JOBS ?= 2
LINUX_DIR := build/linux
ASAN_DIR := build/asan
TSAN_DIR := build/tsan
WIN32_DIR := build/win32
CMAKE_NATIVE := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

all: build

deps:
	@bash scripts/install-deps.sh

build: deps build-linux build-win32

build-linux:
	@cmake -S . -B $(LINUX_DIR) $(CMAKE_NATIVE) >/dev/null
	@cmake --build $(LINUX_DIR) -j$(JOBS)

build-asan:
	@cmake -S . -B $(ASAN_DIR) $(CMAKE_NATIVE) -DQEL_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_DIR) -j$(JOBS)

# ThreadSanitizer needs only the library and the test that sells from two
# threads at once.
build-tsan:
	@cmake -S . -B $(TSAN_DIR) $(CMAKE_NATIVE) -DQEL_SANITIZE_THREAD=ON >/dev/null
	@cmake --build $(TSAN_DIR) -j$(JOBS) --target concurrent_sale_tests

win-deps:
	@bash scripts/build-win-deps.sh

build-win32: win-deps build-linux
	@cmake -S . -B $(WIN32_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake \
	  -DQEL_NATIVE_BUILD_DIR=$(CURDIR)/$(LINUX_DIR) >/dev/null
	@cmake --build $(WIN32_DIR) -j$(JOBS)

# Every suite runs even when an earlier one failed; the exit status tells.
test: build build-asan build-tsan
	@$(MAKE) -k --no-print-directory test-linux test-asan test-tsan test-win32

test-linux:
	@ctest --test-dir $(LINUX_DIR) --output-on-failure -j$(JOBS)

test-asan:
	@ctest --test-dir $(ASAN_DIR) --output-on-failure -j$(JOBS)

test-tsan:
	@TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(TSAN_DIR) -R '^concurrent_sale_tests\.' --output-on-failure

test-win32:
	@ctest --test-dir $(WIN32_DIR) --output-on-failure -j$(JOBS)

demo: build
	@bash scripts/demo.sh linux

demo-win: build
	@bash scripts/demo.sh win32

bench: build
	@bash scripts/bench.sh

# Each fuzz target for FUZZ_SECONDS (default 60) in build/fuzz; the corpora
# themselves are replayed by make test.
fuzz: deps
	@bash scripts/fuzz.sh $(if $(FUZZ_SECONDS),$(FUZZ_SECONDS),60)

# 10,000 sales and 1,000 refunds against kasse-sim, then a short run under
# valgrind (scripts/soak.sh --wine: the same soak with the DLL under Wine).
soak: build
	@bash scripts/soak.sh

# RECONCILE_TRANSACTIONS (default 5,000) sales and refunds under network
# faults and killed hosts, reconciled against the cash register's ledger, then
# every transaction not shown as paid sold again by an operator who checked it
# (scripts/reconcile.sh --wine: the same with the DLL under Wine). make test
# runs a short one of each.
reconcile: build
	@bash scripts/reconcile.sh --retry --transactions $(if $(RECONCILE_TRANSACTIONS),$(RECONCILE_TRANSACTIONS),5000)

# The release package dist/QelConnect-<version>-win32.zip, reproducible from
# the win32 tree and the last commit.
dist: build-win32
	@bash scripts/dist.sh $(WIN32_DIR) dist

clean:
	rm -rf $(LINUX_DIR) $(ASAN_DIR) $(TSAN_DIR) $(WIN32_DIR)
