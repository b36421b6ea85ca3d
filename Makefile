# Top-level driver: `make demo` and `make test` are the whole set-up on a fresh machine.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE   := cmake
LINUX   := $(BUILD)/linux
WIN32   := $(BUILD)/win32
ASAN    := $(BUILD)/asan
CTEST   := ctest --output-on-failure

.PHONY: all deps build linux win32 asan test test-linux test-win32 test-asan demo bench screenshot clean

all: build

deps:
	@bash scripts/install-deps.sh

$(LINUX)/CMakeCache.txt: | deps
	@$(CMAKE) -S . -B $(LINUX) -DCMAKE_BUILD_TYPE=Release >/dev/null

$(WIN32)/CMakeCache.txt: | deps
	@$(CMAKE) -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake >/dev/null

$(ASAN)/CMakeCache.txt: | deps
	@$(CMAKE) -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DQUILLO_BENCH=OFF \
	    -DCMAKE_CXX_FLAGS="-O1 -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
	    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
	    -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null

linux: $(LINUX)/CMakeCache.txt
	@$(CMAKE) --build $(LINUX) -j $(JOBS) -- --no-print-directory

win32: $(WIN32)/CMakeCache.txt
	@$(CMAKE) --build $(WIN32) -j $(JOBS) -- --no-print-directory

asan: $(ASAN)/CMakeCache.txt
	@$(CMAKE) --build $(ASAN) -j $(JOBS) -- --no-print-directory

build: linux win32

test-linux: linux
	@cd $(LINUX) && $(CTEST)

test-win32: win32
	@cd $(WIN32) && $(CTEST)

test-asan: asan
	@cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST)

test: build
	@$(MAKE) --no-print-directory test-linux
	@$(MAKE) --no-print-directory test-win32
	@$(MAKE) --no-print-directory test-asan

demo: linux
	@bash scripts/demo.sh $(LINUX)

bench: linux
	@$(LINUX)/bench/quillo_bench

screenshot: build
	@bash scripts/screenshot.sh $(WIN32) $(LINUX)

clean:
	rm -rf $(BUILD)
