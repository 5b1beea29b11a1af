# Two entry points for a fresh Debian machine (as root): `make demo` and `make test`.
JOBS ?= $(shell nproc)

.PHONY: demo test deps-native deps-all linux linux-asan win32 bench compare clean

demo: deps-native
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j$(JOBS) --target kensaku_cli
	bash samples/demo.sh build/linux/kensaku

test: deps-all linux linux-asan win32 bench-smoke

deps-native:
	bash cmake/install-deps.sh native

deps-all:
	bash cmake/install-deps.sh all

linux linux-asan win32:
	cmake --preset $@
	cmake --build --preset $@ -j$(JOBS)
	ctest --preset $@ -j$(JOBS)

# The micro benchmarks run briefly so that they keep building and running.
bench-smoke: linux
	build/linux/bench/kensaku_micro_bench --benchmark_min_time=0.01

# Full runs: micro benchmarks, then the whole-file comparison with grep, ugrep and ripgrep.
bench: deps-all linux
	build/linux/bench/kensaku_micro_bench
	build/linux/bench/kensaku_file_bench
	bash bench/compare.sh build/linux

clean:
	rm -rf build
