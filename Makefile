# Two entry points for a fresh Debian machine (as root): `make demo` and `make test`.
JOBS ?= $(shell nproc)

.PHONY: demo test deps-native deps-all linux linux-asan win32 package bench bench-smoke fuzz \
        fuzz-smoke clean

demo: deps-native
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j$(JOBS) --target kensaku_cli
	bash samples/demo.sh build/linux/kensaku

test: deps-all linux linux-asan win32 bench-smoke fuzz-smoke

deps-native:
	bash cmake/install-deps.sh native

deps-all:
	bash cmake/install-deps.sh all

linux linux-asan win32:
	cmake --preset $@
	cmake --build --preset $@ -j$(JOBS)
	ctest --preset $@ -j$(JOBS)

# The .deb in build/linux and the Windows .zip in build/win32 (their tests run in `make test`).
package: deps-all
	for p in linux win32; do \
	  cmake --preset $$p >/dev/null && cmake --build --preset $$p -j$(JOBS) && \
	  (cd build/$$p && cpack) || exit 1; \
	done

# The micro benchmarks run briefly so that they keep building and running.
bench-smoke: linux
	build/linux/bench/kensaku_micro_bench --benchmark_min_time=0.01

# Each fuzz target for a short while on every test run; `make fuzz FUZZ_SECONDS=600` for longer.
FUZZ_SECONDS ?= 20
fuzz-smoke fuzz: deps-all
	cmake --preset fuzz
	cmake --build --preset fuzz -j$(JOBS)
	for t in match search format; do \
	  log=build/fuzz/$$t.log; \
	  build/fuzz/fuzz/$${t}_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=1024 >$$log 2>&1 \
	    || { tail -n 40 $$log; exit 1; }; \
	  echo "$$t: $$(tail -n 1 $$log)"; \
	done

# Full runs: micro benchmarks, then the whole-file comparison with grep, ugrep and ripgrep.
bench: deps-all linux
	build/linux/bench/kensaku_micro_bench
	build/linux/bench/kensaku_file_bench
	bash bench/compare.sh build/linux

clean:
	rm -rf build
