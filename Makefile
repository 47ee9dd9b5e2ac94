# Everyday commands. Each target installs what is missing, configures and builds
# as needed, so a newcomer never has to call CMake directly.
JOBS ?= $(shell nproc)

.PHONY: all deps build test demo demo-background asan tsan fuzz debug windows bench format format-check clean

all: build

deps:
	scripts/install-deps

# The plug-in, the command, the tests and the benchmarks, Linux only.
build: deps
	cmake --preset default
	cmake --build --preset default --parallel $(JOBS)

# Every test, through CTest; non-zero exit on any failure. The full preset is
# the default build tree with the Windows binaries cross-built beside it, whose
# tests run under Wine.
test: deps
	cmake --preset full
	cmake --build --preset full --parallel $(JOBS)
	ctest --preset full --parallel $(JOBS)

# Renders the built-in demo scene (examples/demo.json) to out/demo/ with a contact sheet and a movie.
demo: build
	build/default/bin/tarsivel demo

# Paints examples/demo_background.png again from the demo scene's masks.
demo-background: build
	build/default/host/tarsivel/make_demo_background examples/demo.json examples/demo_background.png

# The tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	cmake --preset asan
	cmake --build --preset asan --parallel $(JOBS)
	ctest --preset asan --parallel $(JOBS)

# The threaded tests (-j 4 on the CPU and on OpenCL, four threads on one
# OpenCL device, the host's registries) under ThreadSanitizer.
tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan --parallel $(JOBS)
	ctest --preset tsan

# The libFuzzer targets (clang 14), each run for FUZZ_SECONDS from its seed
# corpus in tests/fuzz/corpus/.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz --parallel $(JOBS)
	scripts/run-fuzz $(FUZZ_SECONDS)

debug: deps
	cmake --preset debug
	cmake --build --preset debug --parallel $(JOBS)
	ctest --preset debug --parallel $(JOBS)

# The Windows x64 plug-in and command alone, cross-built with mingw-w64:
# build/windows/bin/Tarsivel.aex and build/windows/bin/tarsivel.exe.
windows: deps
	cmake --preset windows
	cmake --build --preset windows --parallel $(JOBS)

# Google Benchmark programs under bench/.
bench: build
	@for b in build/default/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

format:
	git ls-files '*.h' '*.cpp' '*.cu' | xargs clang-format -i

format-check:
	git ls-files '*.h' '*.cpp' '*.cu' | xargs clang-format --dry-run --Werror

clean:
	rm -rf build
