# Entry points. Every target installs what is missing first, so a fresh Debian 12 or Debian 13
# clone goes straight to a build.
BUILD_DIR   ?= build
BENCH_DIR   ?= build-bench
PACKAGE_DIR ?= build-package
SANITIZE_DIR ?= build-sanitize
TSAN_DIR    ?= build-tsan
FUZZ_DIR    ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
# The Makefile's builds are developers' and CI's: every warning stops them.
WERROR      := -DMARLOWIN_WERROR=ON

WINDOWS_DIR ?= build-windows

.PHONY: all deps build run test sanitize tsan fuzz lint bench package windows windows-test clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) $(WERROR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/marlowin

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer; any report,
# a leak included, fails its test.
sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARLOWIN_SANITIZE=ON $(WERROR) $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

# The whole suite under ThreadSanitizer: the fetch crosses threads (the worker, cancel and close
# on the window's thread, the module loading on a worker, the progress promise). Reports from
# inside Qt and libcurl, which are not built for it, are suppressed in tsan.supp, each with its
# reason; any other report fails its test.
tsan: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARLOWIN_TSAN=ON $(WERROR) $(CMAKE_FLAGS)
	cmake --build $(TSAN_DIR) -j $(JOBS)
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tsan.supp" \
	ctest --test-dir $(TSAN_DIR) --output-on-failure -j $(JOBS)

# Each libFuzzer target for FUZZ_SECONDS, starting from the seeds in fuzz/corpus/.
fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DMARLOWIN_BUILD_FUZZ=ON -DMARLOWIN_BUILD_WINDOW=OFF -DMARLOWIN_BUILD_TESTS=OFF $(WERROR) $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	scripts/run-fuzzers $(FUZZ_DIR) $(FUZZ_SECONDS)

# clang-tidy (.clang-tidy) and clang-format (.clang-format) in check mode over our code.
lint: deps
	scripts/lint build-lint

bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DMARLOWIN_BUILD_TESTS=OFF \
	      -DMARLOWIN_BUILD_BENCH=ON $(WERROR) $(CMAKE_FLAGS)
	cmake --build $(BENCH_DIR) -j $(JOBS)
	scripts/run-benchmarks $(BENCH_DIR)

# A Debian package for this release (marlowin_1.00-1~deb12_<arch>.deb) in $(PACKAGE_DIR).
package: deps
	cmake -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	      -DMARLOWIN_BUILD_TESTS=OFF $(WERROR) $(CMAKE_FLAGS)
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	cd $(PACKAGE_DIR) && cpack
	lintian --fail-on error $(PACKAGE_DIR)/marlowin_*.deb
	@ls -1 $(PACKAGE_DIR)/*.deb

# The Windows build, cross-compiled with MinGW-w64 against Qt, ICU, libcurl, uchardet and
# GoogleTest built from Debian 13's sources once (scripts/build-windows-deps keeps them in
# ~/.cache/marlowin), then the installer and the portable zip in $(WINDOWS_DIR). On another
# release it runs in a Debian 13 root (scripts/in-debian-root).
windows:
	scripts/build-windows $(WINDOWS_DIR) $(JOBS) $(WERROR) $(CMAKE_FLAGS)

# The Windows build's whole suite under Wine, on a private X server.
windows-test: windows
	scripts/run-windows-tests $(WINDOWS_DIR) $(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(BENCH_DIR) $(PACKAGE_DIR) $(SANITIZE_DIR) $(TSAN_DIR) $(FUZZ_DIR) $(WINDOWS_DIR) build-lint
