# Entry points. Every target installs what is missing first, so a fresh Debian 12
# clone goes straight to a build.
BUILD_DIR   ?= build
BENCH_DIR   ?= build-bench
PACKAGE_DIR ?= build-package
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all deps build run test bench package clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/window/marlowin

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DMARLOWIN_BUILD_TESTS=OFF \
	      -DMARLOWIN_BUILD_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BENCH_DIR) -j $(JOBS)
	scripts/run-benchmarks $(BENCH_DIR)

# A Debian package (marlowin_1.00_<arch>.deb) in $(PACKAGE_DIR).
package: deps
	cmake -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	      -DMARLOWIN_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	cd $(PACKAGE_DIR) && cpack
	@ls -1 $(PACKAGE_DIR)/*.deb

clean:
	rm -rf $(BUILD_DIR) $(BENCH_DIR) $(PACKAGE_DIR)
