# Entry points. CMake owns the build; this file installs what is missing and
# drives the two build trees (native and win32) and their tests.
.PHONY: all deps build build-linux build-win32 win-deps test test-linux test-win32 demo demo-win bench clean

JOBS ?= 2
LINUX_DIR := build/linux
WIN32_DIR := build/win32

all: build

deps:
	@bash scripts/install-deps.sh

build: deps build-linux build-win32

build-linux:
	@cmake -S . -B $(LINUX_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(LINUX_DIR) -j$(JOBS)

win-deps:
	@bash scripts/build-win-deps.sh

build-win32: win-deps build-linux
	@cmake -S . -B $(WIN32_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake \
	  -DQEL_NATIVE_BUILD_DIR=$(CURDIR)/$(LINUX_DIR) >/dev/null
	@cmake --build $(WIN32_DIR) -j$(JOBS)

test: build
	@$(MAKE) -k --no-print-directory test-linux test-win32

test-linux:
	@ctest --test-dir $(LINUX_DIR) --output-on-failure -j$(JOBS)

test-win32:
	@ctest --test-dir $(WIN32_DIR) --output-on-failure -j$(JOBS)

clean:
	rm -rf $(LINUX_DIR) $(WIN32_DIR)
