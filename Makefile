# Two entry points for a fresh Debian machine (as root): `make demo` and `make test`.
JOBS ?= $(shell nproc)

.PHONY: demo windows-demo screenshots test deps-native deps-all linux linux-asan linux-tsan win32 win64 \
	valgrind \
	package bench bench-dll bench-smoke fuzz fuzz-smoke clean

# Only what the tool needs (a compiler, cmake, make, and Python with the kakasi and Unicode data
# for the generated tables): the tests and benchmarks are left out, so their libraries are not
# needed either.
demo:
	bash cmake/install-deps.sh demo
	@start=$$(date +%s) && \
	cmake --preset linux -DKENSAKU_BUILD_TESTS=OFF -DKENSAKU_BUILD_BENCH=OFF >/dev/null && \
	cmake --build --preset linux -j$(JOBS) --target kensaku_cli kensaku_man && \
	bash samples/demo.sh build/linux/kensaku && \
	echo "Built in $$(($$(date +%s) - start)) s. The tool: build/linux/kensaku; its manual:" \
	     "build/linux/kensaku.1 (man -l build/linux/kensaku.1)."

# The DLL and the sample host under Wine: the search box for a person at a display, or, without
# a display, two screenshots in a private Xvfb (build/win32/demo/).
windows-demo: deps-all
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j$(JOBS) --target kensaku kensaku_host
	bash samples/host/run-demo.sh build/win32

# The README's screenshots, taken again.
screenshots: deps-all
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j$(JOBS) --target kensaku kensaku_host
	bash samples/host/run-demo.sh build/win32 --shots docs

test: deps-all linux linux-asan linux-tsan win32 win64 valgrind bench-smoke fuzz-smoke

deps-native:
	bash cmake/install-deps.sh native

deps-all:
	bash cmake/install-deps.sh all

# The cross builds need the Windows tools, and kensaku64.dll RE2's sources (cmake/fetch-re2.sh).
win32 win64: deps-all

linux linux-asan win32 win64:
	cmake --preset $@
	cmake --build --preset $@ -j$(JOBS)
	ctest --preset $@ -j$(JOBS)

# The tests that use threads (the thread test, and the tool with its workers) under
# ThreadSanitizer; without address randomisation, whose wide mmap ranges on some kernels the
# sanitizer's memory layout does not expect.
linux-tsan: deps-native
	cmake --preset $@
	cmake --build --preset $@ -j$(JOBS)
	setarch $$(uname -m) -R ctest --preset $@ -j$(JOBS)

# The native unit test programs of the linux preset under valgrind's memcheck: any error or leak
# fails (logs in build/linux/valgrind-*.log).
valgrind: deps-native linux
	bash cmake/valgrind-tests.sh build/linux

# The .deb in build/linux and the Windows .zip files in build/win32 and build/win64 (their tests
# run in `make test`).
package: deps-all
	for p in linux win32 win64; do \
	  cmake --preset $$p >/dev/null && cmake --build --preset $$p -j$(JOBS) && \
	  (cd build/$$p && cpack) || exit 1; \
	done

# The export timing of libkensaku.so, the same code built for 32-bit Linux and both DLLs under
# Wine, in one run (bench/dll-timing.sh; the corpus from bench/corpus.sh).
bench-dll: deps-all
	bash cmake/install-deps.sh bench
	[ -f /tmp/kensaku-corpus/corpus-sjis.txt ] || bash bench/corpus.sh
	for p in linux linux-i686 win32 win64; do \
	  cmake --preset $$p >/dev/null && \
	  cmake --build --preset $$p -j$(JOBS) --target kensaku_export_timing kensaku_runtime_probe || exit 1; \
	done
	bash bench/dll-timing.sh

# The micro benchmarks run briefly so that they keep building and running.
bench-smoke: linux
	build/linux/bench/kensaku_micro_bench --benchmark_min_time=0.01

# Every fuzz target for a short while on every test run; `make fuzz` runs each for FUZZ_SECONDS
# (60 by default) and fails on any finding. Each starts from its seeds in fuzz/corpus/ and keeps
# what it finds in build/fuzz/corpus/.
FUZZ_TARGETS = match regex romaji lines chars search format options encodings capi json glob
FUZZ_SECONDS ?= 60
fuzz-smoke: FUZZ_SECONDS = 8
# The short run starts from one seed, so that its verdict comes again when run again; the long
# one draws a new seed each time.
fuzz-smoke: FUZZ_SEED = -seed=1
fuzz-smoke fuzz: deps-all
	cmake --preset fuzz
	cmake --build --preset fuzz -j$(JOBS)
	for t in $(FUZZ_TARGETS); do \
	  log=build/fuzz/$$t.log; mkdir -p build/fuzz/corpus/$$t; \
	  build/fuzz/fuzz/$${t}_fuzz $(FUZZ_SEED) -max_total_time=$(FUZZ_SECONDS) -max_len=1024 \
	    -dict=fuzz/kensaku.dict -artifact_prefix=build/fuzz/$$t- \
	    build/fuzz/corpus/$$t fuzz/corpus/$$t >$$log 2>&1 \
	    || { tail -n 40 $$log; exit 1; }; \
	  echo "$$t: $$(grep -o 'Done [0-9]* runs in [0-9]* second' $$log)"; \
	done

# Full runs: micro benchmarks, then the whole-file comparison with grep, ugrep and ripgrep.
bench: deps-all linux
	bash cmake/install-deps.sh bench
	build/linux/bench/kensaku_micro_bench
	build/linux/bench/kensaku_file_bench
	build/linux/bench/kensaku_long_line_bench
	bash bench/compare.sh build/linux
	bash bench/peers.sh build/linux
	build/linux/bench/kensaku_corpus_bench

clean:
	rm -rf build
