# make run   — install what is missing, build, start the simulated driver service and the viewer
# make test  — the same set-up, then every test (AddressSanitizer and UBSan on)
# make test-release — every test again, built optimised as users run it
# make bench — build optimised and run the benchmarks
# make package — build optimised and make a .deb (checked by lintian)

JOBS        ?= $(shell nproc)
BUILD       ?= build
TEST_BUILD  ?= build-test
RELEASE_TEST_BUILD ?= build-release
BENCH_BUILD ?= build-bench
PACKAGE_BUILD ?= build-package

.PHONY: run test test-release bench package deps deps-node vsix build build-test clean

deps:
	@tools/install-deps.sh

# The npm packages of the debug adapter's tests and of the VS Code
# extension's build, from their lockfiles.
deps-node:
	@tools/install-node-deps.sh editors/vscode

# The VS Code extension: editors/vscode/velmora-fx8010.vsix.
vsix: deps-node
	cd editors/vscode && npm run package

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF
	cmake --build $(BUILD) -j$(JOBS)

run: build
	tools/run-demo.sh $(BUILD)/bin

build-test: deps deps-node
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON
	cmake --build $(TEST_BUILD) -j$(JOBS)

test: build-test
	cd $(TEST_BUILD) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j$(JOBS)

test-release: deps deps-node
	cmake -S . -B $(RELEASE_TEST_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELMORA_BENCH=OFF
	cmake --build $(RELEASE_TEST_BUILD) -j$(JOBS)
	cd $(RELEASE_TEST_BUILD) && ctest --output-on-failure -j$(JOBS)

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF
	cmake --build $(BENCH_BUILD) -j$(JOBS)
	@for b in $(BENCH_BUILD)/bin/bench_*; do echo "== $$b"; $$b; done

package:
	@tools/install-deps.sh lintian
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF
	cmake --build $(PACKAGE_BUILD) -j$(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB
	lintian --fail-on error $(PACKAGE_BUILD)/velmora_*.deb

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(RELEASE_TEST_BUILD) $(BENCH_BUILD) $(PACKAGE_BUILD)

# make test-windows — cross-build Zendra for 32- and 64-bit Windows with mingw-w64,
# check its export table and run its test program under Wine
WIN32_BUILD ?= build-win32
WIN64_BUILD ?= build-win64

.PHONY: test-windows deps-windows

deps-windows:
	@tools/windows/install-deps.sh

test-windows: deps-windows
	cmake -S tools/windows -B $(WIN32_BUILD) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake
	cmake --build $(WIN32_BUILD) -j$(JOBS)
	cd $(WIN32_BUILD) && ctest --output-on-failure
	cmake -S tools/windows -B $(WIN64_BUILD) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake
	cmake --build $(WIN64_BUILD) -j$(JOBS)
	cd $(WIN64_BUILD) && ctest --output-on-failure
