# Top-level driver: `make demo` and `make test` are the whole set-up on a fresh machine.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE   := cmake
LINUX   := $(BUILD)/linux
WIN32   := $(BUILD)/win32
ASAN    := $(BUILD)/asan
FUZZ    := $(BUILD)/fuzz
TSAN    := $(BUILD)/tsan
CTEST   := ctest --output-on-failure
# Seconds per target of `make fuzz` (the tests run 30 s each).
FUZZ_TIME ?= 600
SANITIZE_FUZZ := -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all

.PHONY: all deps build linux win32 asan fuzz-build tsan test test-linux test-win32 test-asan \
        test-fuzz test-tsan fuzz fuzz-inputs demo bench screenshot clean

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

# Clang for libFuzzer; every object carries coverage and the sanitizers.
$(FUZZ)/CMakeCache.txt: | deps
	@$(CMAKE) -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=Debug -DQUILLO_TESTS=OFF -DQUILLO_BENCH=OFF \
	    -DQUILLO_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_CXX_FLAGS="-O1 -g -fno-omit-frame-pointer $(SANITIZE_FUZZ)" \
	    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null

# ThreadSanitizer for the tests that run more than one thread: audio beside
# editing in the plug-in, measurement beside limiting in the tool.
$(TSAN)/CMakeCache.txt: | deps
	@$(CMAKE) -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug -DQUILLO_BENCH=OFF \
	    -DCMAKE_CXX_FLAGS="-O1 -g -fsanitize=thread" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null

linux: $(LINUX)/CMakeCache.txt
	@$(CMAKE) --build $(LINUX) -j $(JOBS) -- --no-print-directory

win32: $(WIN32)/CMakeCache.txt
	@$(CMAKE) --build $(WIN32) -j $(JOBS) -- --no-print-directory

asan: $(ASAN)/CMakeCache.txt
	@$(CMAKE) --build $(ASAN) -j $(JOBS) -- --no-print-directory

fuzz-build: $(FUZZ)/CMakeCache.txt
	@$(CMAKE) --build $(FUZZ) -j $(JOBS) -- --no-print-directory

tsan: $(TSAN)/CMakeCache.txt
	@$(CMAKE) --build $(TSAN) -j $(JOBS) --target plugin_tests quillo_tools_tests -- --no-print-directory

build: linux win32

test-linux: linux
	@cd $(LINUX) && $(CTEST)

test-win32: win32
	@cd $(WIN32) && $(CTEST)

test-asan: asan
	@cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST)

test-fuzz: fuzz-build
	@cd $(FUZZ) && $(CTEST)

test-tsan: tsan
	@cd $(TSAN) && TSAN_OPTIONS=halt_on_error=1 $(CTEST) -R '^(plugin_tests|quillo_tools_tests)$$'

test: build
	@$(MAKE) --no-print-directory test-linux
	@$(MAKE) --no-print-directory test-win32
	@$(MAKE) --no-print-directory test-asan
	@$(MAKE) --no-print-directory test-tsan
	@$(MAKE) --no-print-directory test-fuzz

# Longer fuzzing of both targets on the corpus the tests grow.
fuzz: fuzz-build
	@cd $(FUZZ) && $(CTEST) -R '^fuzz_inputs$$' >/dev/null
	@bash tests/fuzz/run_fuzz.sh $(FUZZ)/tests/fuzz/host_session_fuzz $(FUZZ_TIME) $(FUZZ)/tests/fuzz/corpus/host \
	    tests/fuzz/host/seeds tests/fuzz/host/regressions
	@bash tests/fuzz/run_fuzz.sh $(FUZZ)/tests/fuzz/audio_file_fuzz $(FUZZ_TIME) $(FUZZ)/tests/fuzz/corpus/files \
	    $(FUZZ)/tests/fuzz/inputs/files/seeds $(FUZZ)/tests/fuzz/inputs/files/regressions

# Rewrites the host sessions kept in tests/fuzz/host from fuzz_inputs.
fuzz-inputs: fuzz-build
	@rm -rf $(FUZZ)/tests/fuzz/inputs && $(FUZZ)/tests/fuzz/fuzz_inputs $(FUZZ)/tests/fuzz/inputs
	@rm -rf tests/fuzz/host && cp -r $(FUZZ)/tests/fuzz/inputs/host tests/fuzz/host

demo: linux
	@bash scripts/demo.sh $(LINUX)

bench: linux
	@$(LINUX)/bench/quillo_bench
	@$(LINUX)/bench/quillo_tool_bench

screenshot: win32
	@bash scripts/screenshot.sh $(WIN32)

clean:
	rm -rf $(BUILD)
