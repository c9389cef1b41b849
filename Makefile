# The two commands of the README: `make run` and `make test`; `make fuzz` runs
# every fuzz target for FUZZ_SECONDS seconds each.
JOBS ?= $(shell nproc)
CTEST_JOBS ?= $(JOBS)
FUZZ_SECONDS ?= 180

.PHONY: run test fuzz bench tsan deps build-dev build-release clean

# The launcher starts zolt from its own folder, where zolt reads "pack.list":
# both programs are linked into the content folder, side by side as an
# installation has them. Without a desktop they run under Xvfb when that is
# installed, else headless on their own.
run: build-release
	cd build/release/content && for program in zolt launcher; do \
		ln -f ../bin/$$program . 2>/dev/null || cp -f ../bin/$$program .; done && \
	if [ -z "$$DISPLAY" ] && command -v xvfb-run >/dev/null; then \
		xvfb-run -a -s "-screen 0 1280x1024x24" ./launcher; else ./launcher; fi

test: build-dev
	ctest --preset dev -j $(CTEST_JOBS)

fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_SEED=$(FUZZ_SEED) JOBS=$(JOBS) bash scripts/run-fuzzers.sh

bench: deps
	cmake --preset release -DZOLT_BUILD_BENCH=ON
	cmake --build --preset release -j $(JOBS) --target zolt_bench
	./build/release/bin/zolt_bench

# The tests of code that runs on worker threads, under ThreadSanitizer.
tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS) --target zolt_tests
	./build/tsan/bin/zolt_tests --gtest_filter='Particle*'

deps:
	@bash scripts/install-deps.sh

build-dev: deps
	cmake --preset dev
	cmake --build --preset dev -j $(JOBS)

build-release: deps
	cmake --preset release -DZOLT_BUILD_TESTS=OFF
	cmake --build --preset release -j $(JOBS) --target zolt launcher content

clean:
	rm -rf build
