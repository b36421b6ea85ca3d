# Top-level driver: `make demo` and `make test` are the whole set-up on a fresh machine.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE   := cmake
CTEST   := ctest --output-on-failure
DIST    := $(BUILD)/dist

# Build trees, one CMake configuration each: a new tree is its <tree>_CONFIG
# line and its name in TREES (and in PRODUCTS or TESTED where it belongs).
RELEASE := -DCMAKE_BUILD_TYPE=Release
SANITIZE := -fsanitize=address,undefined
# `make demo` runs quillo-limit and quillo-demo-clip alone, so that a new
# machine hears the limiter within minutes: it installs their packages only
# (install-deps.sh demo) and builds just these two targets in the Linux tree,
# configured without the parts whose packages that set lacks. The full
# configure turns them on in the same tree and keeps the demo's objects; a
# tree configured in full builds the demo's targets as it is.
DEMO_TARGETS := quillo-limit quillo-demo-clip
DEMO_LEAVES_OUT := QUILLO_TESTS QUILLO_BENCH QUILLO_LV2
demo_CONFIG  := $(RELEASE) $(DEMO_LEAVES_OUT:%=-D%=OFF)
linux_CONFIG := $(RELEASE) $(DEMO_LEAVES_OUT:%=-D%=ON)
win32_CONFIG := $(RELEASE) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake
win64_CONFIG := $(RELEASE) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake
# Some kernels run no 32-bit program (IA-32 emulation off, as on some virtual
# and cloud machines). The machine is asked once per run, by running Wine's
# 32-bit loader once the packages are in (cmake/probe-32bit.sh); where it
# refuses, the runner ends the 32-bit tests that execute code as skipped, and
# the run's last line says why, so that nobody takes it for a full one.
# QUILLO_SKIP_32BIT=1 takes that path on any machine.
NO_32BIT = $(eval NO_32BIT := $(shell bash cmake/probe-32bit.sh))$(NO_32BIT)
win32_TESTENV = QUILLO_NO_32BIT='$(NO_32BIT)'
win32_SKIPPED = $(if $(NO_32BIT),$(NO_32BIT): the 32-bit Windows tests were skipped)
asan_CONFIG  := -DCMAKE_BUILD_TYPE=Debug -DQUILLO_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-O1 $(SANITIZE) -fno-sanitize-recover=all -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE)" -DCMAKE_MODULE_LINKER_FLAGS="$(SANITIZE)"
asan_TESTENV := ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
# ThreadSanitizer for the tests that run work on two threads: audio beside
# editing, the tool's measurements beside its limiting, and a VST 3 host's
# state and texts beside its audio.
tsan_CONFIG  := -DCMAKE_BUILD_TYPE=Debug -DQUILLO_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-O1 -g -fsanitize=thread" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread"
tsan_TARGET  := plugin_tests quillo_tools_tests vst3_tests
tsan_TESTENV := TSAN_OPTIONS=halt_on_error=1
tsan_CTEST   := -R '^(plugin_tests|quillo_tools_tests|vst3_tests)$$'
# Clang for libFuzzer; every object carries coverage and the sanitizers.
SANITIZE_FUZZ := -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
fuzzers_CONFIG := -DCMAKE_BUILD_TYPE=Debug -DQUILLO_TESTS=OFF -DQUILLO_BENCH=OFF -DQUILLO_LV2=OFF \
    -DQUILLO_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-O1 -g -fno-omit-frame-pointer $(SANITIZE_FUZZ)" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
FUZZ     := $(BUILD)/fuzzers
# Seconds per target of `make fuzz` (the tests run 30 s each).
FUZZ_TIME ?= 600

TREES    := linux win32 win64 asan tsan fuzzers
PRODUCTS := linux win32 win64
TESTED   := linux win32 win64 asan tsan fuzzers
WINDOWS  := win32 win64

.PHONY: all deps deps-demo build $(TREES) $(TREES:%=test-%) test dist test-dist fuzz fuzz-inputs demo bench screenshot clean

all: build

deps:
	@bash scripts/install-deps.sh

deps-demo:
	@bash scripts/install-deps.sh demo

# A tree counts as configured only once CMake has finished: a configure that
# failed or was interrupted leaves no stamp and runs again on the next make.
# Each configure takes the stamps of any earlier one (the demo's included).
define tree_rules
$(BUILD)/$(1)/.configured: | deps
	@rm -f $(BUILD)/$(1)/.configured*
	@$(CMAKE) -S . -B $(BUILD)/$(1) $$($(1)_CONFIG) >/dev/null || \
	    { rm -f $(BUILD)/$(1)/CMakeCache.txt; exit 1; }
	@touch $$@

$(1): $(BUILD)/$(1)/.configured
	@$(CMAKE) --build $(BUILD)/$(1) -j $(JOBS) $$(if $$($(1)_TARGET),--target $$($(1)_TARGET)) \
	    -- --no-print-directory

