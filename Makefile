# Quillet: cross-built for Windows with mingw-w64, run and tested under Wine.
BUILD ?= build
JOBS  ?= $(shell nproc 2>/dev/null || echo 4)
CMAKE_FLAGS ?=

.PHONY: all setup configure build test run dist bench clean

all: build

setup:
	@bash tools/setup.sh

$(BUILD)/CMakeCache.txt:
	@bash tools/setup.sh
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake $(CMAKE_FLAGS)

configure: setup
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# A test that fails runs once more before it counts as failed: under heavy
# load Wine can deliver activation and input late to the desktop tests.
# Every failure is printed either way.
test: $(BUILD)/CMakeCache.txt
	@bash tools/setup.sh
	cmake --build $(BUILD) -j $(JOBS)
	@status=0; \
	 ( cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 600 --repeat until-pass:2 ) || status=$$?; \
	 bash tools/wine-stop.sh $(BUILD); exit $$status

# The program runs from the same files as the zip a Windows user downloads.
run: $(BUILD)/CMakeCache.txt
	@bash tools/setup.sh
	cmake --build $(BUILD) -j $(JOBS) --target dist
	@bash tools/run.sh $(BUILD)

# $(BUILD)/dist/Quillet-<version>-win64.zip: Quillet.exe, lang\, help\ and
# license.txt side by side.
dist: $(BUILD)/CMakeCache.txt
	@bash tools/setup.sh
	cmake --build $(BUILD) -j $(JOBS) --target dist

bench: $(BUILD)/CMakeCache.txt
	@bash tools/setup.sh
	cmake --build $(BUILD) -j $(JOBS)
	@bash tools/bench.sh $(BUILD)

clean:
	-bash tools/wine-stop.sh $(BUILD)
	rm -rf $(BUILD)
