# Everyday commands. Each target installs what is missing, configures and builds
# as needed, so a newcomer never has to call CMake directly.
JOBS ?= $(shell nproc)

.PHONY: all deps build test asan debug bench format format-check clean

all: build

deps:
	scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default --parallel $(JOBS)

# Every test, through CTest; non-zero exit on any failure.
test: build
	ctest --preset default --parallel $(JOBS)

# The tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	cmake --preset asan
	cmake --build --preset asan --parallel $(JOBS)
	ctest --preset asan --parallel $(JOBS)

debug: deps
	cmake --preset debug
	cmake --build --preset debug --parallel $(JOBS)
	ctest --preset debug --parallel $(JOBS)

# Google Benchmark programs under bench/.
bench: build
	@for b in build/default/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

format:
	git ls-files '*.h' '*.cpp' '*.cu' | xargs clang-format -i

format-check:
	git ls-files '*.h' '*.cpp' '*.cu' | xargs clang-format --dry-run --Werror

clean:
	rm -rf build