test-$(1): $(1)
	@cd $(BUILD)/$(1) && $$($(1)_TESTENV) $(CTEST) $$($(1)_CTEST)
	@$$(if $$($(1)_SKIPPED),echo '$$($(1)_SKIPPED)')
endef
$(foreach tree,$(TREES),$(eval $(call tree_rules,$(tree))))

build: $(PRODUCTS)

test: build
	@$(foreach tree,$(TESTED),$(MAKE) --no-print-directory test-$(tree) NO_32BIT='$(NO_32BIT)' &&) true
	@$(MAKE) --no-print-directory test-dist
	@$(if $(win32_SKIPPED),echo '$(win32_SKIPPED)')

# The release packages: a zip of both Windows DLLs and the VST 3 bundle with
# all three of its binaries, and a Debian package of the Linux plug-ins and
# quillo-limit, made by CPack from the product trees. The zip takes the
# configuration of the last Windows tree and the install of each (of the Linux
# tree only its binary of the bundle).
space := $() $()
WINDOWS_PROJECTS := $(subst $(space),;,$(foreach tree,$(WINDOWS),$(abspath $(BUILD)/$(tree));VrnQuilloLimiter;ALL;/) \
    $(abspath $(BUILD)/linux);VrnQuilloLimiter;vst3_bundle;/)
dist: build
	@rm -rf $(DIST) && mkdir -p $(DIST)
	@cpack -G DEB --config $(BUILD)/linux/CPackConfig.cmake -B $(DIST) >/dev/null
	@cpack -G ZIP --config $(BUILD)/$(lastword $(WINDOWS))/CPackConfig.cmake -B $(DIST) \
	    -D "CPACK_INSTALL_CMAKE_PROJECTS=$(WINDOWS_PROJECTS)" >/dev/null
	@rm -rf $(DIST)/_CPack_Packages
	@ls -l $(DIST)/*.deb $(DIST)/*.zip

test-dist: dist
	@bash tests/packaging/check_packages.sh $(DIST)

# Longer fuzzing of every target on the corpus the tests grow.
fuzz: fuzzers
	@cd $(FUZZ) && $(CTEST) -R '^fuzz_inputs$$' >/dev/null
	@bash tests/fuzz/run_fuzz.sh $(FUZZ)/tests/fuzz/host_session_fuzz $(FUZZ_TIME) $(FUZZ)/tests/fuzz/corpus/host \
	    tests/fuzz/host/seeds tests/fuzz/host/regressions
	@bash tests/fuzz/run_fuzz.sh $(FUZZ)/tests/fuzz/audio_file_fuzz $(FUZZ_TIME) $(FUZZ)/tests/fuzz/corpus/files \
	    $(FUZZ)/tests/fuzz/inputs/files/seeds $(FUZZ)/tests/fuzz/inputs/files/regressions
	@bash tests/fuzz/run_fuzz.sh $(FUZZ)/tests/fuzz/state_decoder_fuzz $(FUZZ_TIME) $(FUZZ)/tests/fuzz/corpus/state \
	    $(FUZZ)/tests/fuzz/inputs/state/seeds
	@bash tests/fuzz/run_fuzz.sh $(FUZZ)/tests/fuzz/clap_session_fuzz $(FUZZ_TIME) $(FUZZ)/tests/fuzz/corpus/clap

# Rewrites the host sessions kept in tests/fuzz/host from fuzz_inputs.
fuzz-inputs: fuzzers
	@rm -rf $(FUZZ)/tests/fuzz/inputs && $(FUZZ)/tests/fuzz/fuzz_inputs $(FUZZ)/tests/fuzz/inputs
	@rm -rf tests/fuzz/host && cp -r $(FUZZ)/tests/fuzz/inputs/host tests/fuzz/host

$(BUILD)/linux/.configured-demo: | deps-demo
	@rm -f $(BUILD)/linux/.configured*
	@$(CMAKE) -S . -B $(BUILD)/linux $(demo_CONFIG) >/dev/null || \
	    { rm -f $(BUILD)/linux/CMakeCache.txt; exit 1; }
	@touch $@

demo: | deps-demo
	@[ -f $(BUILD)/linux/.configured ] || $(MAKE) --no-print-directory $(BUILD)/linux/.configured-demo
	@$(CMAKE) --build $(BUILD)/linux -j $(JOBS) --target $(DEMO_TARGETS) -- --no-print-directory
	@bash scripts/demo.sh $(BUILD)/linux

bench: linux
	@$(BUILD)/linux/bench/quillo_bench
	@$(BUILD)/linux/bench/quillo_tool_bench
	@$(BUILD)/linux/bench/quillo_lv2_bench
	@$(BUILD)/linux/bench/quillo_format_bench

screenshot: build
	@bash scripts/screenshot.sh $(BUILD)/win32 $(BUILD)/linux

clean:
	rm -rf $(BUILD)
